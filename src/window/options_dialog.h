// The options dialog (分发选项) as a form of the window model: its controls
// from its layout table, the rules that keep its fields consistent (a link
// or a list never with a move, the names and the weights only with a
// ratio), and what it says once it is closed. Its handlers live with the
// dispatch settings (settings/options_handlers.cpp), whose rules they share
// with the command line.
#pragma once

#include "platform/user.h"
#include "window/deal_options.h"
#include "window/form.h"

namespace qm {

class OptionsDialog : public Form {
public:
    // `moving`: the main window's 移走原文件 is checked, so no way but
    // copying or moving may be chosen. `files`: the files that match now
    // (the common set must be fewer). `windowsNames`: share names are held
    // to what Windows allows.
    OptionsDialog(User& user, const DealOptions& options, bool moving, std::uint64_t files, bool windowsNames);

    CheckBox ChSubfolders;
    CheckBox ChByFolder;
    CheckBox ChRatio;
    Label LWeights;
    TextBox TWeights;
    Label LNames;
    TextBox TNames;
    Frame FrameWay;
    OptionButton OptPlain;
    OptionButton OptHard;
    OptionButton OptSymbolic;
    OptionButton OptClone;
    Label LCommon;
    TextBox TCommon;
    CheckBox ChLists;
    PushButton CmdOK;
    PushButton CmdCancel;
    PushButton CmdDefaults;

    // Closed by 确定 (with options that pass every rule), 取消 or the close
    // box (cancel()); what it says then.
    bool closed() const { return closed_; }
    bool accepted() const { return accepted_; }
    const DealOptions& result() const { return result_; }
    void cancel();

    // --- handlers (settings/options_handlers.cpp) ----------------------------
    void Show(const DealOptions& options);  // the fields as the options say
    DealOptions Read() const;               // the options as the fields say
    void Enable();                          // the rules of what may be chosen with what
    void CmdOK_Click();
    void CmdDefaults_Click();
    void TCommon_KeyPress(std::int16_t& key);

private:
    User& user_;
    bool moving_;
    std::uint64_t files_;
    bool windowsNames_;
    bool closed_ = false;
    bool accepted_ = false;
    DealOptions result_;
};

}  // namespace qm
