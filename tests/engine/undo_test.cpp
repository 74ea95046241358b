// The undo's decisions, row by row, from what it finds: no file system.
#include <gtest/gtest.h>

#include "engine/undo_verdict.h"

namespace qm::test {
namespace {

constexpr FileStamp kRecorded{{0x801, 0x10}, {12, {1700000000, 5}}};
constexpr FileStamp kOther{{0x801, 0x99}, {12, {1700000000, 5}}};
constexpr FileStamp kCopyBack{{0x902, 0x20}, {12, {1700000000, 5}}};  // another file system, same size and time
constexpr FileStamp kEdited{{0x801, 0x10}, {13, {1700000100, 0}}};
constexpr FileStamp kStranger{{0x801, 0x77}, {99, {1600000000, 0}}};

RecordRow rowOf(TransferOutcome outcome) {
    RecordRow row;
    row.share = 1;
    row.outcome = outcome;
    row.stamp = kRecorded;
    return row;
}

struct Case {
    const char* name;
    bool move;
    RowFindings found;
    Verdict verdict;
};

using Share = RowFindings::Share;
const std::optional<FileStamp> kNone;

const Case kCases[] = {
    {"moved_file_in_its_share", true, {true, Share::Open, kRecorded, false, kNone}, Verdict::TakeBack},
    {"copy_in_its_share", false, {true, Share::Open, kRecorded, false, kRecorded}, Verdict::TakeBack},
    {"another_file_under_the_name", true, {true, Share::Open, kOther, false, kNone}, Verdict::Changed},
    {"the_file_edited", false, {true, Share::Open, kEdited, false, kRecorded}, Verdict::Changed},
    {"under_a_hidden_name", false, {true, Share::Open, kNone, true, kRecorded}, Verdict::Restore},
    {"moved_back_before", true, {true, Share::Open, kNone, false, kRecorded}, Verdict::AlreadyBack},
    {"moved_back_across_file_systems", true, {true, Share::Open, kNone, false, kCopyBack}, Verdict::AlreadyBack},
    {"moved_file_gone", true, {true, Share::Open, kNone, false, kNone}, Verdict::Gone},
    {"another_file_at_the_source", true, {true, Share::Open, kNone, false, kStranger}, Verdict::Gone},
    {"copy_gone_source_there", false, {true, Share::Open, kNone, false, kOther}, Verdict::AlreadyBack},
    {"copy_gone_with_its_source", false, {true, Share::Open, kNone, false, kNone}, Verdict::NothingThere},
    {"share_removed_by_a_first_undo", true, {true, Share::Missing, kNone, false, kRecorded}, Verdict::AlreadyBack},
    {"share_removed_copy", false, {true, Share::Missing, kNone, false, kOther}, Verdict::AlreadyBack},
    {"share_gone_file_nowhere", true, {true, Share::Missing, kNone, false, kNone}, Verdict::ShareMissing},
    {"share_now_a_link_copy", false, {true, Share::Replaced, kNone, false, kOther}, Verdict::ShareMissing},
    {"share_now_a_link_moved_back", true, {true, Share::Replaced, kNone, false, kRecorded}, Verdict::AlreadyBack},
    {"share_now_a_link_moved", true, {true, Share::Replaced, kNone, false, kNone}, Verdict::ShareMissing},
    {"share_in_use", true, {true, Share::Busy, kRecorded, false, kNone}, Verdict::ShareBusy},
    {"no_import_folder", false, {false, Share::Open, kRecorded, false, kNone}, Verdict::ImportMissing},
};

class Decide : public ::testing::TestWithParam<Case> {};

TEST_P(Decide, FromWhatIsFound) {
    const Case& c = GetParam();
    EXPECT_EQ(decide(rowOf(c.move ? TransferOutcome::Moved : TransferOutcome::Copied), c.found), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Undo, Decide, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every verdict counts one way, and every one that leaves a file says why.
TEST(UndoVerdict, EveryFileLeftIsToldWhy) {
    for (int v = 0; v <= static_cast<int>(Verdict::Failed); ++v) {
        const auto verdict = static_cast<Verdict>(v);
        for (const bool move : {false, true}) {
            EXPECT_EQ(reasonOf(verdict, move).empty(), endOf(verdict) != RowEnd::Left) << v;
        }
    }
    EXPECT_EQ(endOf(verdictOf(TakeBack::Done, true)), RowEnd::TakenBack);
    EXPECT_EQ(endOf(verdictOf(TakeBack::Gone, false)), RowEnd::Nothing);  // the copy went meanwhile
    EXPECT_EQ(reasonOf(verdictOf(TakeBack::Failed, false), false), u"无法删除副本");
}

}  // namespace
}  // namespace qm::test
