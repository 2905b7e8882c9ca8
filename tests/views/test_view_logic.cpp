// The status rating, the report's path rules and Explorer command lines, and
// the splash fade, without windows.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "uReportModel.h"
#include "uSplashFade.h"
#include "uStatusRating.h"

namespace {

// Answers from a set of switches that are on, and records the order asked.
struct SwitchTable {
    std::set<std::string> On;
    std::vector<std::string> Asked;
    TSwitchReader Reader()
    {
        return [this](const std::string& name) {
            Asked.push_back(name);
            return On.count(name) != 0;
        };
    }
};

const std::vector<std::string> kAutorunSwitches = {
    "arn_all_folder",  "arn_user_folder", "arn_all_reg",      "arn_all_run",    "arn_all_runonce",
    "arn_all_runonceex", "arn_all_polices", "arn_user_reg",   "arn_user_run",   "arn_user_runonce",
    "arn_user_polices", "arn_user_ntrun", "arn_user_ntload", "arn_close_thread"};

}  // namespace

TEST(StatusRating, AutorunGatesDecideButNeverCount)
{
    SwitchTable table;
    table.On.insert(kAutorunSwitches.begin(), kAutorunSwitches.end());
    table.On.erase("arn_user_reg");
    TRating rating = RateArea(TRatingArea::Autoruns, table.Reader(), 6);
    EXPECT_EQ(rating.Count, 12);
    EXPECT_EQ(rating.On, 7);
    EXPECT_EQ(RatingCaption(rating.Percent()), "58%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingAqua);
    // The closed gate's five sub-switches were never asked.
    EXPECT_EQ(table.Asked.size(), 9u);

    SwitchTable gateOnly;
    gateOnly.On = {"arn_all_reg"};
    rating = RateArea(TRatingArea::Autoruns, gateOnly.Reader(), 6);
    EXPECT_EQ(rating.On, 0);
    EXPECT_EQ(RatingCaption(rating.Percent()), "0%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingRed);
}

TEST(StatusRating, ColourBoundariesBelongToTheHigherColour)
{
    SwitchTable shell;
    shell.On = {"User_shell", "All_userinit", "User_PoliceShell", "All_taskman", "All_shell", "All_parazite",
                "All_message", "User_load"};
    TRating rating = RateArea(TRatingArea::Shell, shell.Reader(), 6);
    EXPECT_EQ(RatingCaption(rating.Percent()), "80%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingGreen);
    shell.On = {"User_shell", "All_userinit", "User_PoliceShell"};
    rating = RateArea(TRatingArea::Shell, shell.Reader(), 6);
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingYellow) << "exactly 30 is yellow";
    shell.On = {"User_shell", "All_userinit"};
    rating = RateArea(TRatingArea::Shell, shell.Reader(), 6);
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingRed);

    SwitchTable six;
    six.On = {"arn_all_folder", "arn_user_folder", "arn_all_reg", "arn_all_run", "arn_all_runonce",
              "arn_all_runonceex", "arn_all_polices"};
    rating = RateArea(TRatingArea::Autoruns, six.Reader(), 6);
    EXPECT_EQ(RatingCaption(rating.Percent()), "50%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingAqua) << "exactly 50 is aqua";
}

TEST(StatusRating, FileAreaDependsOnTheWindowsVersion)
{
    SwitchTable table;
    table.On = {"hijack_all", "file_taskman"};
    TRating rating = RateArea(TRatingArea::Files, table.Reader(), 6);
    EXPECT_EQ(rating.Count, 2);
    EXPECT_EQ(RatingCaption(rating.Percent()), "50%");
    EXPECT_EQ(table.Asked, (std::vector<std::string>{"hijack_all", "hijack_taskman"}));

    table.On = {"hijack_all", "hijack_taskman"};
    rating = RateArea(TRatingArea::Files, table.Reader(), 5);
    EXPECT_EQ(RatingCaption(rating.Percent()), "33%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingYellow);
    table.On.insert({"file_taskman", "file_userinit", "file_userinit_cache", "file_taskman_cache"});
    rating = RateArea(TRatingArea::Files, table.Reader(), 5);
    EXPECT_EQ(RatingCaption(rating.Percent()), "100%");
    EXPECT_EQ(RatingColour(rating.Percent()), kRatingGreen);
}

TEST(ReportModel, PathFieldAndExplorerCommands)
{
    for (int kind : {110, 124, 125, 126, 193, 194}) EXPECT_TRUE(EventHidesPath(kind, "C:\\x")) << kind;
    EXPECT_TRUE(EventHidesPath(111, ""));
    EXPECT_FALSE(EventHidesPath(111, "C:\\ProgramData\\Quorvane\\jail\\hosts"));
    EXPECT_FALSE(EventHidesPath(171, "C:\\x.exe"));

    EXPECT_EQ(LocationUrlToFolder("file:///C:/Program%20Files/My%20App"), "C:\\Program Files\\My App\\");
    EXPECT_EQ(LocationUrlToFolder("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"),
              "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");

    const std::string odd = "C:\\a b\\one,two.exe";
    EXPECT_EQ(ExplorerSelectParameters(odd), "/select,\"C:\\a b\\one,two.exe\"");
    EXPECT_EQ(ExplorerCommandLineWith("EXPLORER", ExplorerSelectParameters(odd)),
              "EXPLORER /select,\"C:\\a b\\one,two.exe\"");
    EXPECT_EQ(ExplorerCommandLineWith("C:\\My Tools\\ex.exe", ExplorerSelectParameters("C:\\x")),
              "\"C:\\My Tools\\ex.exe\" /select,\"C:\\x\"");
    EXPECT_EQ(ExplorerFolderParameters("C:\\a b\\"), "\"C:\\a b\"") << "no \\ before the closing quote";
    EXPECT_EQ(ExplorerFolderParameters("C:\\"), "C:\\");
}

TEST(SplashFade, FadesInHoldsFadesOutAndStaysClosed)
{
    TSplashFade fade;
    fade.Start();
    EXPECT_EQ(fade.Alpha(), 1);
    int ticks = 0;
    while (!fade.TickIn()) ASSERT_LT(++ticks, 100);
    EXPECT_EQ(ticks + 1, 48);
    EXPECT_EQ(fade.Alpha(), 241);
    EXPECT_FALSE(fade.TickOut()) << "no fade-out during the hold";
    fade.EndHold();
    int lowest = 255;
    while (!fade.TickOut()) lowest = std::min<int>(lowest, fade.Alpha());
    EXPECT_EQ(fade.Alpha(), 6) << "the closing tick finds alpha 6";
    EXPECT_EQ(fade.Phase(), TSplashFade::TPhase::Closed);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(fade.TickOut());
    EXPECT_EQ(fade.Alpha(), 6) << "a late tick never lowers alpha again";
    EXPECT_GE(lowest, 6);
}
