// The text box and the editable list share one line edit binding: typed keys
// and pastes reach the model through the input router; here the line edit's
// own edits (Delete, cut, undo) and its caret and selection are sent to the
// model, and the model's text and selection are copied back.
#include <QAbstractItemView>
#include <QComboBox>
#include <QStyle>
#include <QLineEdit>

#include "app/qt/edit_binders.h"
#include "app/qt/qt_text.h"
#include "window/form1.h"

namespace qm::desktop {

namespace {

struct Selection {
    std::size_t start, length;
    bool operator==(const Selection&) const = default;
};

Selection selectionOf(const QLineEdit& line) {
    if (line.hasSelectedText())
        return {static_cast<std::size_t>(line.selectionStart()), static_cast<std::size_t>(line.selectedText().size())};
    return {static_cast<std::size_t>(line.cursorPosition()), 0};
}

Selection selectionOf(const EditControl& edit) { return {edit.selStart(), edit.selLength()}; }

void mirrorEdit(QLineEdit& line, const EditControl& edit) {
    const QString text = toQString(edit.text());
    if (line.text() != text) line.setText(text);
    // Left alone when it already matches, so that a selection the user is
    // dragging out keeps its anchor.
    const Selection wanted = selectionOf(edit);
    if (selectionOf(line) == wanted) return;
    if (wanted.length == 0) {
        line.setCursorPosition(static_cast<int>(wanted.start));
    } else {
        line.setSelection(static_cast<int>(wanted.start), static_cast<int>(wanted.length));
    }
}

void connectEdit(BindContext& context, QLineEdit& line, EditControl& edit) {
    // The model's length limit applies to typing and pasting only (a handler
    // may write a longer text), so the line edit gets no limit of its own:
    // it would cut what the model wrote. Text dropped on the box would go
    // around the limit, so the box takes no drops, like the original's.
    line.setAcceptDrops(false);
    QObject::connect(&line, &QLineEdit::textEdited, &line, [&context, &line, &edit](const QString& text) {
        if (context.mirroring) return;
        edit.replaceText(toU16(text), static_cast<std::size_t>(line.cursorPosition()));
        context.mirrorAll();
    });
    // The keystroke rules look at the selection, so the model always knows
    // where the caret is; moving it is left to the line edit.
    auto sendSelection = [&context, &line, &edit] {
        if (context.mirroring) return;
        // A selection in another text is no caret movement: the line edit is
        // half-way through a change (the list writing a chosen entry into it)
        // that reaches the model by its own way, and must not be disturbed.
        if (line.text() != toQString(edit.text())) return;
        const Selection now = selectionOf(line);
        if (now != selectionOf(edit)) edit.setSelection(now.start, now.length);
    };
    QObject::connect(&line, &QLineEdit::selectionChanged, &line, sendSelection);
    QObject::connect(&line, &QLineEdit::cursorPositionChanged, &line, sendSelection);
}

class TextBoxBinder final : public Binder {
public:
    TextBoxBinder(BindContext& context, TextBox& box, QWidget* parent)
        : Binder(context, box, new QLineEdit(parent)), box_(box) {
        connectEdit(context, line(), box);
    }

private:
    QLineEdit& line() const { return *static_cast<QLineEdit*>(widget()); }
    void mirrorState() override { mirrorEdit(line(), box_); }

    TextBox& box_;
};

class ComboBoxBinder final : public Binder {
public:
    ComboBoxBinder(BindContext& context, ComboBox& combo, QWidget* parent)
        : Binder(context, combo, new QComboBox(parent)), combo_(combo) {
        QComboBox& w = box();
        w.setEditable(true);
        w.setInsertPolicy(QComboBox::NoInsert);
        w.setCompleter(nullptr);  // completing is not among the box's keystroke rules
        for (const std::u16string& item : combo.items()) w.addItem(toQString(item));
        w.setCurrentIndex(-1);
        // The box is only as wide as the layout made it, and Qt's list no
        // wider, which cut the longer entries short ("*.b…dib"): the list
        // opens as wide as its longest entry.
        QAbstractItemView* list = w.view();
        list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                              list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list));
        QObject::connect(&w, &QComboBox::activated, &w, [this](int index) {
            if (index < 0) return;
            act([&] { context_.form.chooseItem(combo_, static_cast<std::size_t>(index)); });
        });
        connectEdit(context, *w.lineEdit(), combo);
    }

    QList<QWidget*> inputWidgets() const override { return {widget(), box().lineEdit()}; }

private:
    QComboBox& box() const { return *static_cast<QComboBox*>(widget()); }

    void mirrorState() override {
        // The current entry first: choosing it rewrites the line edit.
        if (box().currentIndex() != combo_.listIndex()) box().setCurrentIndex(combo_.listIndex());
        mirrorEdit(*box().lineEdit(), combo_);
    }

    ComboBox& combo_;
};

}  // namespace

std::unique_ptr<Binder> bindTextBox(BindContext& context, TextBox& box, QWidget* parent) {
    return std::make_unique<TextBoxBinder>(context, box, parent);
}

std::unique_ptr<Binder> bindComboBox(BindContext& context, ComboBox& combo, QWidget* parent) {
    return std::make_unique<ComboBoxBinder>(context, combo, parent);
}

}  // namespace qm::desktop
