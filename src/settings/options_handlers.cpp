// The options dialog's handlers: its fields shown and read, the rules of
// what may be chosen with what, and the checks of 确定, which are the
// command line's own (deal_rules).
#include "platform/platform.h"
#include "settings/deal_rules.h"
#include "text/number.h"
#include "text/utf.h"
#include "window/form1.h"
#include "window/options_dialog.h"

namespace qm {

namespace {

constexpr char16_t kWarning[] = u"警告";

}  // namespace

void OptionsDialog::Show(const DealOptions& options) {
    ChSubfolders.setValue(options.subfolders ? 1 : 0);
    ChByFolder.setValue(options.byFolder ? 1 : 0);
    ChRatio.setValue(options.ratio ? 1 : 0);
    TWeights.setText(options.weights);
    TNames.setText(options.names);
    switch (options.link) {
        case RunRequest::Link::Hard: OptHard.setValue(true); break;
        case RunRequest::Link::Symbolic: OptSymbolic.setValue(true); break;
        case RunRequest::Link::Clone: OptClone.setValue(true); break;
        case RunRequest::Link::None: OptPlain.setValue(true); break;
    }
    TCommon.setText(text::decimal(options.common));
    ChLists.setValue(options.lists ? 1 : 0);
    Enable();
}

DealOptions OptionsDialog::Read() const {
    DealOptions options;
    options.subfolders = ChSubfolders.value() != 0;
    options.byFolder = options.subfolders && ChByFolder.value() != 0;
    options.ratio = ChRatio.value() != 0;
    options.weights = TWeights.text();
    options.names = TNames.text();
    options.link = OptHard.value()       ? RunRequest::Link::Hard
                   : OptSymbolic.value() ? RunRequest::Link::Symbolic
                   : OptClone.value()    ? RunRequest::Link::Clone
                                         : RunRequest::Link::None;
    const double common = leadingNumber(TCommon.text());
    options.common = common >= 1 && common < 1e15 ? static_cast<std::uint64_t>(common) : 0;
    options.lists = ChLists.value() != 0;
    return options;
}

// What excludes what is kept unreachable rather than refused: folder by
// folder only with subfolders; the weights and the names only with a ratio;
// a link, a list or a common set never with a move (the main window's
// 移走原文件), and a link never with a list.
void OptionsDialog::Enable() {
    ChByFolder.setEnabled(ChSubfolders.value() != 0);
    if (ChSubfolders.value() == 0) ChByFolder.setValue(0);
    TWeights.setEnabled(ChRatio.value() != 0);
    TNames.setEnabled(ChRatio.value() != 0);
    if (moving_) {
        OptPlain.setValue(true);
        ChLists.setValue(0);
        TCommon.setText(u"0");
    }
    const bool links = !moving_ && ChLists.value() == 0;
    for (OptionButton* way : {&OptHard, &OptSymbolic, &OptClone}) way->setEnabled(links);
    ChLists.setEnabled(!moving_ && OptPlain.value());
    TCommon.setEnabled(!moving_);
}

void OptionsDialog::CmdOK_Click() {
    const DealOptions options = Read();
    std::u16string problem;
    std::vector<std::uint64_t> weights;
    if (options.ratio) {
        if (auto wrong = ratioProblem(options.weights, weights)) {
            problem = *wrong;
        } else if (!options.names.empty()) {
            if (auto names = shareNamesProblem(shareNamesIn(options.names), weights.size(), windowsNames_))
                problem = *names;
        }
    }
    if (problem.empty() && options.common != 0 && options.common >= files_) {
        problem = u"每份共同文件数须小于匹配的文件数（";
        problem += text::decimal(files_);
        problem += u"）";
    }
    if (!problem.empty()) {
        // The dialog stays, with what the user typed, to be put right.
        user_.messageBox({problem, kWarning, MsgButtons::Ok, MsgIcon::Critical, 0});
        return;
    }
    result_ = options;
    accepted_ = true;
    closed_ = true;
}

void OptionsDialog::CmdDefaults_Click() { Show(DealOptions()); }

void OptionsDialog::TCommon_KeyPress(std::int16_t& key) {
    if ((key >= u'0' && key <= u'9') || key == 8) return;
    key = 0;
    user_.beep();
}

// --- in the main window ------------------------------------------------------

void Form1::ShowOptions() {
    if (!dialogHost_ || !enabled()) {
        user().beep();
        return;
    }
    OptionsDialog dialog(user(), options, ChBackUp.value() != 0, File1.count(), system().pathStyle().separator == u'\\');
    dialogHost_(dialog);
    if (dialog.accepted()) ApplyOptions(dialog.result());
}

void Form1::ApplyOptions(const DealOptions& chosen) {
    options = chosen;
    const std::u16string summary = options.summary();
    setCaption(summary.empty() ? formSpec().caption : formSpec().caption + u"［" + summary + u"］");
    // With a ratio the shares are the weights: the two modes and their
    // counts say nothing then. Folder by folder deals a number of shares
    // (the average mode) when there is no ratio.
    const bool ratio = options.ratio;
    if (!ratio && options.byFolder && Opt1.value()) click(Opt2);
    Opt1.setEnabled(!ratio && !options.byFolder);
    Opt2.setEnabled(!ratio);
    TParts.setEnabled(!ratio && Opt1.value());
    TDivs.setEnabled(!ratio && !Opt1.value());
    // A link, a list or a common set is never moved.
    const bool copying = options.link != RunRequest::Link::None || options.lists || options.common != 0;
    if (copying) ChBackUp.setValue(0);
    ChBackUp.setEnabled(!copying);
    // The count is of what will be dealt: with subfolders, every file below.
    LDir_Change();
}

}  // namespace qm
