#include "engine/transfer.h"

#include "text/utf.h"
#include "window/controls.h"

namespace qm {

void makeShareFolders(Platform& platform, const std::u16string& shareRoot, std::uint64_t count) {
    const char16_t separator = platform.pathStyle().separator;
    for (std::uint64_t k = 1; k <= count; ++k) {
        std::u16string folder = shareRoot + text::decimal(k);
        if (!platform.pathExists(folder)) platform.makeFolders(folder + separator);
    }
}

TransferTally transferAll(Platform& platform, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile) {
    const char16_t separator = platform.pathStyle().separator;
    const std::u16string folder = job.files.path() + separator;
    TransferTally tally;
    std::uint64_t share = 0;
    std::u16string shareFolder;
    for (std::uint64_t i = 0; i < job.order.size(); ++i) {
        beforeFile(i);
        const std::u16string& name = job.files.entry(job.order[i].entry);
        if (std::uint64_t s = shareOf(i, job.shares); s != share) {
            share = s;
            shareFolder = job.shareRoot + text::decimal(share);
        }
        const std::u16string source = folder + name;
        std::u16string destination = shareFolder;
        destination += separator;
        destination += name;
        const TransferOutcome outcome =
            job.move ? platform.moveFile(source, destination) : platform.copyFile(source, destination);
        if (outcome == TransferOutcome::Failed) {
            ++tally.failed;
            log.add(source, destination);
        } else if (job.move && outcome != TransferOutcome::Moved) {
            ++tally.copiedOnly;
        }
        platform.keepResponsive();
    }
    return tally;
}

}  // namespace qm
