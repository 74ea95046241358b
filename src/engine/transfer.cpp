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

namespace {

bool transferOne(Platform& platform, const std::u16string& source, const std::u16string& destination, bool move) {
    if (move && platform.moveFile(source, destination) == TransferOutcome::Done) return true;
    // A move that cannot be done (another device, a file of that name already
    // there, ...) becomes a copy, which leaves the source where it is and
    // accepts an identical file already at the destination.
    return platform.copyFile(source, destination) != TransferOutcome::Failed;
}

}  // namespace

std::uint64_t transferAll(Platform& platform, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile) {
    const char16_t separator = platform.pathStyle().separator;
    const std::u16string folder = job.files.path() + separator;
    std::uint64_t failures = 0;
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
        if (!transferOne(platform, source, destination, job.move)) {
            ++failures;
            log.add(source, destination);
        }
        platform.keepResponsive();
    }
    return failures;
}

}  // namespace qm
