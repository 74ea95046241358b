// The plan of a run: the share root and counts, the draw, and the rows in
// transfer order.
#include "engine/run_plan.h"

#include <algorithm>

#include "engine/draw.h"
#include "text/name_order.h"

namespace qm {

namespace {

// A name less its extension: up to its last ".", unless that dot begins the
// name (".profile" has no extension).
NativeNameView stemOf(NativeNameView name) {
    const std::size_t dot = name.rfind(NameUnit('.'));
    return dot == NativeNameView::npos || dot == 0 ? name : name.substr(0, dot);
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
Dealt dealtFiles(const SourceList& list, std::uint64_t count, bool companions) {
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
        const int stems = stemOf(names.name(a)).compare(stemOf(names.name(b)));
        return stems != 0 ? stems < 0 : text::compareNames(names.name(a), names.name(b)) < 0;
    });
    // For each dealt file, where its group lies in byStem.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> groupOf(count, {0, 0});
    std::vector<bool> leads(count, false);
    for (std::size_t begin = 0; begin < byStem.size();) {
        std::size_t end = begin + 1;
        const NativeNameView stem = stemOf(names.name(byStem[begin]));
        while (end < byStem.size() && stemOf(names.name(byStem[end])) == stem) ++end;
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

    // The list is put in order before anything of the plan's exists, so
    // that the sort's own memory is gone by the time the plan's is taken.
    sources.nameIndex(0);
    const Dealt dealt = dealtFiles(sources, files, request.companions);
    const std::uint64_t n = request.companions ? dealt.names.size() : files;
    const std::uint64_t count = std::clamp<std::uint64_t>(request.count, 1, n);
    plan.shares = request.mode == RunRequest::Mode::Fixed ? fixedShares(n, count) : averageShares(n, count);

    // The drawn order, kept as bare list positions: the draw's rows (12
    // bytes each) are gone before the plan's (8 each) are made.
    std::vector<std::uint32_t> order;
    {
        std::vector<DispatchRow> drawn = drawKeys(static_cast<std::uint32_t>(n), request.seed);
        sortByKey(drawn);
        order.reserve(n);
        for (const DispatchRow& row : drawn) order.push_back(row.entry);
    }
    plan.rows.reserve(n + dealt.companions.size());
    for (std::uint64_t position = 0; position < n; ++position) {
        const std::uint32_t entry = order[position];
        const auto share = static_cast<std::uint32_t>(shareOf(position, plan.shares));
        plan.rows.push_back({request.companions ? dealt.names[entry] : sources.nameIndex(entry), share, 0});
        if (dealt.companionStart.empty()) continue;
        for (std::uint32_t k = dealt.companionStart[entry]; k < dealt.companionStart[entry + 1]; ++k)
            plan.rows.push_back({dealt.companions[k], share, 1});
    }
    plan.companions = dealt.companions.size();
    return plan;
}

}  // namespace qm
