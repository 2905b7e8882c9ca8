// Showing a file in Explorer: a stand-in Explorer writes down its command
// line. A program of its own: under Wine the desktop may close a few seconds
// after the programs this starts have ended, and the windows of any test that
// came next would then lose their X display resources.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "uExplorerShow.h"
#include "uTrayApplication.h"

namespace {

// qv_cmdline.exe copied into a scratch folder stands in for Explorer.
class ExplorerStandIn {
public:
    ExplorerStandIn() : program_(scratch_ / "qv_explorer.exe")
    {
        CopyFileA(HelperPath("qv_cmdline.exe").c_str(), program_.c_str(), FALSE);
        previous_ = TrayApp().Session.ExplorerProgram;
        TrayApp().Session.ExplorerProgram = program_;
    }
    ~ExplorerStandIn() { TrayApp().Session.ExplorerProgram = previous_; }
    // The arguments it was started with, once it has written them.
    std::string WaitArguments()
    {
        const std::string file = program_ + ".cmdline";
        WaitUntil([&] { return !ReadTextFile(file).empty(); }, 20000);
        std::string line = ReadTextFile(file);
        DeleteFileA(file.c_str());
        const size_t selectAt = line.find("/select,");
        return selectAt == std::string::npos ? line : line.substr(selectAt);
    }
    const ScratchDir& Scratch() const { return scratch_; }

private:
    ScratchDir scratch_;
    std::string program_;
    std::string previous_;
};

}  // namespace

TEST(ExplorerShow, SelectsTheQuotedPathOrOpensTheFolderOfAGoneFile)
{
    ExplorerStandIn explorer;
    const std::string folder = explorer.Scratch() / "odd dir";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string file = folder + "\\one, two.exe";
    ASSERT_TRUE(WriteTextFile(file, "MZ"));

    const TExplorerRoute route = ShowPathOrFolder(file);
    EXPECT_NE(route, TExplorerRoute::Missing);
    EXPECT_EQ(explorer.WaitArguments(), "/select,\"" + file + "\"");
    std::printf("Explorer was reached by %s\n", route == TExplorerRoute::Shell ? "the shell" : "the command line");

    DeleteFileA(file.c_str());
    EXPECT_NE(ShowPathOrFolder(file), TExplorerRoute::Missing);
    const std::string opened = explorer.WaitArguments();
    EXPECT_EQ(opened.find("/select"), std::string::npos) << opened;
    const std::string argument = " \"" + folder + "\"";
    EXPECT_EQ(opened.rfind(argument), opened.size() - argument.size()) << "a gone file opens its folder: " << opened;

    EXPECT_EQ(ShowInExplorer(explorer.Scratch() / "nothing here\\x.exe"), TExplorerRoute::Missing);
}
