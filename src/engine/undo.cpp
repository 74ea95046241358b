#include "engine/undo.h"

#include <set>

namespace qm {

namespace {

struct Split {
    std::u16string folder, name;
};

Split split(const std::u16string& path, char16_t separator) {
    const std::size_t at = path.rfind(separator);
    if (at == std::u16string::npos) return {std::u16string(), path};
    // The root keeps its separator: "/a" lies in "/".
    return {path.substr(0, at == 0 ? 1 : at), path.substr(at + 1)};
}

// Takes one moved file back; empty on success, else why not.
std::u16string moveBack(Platform& platform, const ManifestRow& row, char16_t separator) {
    const std::optional<FileFacts> now = platform.fileFacts(row.destination);
    if (!now) return u"分发文件夹中已没有这个文件";
    if (*now != row.facts) return u"文件在分发之后被改动过";
    const Split from = split(row.destination, separator), to = split(row.source, separator);
    if (from.name != to.name) return u"清单中两处的文件名不同";
    if (platform.pathExists(row.source)) return u"原位置已有同名的文件";
    std::unique_ptr<OpenFolder> share = platform.openFolder(from.folder), source = platform.openFolder(to.folder);
    if (!share || !source) return u"原文件夹不存在或无法写入";
    switch (platform.moveFile(*share, text::nativeName(from.name), *source).outcome) {
        case TransferOutcome::Moved:
            return {};
        case TransferOutcome::Copied:
            return u"已复制回原位置，但无法从分发文件夹删除";
        default:
            return platform.pathExists(row.source) ? u"原位置已有同名的文件" : u"无法移回原位置";
    }
}

// Takes one copy back; empty on success, else why not.
std::u16string deleteCopy(Platform& platform, const ManifestRow& row) {
    if (!platform.fileFacts(row.source)) return u"原文件已不在，无法核对副本";
    if (!platform.sameContent(row.destination, row.source)) return u"副本的内容与原文件不同";
    return platform.deleteFile(row.destination) ? std::u16string() : u"无法删除副本";
}

}  // namespace

UndoReport undoRun(Platform& platform, const Manifest& manifest) {
    const char16_t separator = platform.pathStyle().separator;
    UndoReport report;
    std::set<std::u16string> emptied;  // share folders something was taken out of
    for (auto it = manifest.rows.rbegin(); it != manifest.rows.rend(); ++it) {
        const ManifestRow& row = *it;
        std::u16string problem;
        if (row.outcome == TransferOutcome::Moved) {
            problem = moveBack(platform, row, separator);
        } else if (row.outcome == TransferOutcome::Copied) {
            // A copy that is gone already leaves nothing to take back.
            if (!platform.fileFacts(row.destination) && !platform.pathExists(row.destination)) continue;
            problem = deleteCopy(platform, row);
        } else {
            continue;  // nothing of the run's is there: a failure, or a file that was there before
        }
        if (problem.empty()) {
            ++report.takenBack;
            emptied.insert(split(row.destination, separator).folder);
        } else {
            report.problems.push_back({row.destination, std::move(problem)});
        }
    }
    for (const std::u16string& folder : emptied) platform.removeEmptyFolder(folder);
    return report;
}

}  // namespace qm
