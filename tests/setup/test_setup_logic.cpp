// The decisions behind the setup windows, apart from the windows: the
// puzzle's board, the password dialog's rules, what the wizard writes and
// what a language choice does.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "uLanguageChoice.h"
#include "uPassCheck.h"
#include "uPuzzleBoard.h"
#include "uWizardPlan.h"

using puzzle::TPuzzleBoard;

namespace {

std::array<uint8_t, 16> Solved()
{
    std::array<uint8_t, 16> board{};
    for (int n = 0; n < 16; ++n) board[n] = static_cast<uint8_t>(n + 1);
    return board;
}

}  // namespace

TEST(PuzzleBoard, SlidesOnlyAlongTheEmptyCellsRowOrColumn)
{
    TPuzzleBoard board;
    board.SetBoard(Solved());  // empty cell bottom right
    board.ClickTile(14);       // two cells left of it: 14 and 15 move right
    EXPECT_EQ((std::vector<int>{13, 16, 14, 15}), std::vector<int>(board.Board().begin() + 12, board.Board().end()));
    const auto before = board.Board();
    board.ClickTile(11);  // diagonal to the empty cell
    EXPECT_EQ(before, board.Board());
    board.ClickTile(2);  // up the column: 2, 6, 10 move down
    EXPECT_EQ(16, board.Board()[1]);
    EXPECT_EQ(2, board.Board()[5]);
    EXPECT_EQ(10, board.Board()[13]);
    EXPECT_TRUE(board.IsSolvable());
    EXPECT_FALSE(board.IsSolved());
    board.ClickTile(10);
    board.ClickTile(15);
    EXPECT_TRUE(board.IsSolved());
}

TEST(PuzzleBoard, ShuffleDealsSolvableBoardsThatDiffer)
{
    std::set<std::array<uint8_t, 16>> deals;
    for (int deal = 0; deal < 20; ++deal) {
        TPuzzleBoard board;
        board.Shuffle();
        EXPECT_TRUE(board.IsSolvable());
        deals.insert(board.Board());
    }
    // One generator seeded once: twenty deals in a row are (almost surely) all different.
    EXPECT_GE(deals.size(), 19u);

    TPuzzleBoard unsolvable;
    auto swapped = Solved();
    std::swap(swapped[0], swapped[1]);
    unsolvable.SetBoard(swapped);
    EXPECT_FALSE(unsolvable.IsSolvable());
}

TEST(PuzzleBoard, ShuffleStepsAlternateStartingAlongTheRow)
{
    std::vector<int> ranges;
    TPuzzleBoard board([&](int range) {
        ranges.push_back(range);
        return 0;
    });
    board.SetBoard(Solved());
    board.ShuffleStep();  // along the row: 15 slides right
    EXPECT_EQ(15, board.Board()[15]);
    EXPECT_EQ(16, board.Board()[14]);
    board.ShuffleStep();  // along the column: 11 slides down
    EXPECT_EQ(11, board.Board()[14]);
    EXPECT_EQ(16, board.Board()[10]);
    // Each step: a coin flip (Random(100)), then a cell on the chosen side.
    EXPECT_EQ((std::vector<int>{100, 3, 100, 3}), ranges);
}

TEST(PassCheck, DigestIsUpperHexOfTheAnsiBytesAndComparesIgnoringCase)
{
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", PasswordDigest("abc"));
    EXPECT_EQ("08F8E03BD59A7C67DC44028B3E073D5E", PasswordDigest("\xCF\xE0\xF0\xEE\xEB\xFC"));
    EXPECT_TRUE(DigestMatches("abc", {true, "900150983cd24fb0d6963f7d28e17f72"}));
    EXPECT_FALSE(DigestMatches("abd", {true, "900150983CD24FB0D6963F7D28E17F72"}));
    EXPECT_FALSE(DigestMatches("abc", {false, ""}));
}

TEST(PassCheck, ShownModeFollowsTheStoredPassword)
{
    EXPECT_EQ(kPassSet, ShownPassMode(kPassSet, {true, ""}));
    EXPECT_EQ(kPassDelete, ShownPassMode(kPassSet, {true, PasswordDigest("x")}));
    EXPECT_EQ(kPassSet, ShownPassMode(kPassDelete, {true, ""}));
    EXPECT_EQ(kPassSet, ShownPassMode(kPassSet, {false, ""}));
    EXPECT_EQ(kPassStop, ShownPassMode(kPassStop, {true, ""}));
    EXPECT_EQ(kPassSettings, ShownPassMode(kPassSettings, {false, ""}));
}

TEST(PassCheck, SettingNeedsAMatchingRepeatUnlessShown)
{
    const TStoredPassword none{true, ""};
    TPassOutcome outcome = DecidePassButton(kPassSet, {"secret", "secreT", false}, none);
    EXPECT_STREQ("pass_notset", outcome.AnswerKey);
    EXPECT_FALSE(outcome.Write);
    EXPECT_FALSE(DecidePassButton(kPassSet, {"", "", false}, none).Write);

    outcome = DecidePassButton(kPassSet, {"secret", "other", true}, none);
    EXPECT_STREQ("pass_set", outcome.AnswerKey);
    ASSERT_TRUE(outcome.Write);
    EXPECT_EQ(PasswordDigest("secret"), outcome.NewValue);
    EXPECT_STREQ("pass_set", AnswerAfterWrite(outcome, {true, outcome.NewValue}));
    EXPECT_STREQ("pass_notset", AnswerAfterWrite(outcome, {true, ""}));
    EXPECT_STREQ("pass_noserv", AnswerAfterWrite(outcome, {false, ""}));
}

