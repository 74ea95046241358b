#include "engine/ratio.h"

#include <algorithm>
#include <numeric>

namespace qm {

namespace {

using Wide = unsigned __int128;

// The `count` shares that come first by `before`, marked in `picked`.
template <typename Before>
void pick(std::size_t shares, std::uint64_t count, std::vector<bool>& picked, Before before) {
    std::vector<std::size_t> order(shares);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), before);
    for (std::uint64_t i = 0; i < count && i < order.size(); ++i) picked[order[i]] = true;
}

}  // namespace

std::vector<std::uint64_t> ratioSizes(std::uint64_t files, const std::vector<std::uint64_t>& weights) {
    RatioDealer dealer(weights);
    return dealer.next(files);
}

RatioDealer::RatioDealer(std::vector<std::uint64_t> weights)
    : weights_(std::move(weights)), dealt_(weights_.size(), 0) {
    for (const std::uint64_t w : weights_) total_ += w;
}

std::vector<std::uint64_t> RatioDealer::next(std::uint64_t files) {
    const std::size_t shares = weights_.size();
    std::vector<std::uint64_t> sizes(shares, 0);
    if (shares == 0 || total_ == 0) return sizes;
    files_ += files;
    std::uint64_t given = 0;
    for (std::size_t k = 0; k < shares; ++k) {
        sizes[k] = static_cast<std::uint64_t>(Wide{files} * weights_[k] / total_);
        given += sizes[k];
        dealt_[k] += sizes[k];
    }
    // How far share k is below its part of everything so far, times W (a
    // remainder, for the first group): files·Wk − dealt·W.
    auto below = [&](std::size_t k) -> __int128 {
        return static_cast<__int128>(Wide{files_} * weights_[k]) - static_cast<__int128>(Wide{dealt_[k]} * total_);
    };
    std::vector<bool> picked(shares, false);
    pick(shares, files - given, picked, [&](std::size_t a, std::size_t b) { return below(a) > below(b); });
    for (std::size_t k = 0; k < shares; ++k) {
        if (!picked[k]) continue;
        ++sizes[k];
        ++dealt_[k];
    }
    return sizes;
}

}  // namespace qm
