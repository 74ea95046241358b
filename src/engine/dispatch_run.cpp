// The dispatch run: everything that happens inside one click on the dispatch
// button, step by step in its fixed order.
#include <algorithm>
#include <cmath>

#include "engine/draw.h"
#include "engine/failure_log.h"
#include "engine/plan.h"
#include "engine/transfer.h"
#include "settings/number.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

namespace {

constexpr char16_t kTitle[] = u"消息";

// The files a run deals: as many as the count label shows, but never more
// than the list holds (the count is only a caption and could lag behind).
std::uint64_t filesToDeal(const Label& count, const FileList& list) {
    double shown = leadingNumber(count.caption());
    if (!(shown >= 1)) return 0;
    return std::min<std::uint64_t>(list.count(), shown >= 1e18 ? list.count() : static_cast<std::uint64_t>(shown));
}

// A count field as a whole number from 1 to `files`. The settings keep it so;
// this only guards a run against a field that was never normalised.
std::uint64_t countIn(const TextBox& field, std::uint64_t files) {
    double value = std::round(std::fabs(leadingNumber(field.text())));
    if (!(value >= 1)) return 1;
    return value >= static_cast<double>(files) ? files : static_cast<std::uint64_t>(value);
}

}  // namespace

void Form1::CmdDo_Click() {
    Platform& system = platform();
    const std::uint64_t files = filesToDeal(LFiles, File1);
    if (files == 0) return;  // nothing matches; the button is normally disabled then

    // Move confirmation: Cancel turns the run into a copy run, it cannot stop it.
    if (ChBackUp.value() != 0) {
        MsgResult answer = system.messageBox(
            {u"在分发的同时移走原文件？", kTitle, MsgButtons::OkCancel, MsgIcon::Information, 1});
        if (answer == MsgResult::Ok) {
            CmdDo.setEnabled(false);
        } else {
            ChBackUp.setValue(0);
        }
    }
    const bool move = ChBackUp.value() != 0;

    // The plan.
    const PathStyle style = system.pathStyle();
    const std::u16string source = sourcePathOf(LDir.caption(), style);
    const std::u16string shareRoot = LDirOut.caption() + keptPath(source, Option2.value(), style) + u"_分发";
    const ShareCounts shares =
        Opt1.value() ? fixedShares(files, countIn(TParts, files)) : averageShares(files, countIn(TDivs, files));

    makeShareFolders(system, shareRoot, shares.count);

    const std::uint64_t seed = system.clockSeed();
    setEnabled(false);
    std::vector<DispatchRow> order = drawKeys(static_cast<std::uint32_t>(files), seed);
    sortByKey(order);
    setTag(caption());

    FailureLog log(system);
    const std::u16string progress = tag() + u"  正在随机分发，请稍候...";
    const std::u16string total = u"/" + LFiles.caption();
    const TransferTally tally =
        transferAll(system, TransferJob{File1, order, shareRoot, shares, move}, log,
                    [&](std::uint64_t i) { setCaption(progress + text::decimal(i + 1) + total); });

    // The end of the run. The rows go before the list is read again.
    log.close();
    std::vector<DispatchRow>().swap(order);
    File1.refresh();
    setCaption(tag());
    setEnabled(true);
    // A move run that could only copy some files says so: the user expects
    // the source folder to be empty afterwards.
    const std::u16string copiedOnly =
        tally.copiedOnly == 0 ? u"" : u"\r\n其中" + text::decimal(tally.copiedOnly) + u"个文件只能复制，原文件未移走。";
    if (tally.failed != 0) {
        std::u16string prompt = u"分发完毕！因文件访问错误，分发失败" + text::decimal(tally.failed) + u"份。\r\n" +
                                (log.created() ? u"稍候请参见分发失败的记录。" : u"分发失败的记录无法创建。");
        system.messageBox({prompt + copiedOnly, kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        if (log.created()) system.openInDesktop(log.path());
    } else {
        system.messageBox({u"分发完毕！" + copiedOnly, kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        if (log.created()) system.deleteFile(log.path());
    }
    if (ChBackUp.value() != 0) LFiles.setCaption(u"0");
    ChBackUp.setValue(0);
    system.openInDesktop(LDirOut.caption());
}

}  // namespace qm
