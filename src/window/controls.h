// The control kinds of the window and the event rules that the handlers rely on.
//
// The controls behave like a classic desktop toolkit: writing a caption or a
// list's text raises Change at once, before the setter returns; a typed key is
// offered to KeyPress (which may replace it or drop it) before it is inserted
// at the caret; moving the focus out of an edit control raises Validate, which
// may keep the focus. Front ends only mirror these objects: each control has
// one observer, called after any of its properties changed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/source_list.h"
#include "platform/platform.h"
#include "text/native_name.h"
#include "window/layout.h"

namespace qm {

class Control {
public:
    explicit Control(const ControlSpec& spec);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlSpec& spec() const { return spec_; }
    const std::u16string& name() const { return spec_.name; }
    ControlKind kind() const { return spec_.kind; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool visible() const { return spec_.visible; }
    // Whether the focus may rest on this control at all (labels, frames and
    // the hidden file list never take it).
    bool canTakeFocus() const;
    // The letter after "&" in the caption of a push button, check box or
    // option button, upper-cased; 0 when there is none (or for other kinds).
    char16_t accessKey() const;

    // The front end's hook: called after any property of this control changed.
    void observe(std::function<void()> observer) { observer_ = std::move(observer); }

protected:
    void changed() const {
        if (observer_) observer_();
    }

private:
    const ControlSpec& spec_;
    bool enabled_;
    std::function<void()> observer_;
};

// A label: caption, Change on every write of the caption, Click, MouseMove,
// and (for the two folder labels) dropped paths.
class Label : public Control {
public:
    explicit Label(const ControlSpec& spec) : Control(spec), caption_(spec.caption) {}
    const std::u16string& caption() const { return caption_; }
    // Raises Change even when the text stays the same: recounting the same
    // folder again is what the user asked for when choosing it again.
    void setCaption(std::u16string caption);

    std::function<void()> onChange, onClick, onMouseMove;
    std::function<void(const std::vector<std::u16string>&)> onDrop;

private:
    std::u16string caption_;
};

class PushButton : public Control {
public:
    explicit PushButton(const ControlSpec& spec) : Control(spec) {}
    const std::u16string& caption() const { return spec().caption; }
    std::function<void()> onClick;
};

class CheckBox : public Control {
public:
    explicit CheckBox(const ControlSpec& spec) : Control(spec), value_(spec.checked ? 1 : 0) {}
    int value() const { return value_; }
    void setValue(int value);
    // After the user's click changed the value.
    std::function<void()> onClick;

private:
    int value_;
};

class OptionButton : public Control {
public:
    explicit OptionButton(const ControlSpec& spec) : Control(spec), value_(spec.checked) {}
    bool value() const { return value_; }
    // Selecting clears the other buttons of the same group and raises Click
    // when the button was not selected before; clearing raises nothing.
    void setValue(bool value);
    // The buttons of the same container, which clear each other.
    void setGroup(std::vector<OptionButton*> group) { group_ = std::move(group); }

    std::function<void()> onClick;

private:
    bool value_;
    std::vector<OptionButton*> group_;
};

class Frame : public Control {
public:
    explicit Frame(const ControlSpec& spec) : Control(spec) {}
    const std::u16string& caption() const { return spec().caption; }
};

// What the text box and the editable list share: one line of text, a
// selection, a length limit, KeyPress and Validate.
class EditControl : public Control {
public:
    explicit EditControl(const ControlSpec& spec) : Control(spec), text_(spec.caption) {}

    const std::u16string& text() const { return text_; }
    // A write by a handler or a paste; raises Change. The caret goes to the end.
    virtual void setText(std::u16string text);

    std::size_t selStart() const { return selStart_; }
    std::size_t selLength() const { return selLength_; }
    // A length reaching past the end of the text is cut back to the end.
    void setSelection(std::size_t start, std::size_t length);
    void setSelStart(std::size_t start) { setSelection(start, 0); }  // a caret there

    // 0: no limit.
    std::size_t maxLength() const { return spec().maxLength; }

    // One typed key: KeyPress may change it (0 drops it); Backspace (8) then
    // deletes the selection or the character before the caret; other control
    // codes insert nothing; any other character replaces the selection. A
    // character that would pass the length limit is refused.
    void typeKey(char16_t key);
    // Inserted at the caret, replacing the selection, without KeyPress; cut
    // to the length limit.
    void paste(std::u16string_view text);
    // An edit that is neither a key nor a paste (the Delete key, a cut, an
    // input method): the new text as a whole, and the caret position after it.
    void replaceText(std::u16string text, std::size_t caret);

    std::function<void(std::int16_t&)> onKeyPress;
    std::function<void(bool&)> onValidate;
    std::function<void()> onChange;

protected:
    // Called for every change of the text that did not come from choosing a list item.
    virtual void textEdited() {}
    void storeText(std::u16string text, std::size_t caret);

private:
    std::u16string text_;
    std::size_t selStart_ = 0;
    std::size_t selLength_ = 0;
};

class TextBox : public EditControl {
public:
    explicit TextBox(const ControlSpec& spec) : EditControl(spec) {}
};

class ComboBox : public EditControl {
public:
    ComboBox(const ControlSpec& spec, std::vector<std::u16string> items)
        : EditControl(spec), items_(std::move(items)) {}

    const std::vector<std::u16string>& items() const { return items_; }
    int listIndex() const { return listIndex_; }
    // The user chooses a list item: the item becomes the text (Change), then Click.
    void chooseItem(std::size_t index);

    std::function<void()> onClick;

protected:
    void textEdited() override { listIndex_ = -1; }

private:
    std::vector<std::u16string> items_;
    int listIndex_ = -1;
};

// The hidden list of the files of one folder that match a pattern.
//
// The folder is read once when the list is pointed at it (or refreshed);
// a new pattern is applied to the names already read. The names stay in the
// platform's spelling in one arena, and are put in order (by their UTF-16
// text) only when someone asks for an entry by position: counting needs no
// order, a run needs it once.
class FileList : public Control {
public:
    // The layout gives the starting pattern as the list's caption.
    FileList(const ControlSpec& spec, System& system);

    const std::u16string& path() const { return list_.folder(); }
    // Points the list at a folder and reads it. A folder that cannot be
    // listed lists nothing, so no count ever shows another folder's files.
    void repoint(std::u16string path) { list_.read(std::move(path), list_.pattern()); }
    const std::u16string& pattern() const { return list_.pattern(); }
    // Applied to the folder as it is now (see SourceList::setPattern).
    void setPattern(std::u16string pattern) { list_.setPattern(std::move(pattern)); }
    // Reads the folder again; a folder that can no longer be listed lists nothing.
    void refresh() { list_.refresh(); }
    // The files below every subfolder too, from the next reading on (see SourceList).
    void setTree(bool subfolders, std::u16string skipping) { list_.setTree(subfolders, std::move(skipping)); }

    std::size_t count() const { return list_.count(); }
    // The entry at `index` in the list's order.
    std::u16string entry(std::size_t index) const { return text::nameText(nativeEntry(index)); }
    NativeNameView nativeEntry(std::size_t index) const { return list_.entry(index); }
    // Where the entry at `index` stands among all the folder's names.
    std::uint32_t nameIndex(std::size_t index) const { return list_.nameIndex(index); }
    // Every regular file of the folder, whether the pattern takes it or not.
    const FolderNames& names() const { return list_.names(); }
    // What a run deals from.
    const SourceList& list() const { return list_; }

private:
    SourceList list_;
};

}  // namespace qm
