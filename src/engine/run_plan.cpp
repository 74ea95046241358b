// The plan of a run: the share root and counts, the draw, and the rows in
// transfer order.
#include "engine/run_plan.h"

#include <algorithm>

#include "engine/draw.h"
#include "engine/ratio.h"
#include "text/utf.h"
#include "text/name_order.h"

namespace qm {

namespace {

// A name less its extension: up to its last ".", unless that dot begins the
// name (".profile" has no extension). Of a path below the import folder,
// only the file's own name has an extension.
NativeNameView stemOf(NativeNameView name, NameUnit separator) {
    const std::size_t start = name.rfind(separator) + 1;  // 0 without a folder
    const std::size_t dot = name.rfind(NameUnit('.'));
    return dot == NativeNameView::npos || dot <= start ? name : name.substr(0, dot);
}

// The folder part of a path below the import folder ("" for its own files).
NativeNameView folderOf(NativeNameView name, NameUnit separator) {
    const std::size_t cut = name.rfind(separator);
    return cut == NativeNameView::npos ? NativeNameView() : name.substr(0, cut);
}

// The files dealt (their name positions, in the list's order) and, for each,
// the files that go with it.
struct Dealt {
    std::vector<std::uint32_t> names;
    std::vector<std::uint32_t> companions;      // all companions, grouped by the file they go with
    std::vector<std::uint32_t> companionStart;  // companions of names[i]: [companionStart[i], companionStart[i + 1])
};

// Without companions every listed file is dealt. With them, the folder's
// files are grouped by their names less the extension; a group takes part
// when the list takes one of its files, the first of those (in the list's
// order) is dealt, and the group's other files, whatever the pattern says,
// go with it.
// Without companions nothing is made: the dealt files are the list's own
// first `count` entries, and a copy of a million positions would only cost
// memory.
Dealt dealtFiles(const SourceList& list, std::uint64_t count, bool companions, NameUnit separator) {
    Dealt dealt;
    if (!companions) return dealt;
    dealt.names.reserve(count);
    const FolderNames& names = list.names();
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    std::vector<std::uint32_t> rank(names.size(), kNone);  // position in the list, for the names it takes
    for (std::uint64_t i = 0; i < count; ++i) rank[list.nameIndex(i)] = static_cast<std::uint32_t>(i);

    std::vector<std::uint32_t> byStem(names.size());
    for (std::uint32_t i = 0; i < byStem.size(); ++i) byStem[i] = i;
    std::sort(byStem.begin(), byStem.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int stems = stemOf(names.name(a), separator).compare(stemOf(names.name(b), separator));
        return stems != 0 ? stems < 0 : text::compareNames(names.name(a), names.name(b)) < 0;
    });
    // For each dealt file, where its group lies in byStem.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> groupOf(count, {0, 0});
    std::vector<bool> leads(count, false);
    for (std::size_t begin = 0; begin < byStem.size();) {
        std::size_t end = begin + 1;
        const NativeNameView stem = stemOf(names.name(byStem[begin]), separator);
        while (end < byStem.size() && stemOf(names.name(byStem[end]), separator) == stem) ++end;
        std::uint32_t first = kNone;
        for (std::size_t k = begin; k < end; ++k) first = std::min(first, rank[byStem[k]]);
        if (first != kNone) {
            leads[first] = true;
            groupOf[first] = {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)};
        }
        begin = end;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        if (!leads[i]) continue;
        const std::uint32_t lead = list.nameIndex(i);
        dealt.names.push_back(lead);
        dealt.companionStart.push_back(static_cast<std::uint32_t>(dealt.companions.size()));
        for (std::uint32_t k = groupOf[i].first; k < groupOf[i].second; ++k) {
            if (byStem[k] != lead) dealt.companions.push_back(byStem[k]);
        }
    }
    dealt.companionStart.push_back(static_cast<std::uint32_t>(dealt.companions.size()));
    return dealt;
}

}  // namespace

std::u16string shareRootOf(const RunRequest& request, const PathStyle& style) {
    return request.exportFolder + keptPath(sourcePathOf(request.importFolder, style), !request.keepWholePath, style) +
           u"_分发";
}

