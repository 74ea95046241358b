// Share sizes in proportion to weights (8:1:1 into train, val and test):
// for one set of files, or folder by folder so that every share gets its
// part of every folder and the shares stay balanced overall.
#pragma once

#include <cstdint>
#include <vector>

namespace qm {

// Share k gets floor(files·Wk/W); the files left over go one each to the
// shares with the largest remainders, ties to the lower share number.
std::vector<std::uint64_t> ratioSizes(std::uint64_t files, const std::vector<std::uint64_t>& weights);

// Group after group (the files of one folder, then the next), each dealt
// with the same weights: share k gets floor(n·Wk/W) of a group of n, and the
// group's leftover files go one each to the shares that are furthest below
// their part of the whole run so far, ties to the lower share number.
class RatioDealer {
public:
    explicit RatioDealer(std::vector<std::uint64_t> weights);
    // The share sizes of the next group of `files`.
    std::vector<std::uint64_t> next(std::uint64_t files);
    // What each share has had so far.
    const std::vector<std::uint64_t>& dealt() const { return dealt_; }

private:
    std::vector<std::uint64_t> weights_;
    unsigned __int128 total_ = 0;  // the weights' sum
    std::uint64_t files_ = 0;      // files of every group so far
    std::vector<std::uint64_t> dealt_;
};

}  // namespace qm
