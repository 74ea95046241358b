// The text box and the editable list share one line edit binding: typed keys
// and pastes reach the model through the input router; here the line edit is
// made the field that input/edit_field.h keeps alike with the model.
#include <QAbstractItemView>
#include <QComboBox>
#include <QStyle>
#include <QLineEdit>

#include "app/qt/edit_binders.h"
#include "app/qt/qt_text.h"
#include "input/edit_field.h"
#include "window/form.h"

namespace qm::desktop {

namespace {

// A line edit as the model's edit rules see it.
class LineField final : public input::EditField {
public:
    explicit LineField(QLineEdit& line) : line_(line) {}

    std::u16string text() const override { return toU16(line_.text()); }
    input::Selection selection() const override {
        if (line_.hasSelectedText())
            return {static_cast<std::size_t>(line_.selectionStart()),
                    static_cast<std::size_t>(line_.selectedText().size())};
        return {static_cast<std::size_t>(line_.cursorPosition()), 0};
    }
    std::size_t caret() const override { return static_cast<std::size_t>(line_.cursorPosition()); }
    void setText(const std::u16string& text) override { line_.setText(toQString(text)); }
    void select(input::Selection wanted) override {
        if (wanted.length == 0) {
            line_.setCursorPosition(static_cast<int>(wanted.start));
        } else {
            line_.setSelection(static_cast<int>(wanted.start), static_cast<int>(wanted.length));
        }
    }

private:
    QLineEdit& line_;
};

// Sends the line edit's own edits and its caret to the model. `field` lives
// as long as the line edit.
void connectEdit(BindContext& context, QLineEdit& line, const LineField& field, EditControl& edit) {
    // The model's length limit applies to typing and pasting only (a handler
    // may write a longer text), so the line edit gets no limit of its own:
    // it would cut what the model wrote. Text dropped on the box would go
    // around the limit, so the box takes no drops, like the original's.
    line.setAcceptDrops(false);
    QObject::connect(&line, &QLineEdit::textEdited, &line,
                     [&context, &field, &edit] { input::sendEdit(context, field, edit); });
    auto sendSelection = [&context, &field, &edit] { input::sendSelection(context, field, edit); };
    QObject::connect(&line, &QLineEdit::selectionChanged, &line, sendSelection);
    QObject::connect(&line, &QLineEdit::cursorPositionChanged, &line, sendSelection);
}

class TextBoxBinder final : public Binder {
public:
    TextBoxBinder(BindContext& context, TextBox& box, QWidget* parent)
        : Binder(context, box, new QLineEdit(parent)), box_(box), field_(line()) {
        connectEdit(context, line(), field_, box);
    }

private:
    QLineEdit& line() const { return *static_cast<QLineEdit*>(widget()); }
    void mirrorState() override { input::mirrorEdit(field_, box_); }

    TextBox& box_;
    LineField field_;
};

// An editable list: its line edit is there from the start.
QComboBox* editableBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    return box;
}

class ComboBoxBinder final : public Binder {
public:
    ComboBoxBinder(BindContext& context, ComboBox& combo, QWidget* parent)
        : Binder(context, combo, editableBox(parent)), combo_(combo), field_(*box().lineEdit()) {
        QComboBox& w = box();
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
            context_.act([&] { context_.form.chooseItem(combo_, static_cast<std::size_t>(index)); });
        });
        connectEdit(context, *w.lineEdit(), field_, combo);
    }

    QList<QWidget*> inputWidgets() const override { return {widget(), box().lineEdit()}; }

private:
    QComboBox& box() const { return *static_cast<QComboBox*>(widget()); }

    void mirrorState() override {
        // The current entry first: choosing it rewrites the line edit.
        if (box().currentIndex() != combo_.listIndex()) box().setCurrentIndex(combo_.listIndex());
        input::mirrorEdit(field_, combo_);
    }

    ComboBox& combo_;
    LineField field_;
};

}  // namespace

std::unique_ptr<Binder> bindTextBox(BindContext& context, TextBox& box, QWidget* parent) {
    return std::make_unique<TextBoxBinder>(context, box, parent);
}

std::unique_ptr<Binder> bindComboBox(BindContext& context, ComboBox& combo, QWidget* parent) {
    return std::make_unique<ComboBoxBinder>(context, combo, parent);
}

}  // namespace qm::desktop
