#include "window/options_dialog.h"

#include "window/options_layout.h"

namespace qm {

OptionsDialog::OptionsDialog(User& user, const DealOptions& options, bool moving, std::uint64_t files,
                             bool windowsNames)
    : Form(optionsSpec().caption),
      ChSubfolders(optionsLayoutOf(u"ChSubfolders")),
      ChByFolder(optionsLayoutOf(u"ChByFolder")),
      ChRatio(optionsLayoutOf(u"ChRatio")),
      LWeights(optionsLayoutOf(u"LWeights")),
      TWeights(optionsLayoutOf(u"TWeights")),
      LNames(optionsLayoutOf(u"LNames")),
      TNames(optionsLayoutOf(u"TNames")),
      FrameWay(optionsLayoutOf(u"FrameWay")),
      OptPlain(optionsLayoutOf(u"OptPlain")),
      OptHard(optionsLayoutOf(u"OptHard")),
      OptSymbolic(optionsLayoutOf(u"OptSymbolic")),
      OptClone(optionsLayoutOf(u"OptClone")),
      LCommon(optionsLayoutOf(u"LCommon")),
      TCommon(optionsLayoutOf(u"TCommon")),
      ChLists(optionsLayoutOf(u"ChLists")),
      CmdOK(optionsLayoutOf(u"CmdOK")),
      CmdCancel(optionsLayoutOf(u"CmdCancel")),
      CmdDefaults(optionsLayoutOf(u"CmdDefaults")),
      user_(user),
      moving_(moving),
      files_(files),
      windowsNames_(windowsNames),
      result_(options) {
    setControls({&ChSubfolders, &ChByFolder, &ChRatio, &LWeights, &TWeights, &LNames, &TNames, &FrameWay, &OptPlain,
                 &OptHard, &OptSymbolic, &OptClone, &LCommon, &TCommon, &ChLists, &CmdOK, &CmdCancel, &CmdDefaults},
                &ChSubfolders);
    // Every choice can change what else may be chosen.
    for (CheckBox* box : {&ChSubfolders, &ChRatio, &ChLists}) box->onClick = [this] { Enable(); };
    for (OptionButton* way : {&OptPlain, &OptHard, &OptSymbolic, &OptClone}) way->onClick = [this] { Enable(); };
    TCommon.onKeyPress = [this](std::int16_t& key) { TCommon_KeyPress(key); };
    CmdOK.onClick = [this] { CmdOK_Click(); };
    CmdCancel.onClick = [this] { cancel(); };
    CmdDefaults.onClick = [this] { CmdDefaults_Click(); };
    Show(options);
}

void OptionsDialog::cancel() { closed_ = true; }

}  // namespace qm
