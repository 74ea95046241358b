// The plan of a run: the settings read from the window's controls, the share
// root and counts, the draw, and the rows in transfer order.
#include "engine/run_plan.h"

#include <algorithm>
#include <cmath>

#include "engine/draw.h"
#include "text/number.h"
#include "window/form1.h"

namespace qm {

namespace {

// A count field as a whole number from 1 to `files`. The settings keep it so;
// this only guards a run against a field that was never normalised.
std::uint64_t countIn(const TextBox& field, std::uint64_t files) {
    double value = std::round(std::fabs(leadingNumber(field.text())));
    if (!(value >= 1)) return 1;
    return value >= static_cast<double>(files) ? files : static_cast<std::uint64_t>(value);
}

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
Dealt dealtFiles(const FileList& list, std::uint64_t count, bool companions) {
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

std::uint64_t Form1::FilesToDeal() const {
    // As many as the count label shows, but never more than the list holds
    // (the count is only a caption and could lag behind).
    const double shown = leadingNumber(LFiles.caption());
    if (!(shown >= 1)) return 0;
    return std::min<std::uint64_t>(File1.count(), shown >= 1e18 ? File1.count() : static_cast<std::uint64_t>(shown));
}

std::u16string Form1::ShareRoot() const {
    const PathStyle style = system().pathStyle();
    return LDirOut.caption() + keptPath(sourcePathOf(LDir.caption(), style), Option2.value(), style) + u"_分发";
}

RunPlan Form1::PlanRun(bool move, std::uint64_t seed) const {
    RunPlan plan;
    plan.move = move;
    plan.seed = seed;
    plan.sourceFolder = File1.path();
    const std::uint64_t files = FilesToDeal();
    if (files == 0) return plan;

    plan.shareRoot = ShareRoot();

    // The list is put in order before anything of the plan's exists, so
    // that the sort's own memory is gone by the time the plan's is taken.
    File1.nameIndex(0);
    const Dealt dealt = dealtFiles(File1, files, extras.companions);
    const std::uint64_t n = extras.companions ? dealt.names.size() : files;
    plan.shares = Opt1.value() ? fixedShares(n, countIn(TParts, n)) : averageShares(n, countIn(TDivs, n));

    // The drawn order, kept as bare list positions: the draw's rows (12
    // bytes each) are gone before the plan's (8 each) are made.
    std::vector<std::uint32_t> order;
    {
        std::vector<DispatchRow> drawn = drawKeys(static_cast<std::uint32_t>(n), seed);
        sortByKey(drawn);
        order.reserve(n);
        for (const DispatchRow& row : drawn) order.push_back(row.entry);
    }
    plan.rows.reserve(n + dealt.companions.size());
    for (std::uint64_t position = 0; position < n; ++position) {
        const std::uint32_t entry = order[position];
        const auto share = static_cast<std::uint32_t>(shareOf(position, plan.shares));
        plan.rows.push_back({extras.companions ? dealt.names[entry] : File1.nameIndex(entry), share, 0});
        if (dealt.companionStart.empty()) continue;
        for (std::uint32_t k = dealt.companionStart[entry]; k < dealt.companionStart[entry + 1]; ++k)
            plan.rows.push_back({dealt.companions[k], share, 1});
    }
    plan.companions = dealt.companions.size();
    return plan;
}

}  // namespace qm