RunPlan planRun(const RunRequest& request, const SourceList& sources, const PathStyle& style) {
    RunPlan plan;
    plan.move = request.move;
    plan.seed = request.seed;
    plan.sourceFolder = sources.folder();
    const std::uint64_t files = std::min<std::uint64_t>(sources.count(), request.files.value_or(sources.count()));
    if (files == 0) return plan;

    plan.shareRoot = shareRootOf(request, style);

    plan.shareNames = request.shareNames;
    plan.subfolders = request.subfolders;
    plan.link = request.move ? RunRequest::Link::None : request.link;
    plan.lists = request.lists && !request.move;
    const auto separator = static_cast<NameUnit>(style.separator);

    // The list is put in order before anything of the plan's exists, so
    // that the sort's own memory is gone by the time the plan's is taken.
    sources.nameIndex(0);
    const Dealt dealt = dealtFiles(sources, files, request.companions, separator);
    const std::uint64_t n = request.companions ? dealt.names.size() : files;
    auto lead = [&](std::uint32_t entry) { return request.companions ? dealt.names[entry] : sources.nameIndex(entry); };

    // The drawn order, kept as bare list positions: the draw's rows (12
    // bytes each) are gone before the plan's (8 each) are made.
    std::vector<std::uint32_t> order;
    {
        std::vector<DispatchRow> drawn = drawKeys(static_cast<std::uint32_t>(n), request.seed);
        sortByKey(drawn);
        order.reserve(n);
        for (const DispatchRow& row : drawn) order.push_back(row.entry);
    }
    // The first files of the draw go into every share; the rest are dealt.
    const std::uint64_t common = request.move ? 0 : std::min<std::uint64_t>(request.common, n - 1);
    const std::uint64_t rest = n - common;

    // Each dealt file's share, in the draw's order after the common files.
    std::vector<std::uint32_t> shareOfEntry;
    std::vector<std::uint64_t> weights = request.ratio;
    if (weights.empty() && request.subfolders && request.byFolder) weights.assign(std::max<std::uint64_t>(request.count, 1), 1);
    if (weights.empty()) {
        const std::uint64_t count = std::clamp<std::uint64_t>(request.count, 1, std::max<std::uint64_t>(rest, 1));
        plan.shares = request.mode == RunRequest::Mode::Fixed ? fixedShares(rest, count) : averageShares(rest, count);
    } else {
        plan.shares = {weights.size(), 0};
        shareOfEntry.resize(n, 0);
        auto cut = [&](const std::vector<std::uint32_t>& entries, const std::vector<std::uint64_t>& sizes) {
            std::size_t at = 0;
            for (std::size_t k = 0; k < sizes.size(); ++k)
                for (std::uint64_t i = 0; i < sizes[k]; ++i) shareOfEntry[entries[at++]] = static_cast<std::uint32_t>(k + 1);
        };
        std::vector<std::uint32_t> dealtOrder(order.begin() + static_cast<std::ptrdiff_t>(common), order.end());
        if (request.subfolders && request.byFolder) {
            // Folder by folder, in the list's order of folders: each folder's
            // files in the draw's order, cut by that folder's sizes.
            std::vector<std::uint32_t> byFolder = dealtOrder;
            std::stable_sort(byFolder.begin(), byFolder.end(), [&](std::uint32_t a, std::uint32_t b) {
                return text::compareNames(folderOf(sources.names().name(lead(a)), separator),
                                          folderOf(sources.names().name(lead(b)), separator)) < 0;
            });
            RatioDealer dealer(weights);
            for (std::size_t begin = 0; begin < byFolder.size();) {
                const NativeNameView folder = folderOf(sources.names().name(lead(byFolder[begin])), separator);
                std::size_t end = begin + 1;
                while (end < byFolder.size() && folderOf(sources.names().name(lead(byFolder[end])), separator) == folder)
                    ++end;
                const std::vector<std::uint32_t> group(byFolder.begin() + static_cast<std::ptrdiff_t>(begin),
                                                       byFolder.begin() + static_cast<std::ptrdiff_t>(end));
                cut(group, dealer.next(end - begin));
                begin = end;
            }
        } else {
            cut(dealtOrder, ratioSizes(rest, weights));
        }
    }

    // The rows, share by share: the common files first, then the share's own.
    auto add = [&](std::uint32_t entry, std::uint32_t share, bool isCommon) {
        plan.rows.push_back({lead(entry), share, 0, isCommon ? 1u : 0u});
        if (dealt.companionStart.empty()) return;
        for (std::uint32_t k = dealt.companionStart[entry]; k < dealt.companionStart[entry + 1]; ++k)
            plan.rows.push_back({dealt.companions[k], share, 1, isCommon ? 1u : 0u});
    };
    const std::uint64_t perShareCompanions = dealt.companions.size();
    plan.rows.reserve(n + perShareCompanions + common * plan.shares.count);
    for (std::uint64_t i = 0; i < common; ++i) plan.common.push_back(lead(order[i]));
    if (shareOfEntry.empty()) {
        for (std::uint64_t position = 0; position < rest; ++position) {
            const auto share = static_cast<std::uint32_t>(shareOf(position, plan.shares));
            if (common != 0 && (position == 0 || share != shareOf(position - 1, plan.shares)))
                for (std::uint64_t i = 0; i < common; ++i) add(order[i], share, true);
            add(order[common + position], share, false);
        }
    } else {
        // Share by share, each in the draw's order (folder by folder when so
        // dealt); a share that gets no file of its own still gets the common ones.
        std::vector<std::uint32_t> byShare(order.begin() + static_cast<std::ptrdiff_t>(common), order.end());
        std::stable_sort(byShare.begin(), byShare.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return shareOfEntry[a] < shareOfEntry[b]; });
        std::size_t at = 0;
        for (std::uint32_t share = 1; share <= plan.shares.count; ++share) {
            for (std::uint64_t i = 0; i < common; ++i) add(order[i], share, true);
            for (; at < byShare.size() && shareOfEntry[byShare[at]] == share; ++at) add(byShare[at], share, false);
        }
    }
    plan.companions = 0;
    for (const RunRow& row : plan.rows) plan.companions += row.companion;
    return plan;
}

std::u16string shareName(const RunPlan& plan, std::uint64_t share) {
    return share >= 1 && share <= plan.shareNames.size() ? plan.shareNames[share - 1] : text::decimal(share);
}

}  // namespace qm