TEST(PassCheck, DeleteAndConfirmNeedTheStoredPassword)
{
    const TStoredPassword stored{true, PasswordDigest("secret")};
    EXPECT_STREQ("pass_wrong", DecidePassButton(kPassDelete, {"Secret", "", false}, stored).AnswerKey);
    TPassOutcome outcome = DecidePassButton(kPassDelete, {"secret", "", false}, stored);
    EXPECT_STREQ("pass_del", outcome.AnswerKey);
    EXPECT_TRUE(outcome.Write);
    EXPECT_EQ("", outcome.NewValue);
    EXPECT_STREQ("pass_del", AnswerAfterWrite(outcome, {true, ""}));

    for (int32_t mode : {kPassStop, kPassSettings}) {
        EXPECT_EQ(TPassOutcome::Accept, DecidePassButton(mode, {"secret", "", false}, stored).Action);
        EXPECT_EQ(TPassOutcome::Answer, DecidePassButton(mode, {"", "", false}, stored).Action);
    }
    EXPECT_EQ(TPassOutcome::Accept,
              DecidePassButton(kPassSettings, {"", "", false}, {true, PasswordDigest("")}).Action);
}

TEST(PassCheck, WithoutAnAnswerNothingIsSetDeletedOrAccepted)
{
    const TStoredPassword unknown{false, ""};
    for (int32_t mode : {kPassSet, kPassDelete, kPassStop, kPassSettings}) {
        const TPassOutcome outcome = DecidePassButton(mode, {"secret", "secret", false}, unknown);
        EXPECT_EQ(TPassOutcome::Answer, outcome.Action) << mode;
        EXPECT_STREQ("pass_noserv", outcome.AnswerKey) << mode << ": the service did not answer";
        EXPECT_FALSE(outcome.Write) << mode;
    }
}

namespace {

std::vector<std::string> Names(const std::vector<TSettingWrite>& writes)
{
    std::vector<std::string> names;
    for (const auto& write : writes) names.push_back(write.Name);
    return names;
}

const TSettingWrite* Find(const std::vector<TSettingWrite>& writes, const std::string& name)
{
    auto it = std::find_if(writes.begin(), writes.end(), [&](const TSettingWrite& w) { return w.Name == name; });
    return it == writes.end() ? nullptr : &*it;
}

}  // namespace

TEST(WizardPlan, FirstChoiceTurnsEverythingOnInOrder)
{
    const auto writes = WizardStartWrites(kChooseAll, {false, false, false, false, false, false}, true);
    ASSERT_EQ(47u, writes.size());
    const auto names = Names(writes);
    EXPECT_EQ((std::vector<std::string>{"vm_prog", "vm_cd", "view_mess", "User_shell"}),
              std::vector<std::string>(names.begin(), names.begin() + 4));
    EXPECT_EQ((std::vector<std::string>{"appinitdlls", "hosts_guard", "hosts_default", "hosts_change", "hosts_delete",
                                        "kb_cross", "kb_F12", "show_tray_icon", "show_tray_warn", "arn_disable_cmd"}),
              std::vector<std::string>(names.end() - 10, names.end()));
    EXPECT_EQ(47u, std::set<std::string>(names.begin(), names.end()).size());
    for (const auto& write : writes) {
        if (write.Kind == TSettingWrite::Int)
            EXPECT_EQ(0, write.IntValue) << write.Name;
        else
            EXPECT_TRUE(write.BoolValue) << write.Name;
    }
}

TEST(WizardPlan, GroupChoiceFollowsTheBoxesAndSettingsChoiceWritesNoGroup)
{
    const auto writes = WizardStartWrites(kChooseGroups, {true, false, true, false, false, false}, false);
    ASSERT_EQ(47u, writes.size());
    EXPECT_TRUE(Find(writes, "All_shell")->BoolValue);
    EXPECT_FALSE(Find(writes, "mbr_guard")->BoolValue);
    EXPECT_TRUE(Find(writes, "Polices_Regedit")->BoolValue);
    EXPECT_FALSE(Find(writes, "appinitdlls")->BoolValue);
    EXPECT_FALSE(Find(writes, "hosts_guard")->BoolValue);
    ASSERT_NE(nullptr, Find(writes, "hosts_change"));  // written as 0 also with the box off
    EXPECT_EQ(TSettingWrite::Int, Find(writes, "hosts_delete")->Kind);
    EXPECT_FALSE(Find(writes, "kb_cross")->BoolValue);
    EXPECT_FALSE(Find(writes, "kb_F12")->BoolValue);

    const auto settings = WizardStartWrites(kChooseSettings, {true, true, true, true, true, true}, true);
    EXPECT_EQ((std::vector<std::string>{"vm_prog", "vm_cd", "view_mess", "kb_cross", "kb_F12", "show_tray_icon",
                                        "show_tray_warn", "arn_disable_cmd"}),
              Names(settings));
}

TEST(LanguageChoice, ComparesFileNamesIgnoringCaseAndIgnoresAnEmptyChoice)
{
    EXPECT_EQ(TLanguageAction::None, SettingsPageLanguageAction("english.LNG", "English.lng"));
    EXPECT_EQ(TLanguageAction::Change, SettingsPageLanguageAction("Russian.lng", "English.lng"));
    EXPECT_EQ(TLanguageAction::None, SettingsPageLanguageAction("", "English.lng"));
    EXPECT_EQ(TLanguageAction::Rewrite, WizardLanguageAction("ENGLISH.lng", "English.lng"));
    EXPECT_EQ(TLanguageAction::Change, WizardLanguageAction("Russian.lng", "English.lng"));
    EXPECT_EQ(TLanguageAction::None, WizardLanguageAction("", "English.lng"));
}
