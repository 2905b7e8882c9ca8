// A caught error reaches the program's sink with its Windows code, and a sink
// that fails or reports again itself never loops.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "md5.h"
#include "qvCaught.h"
#include "qvErrors.h"
#include "qvHandles.h"
#include "qvWideText.h"

namespace {

std::vector<std::string> gLines;

void Collect(const std::string& line) { gLines.push_back(line); }

// Reports again from inside the sink, as the tray's log does when the mail
// slot it travels over meets an error of its own.
void ReportAgain(const std::string& line)
{
    gLines.push_back(line);
    ReportCaught("inside the sink", "again");
}

void Throw(const std::string&) { throw std::runtime_error("sink down"); }

class Caught : public ::testing::Test {
protected:
    void SetUp() override { gLines.clear(); }
    void TearDown() override { SetCaughtSink(nullptr); }
};

TEST_F(Caught, AFileHeldShutReachesTheSinkWithItsCode)
{
    SetCaughtSink(&Collect);
    ScratchDir dir;
    const std::string file = dir / "locker.exe";
    ASSERT_TRUE(WriteTextFile(file, "MZ"));
    UniqueHandle held(CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());

    EXPECT_EQ(GetReadableFileMD5W(AnsiToWide(file)), "") << "no digest of a file held shut";
    ASSERT_EQ(gLines.size(), 1u);
    EXPECT_NE(gLines[0].find(file), std::string::npos) << gLines[0];
    EXPECT_NE(gLines[0].find("Windows error " + std::to_string(ERROR_SHARING_VIOLATION)), std::string::npos)
        << gLines[0];
    held.Reset();
    EXPECT_NE(GetReadableFileMD5W(AnsiToWide(file)), "");
    EXPECT_EQ(gLines.size(), 1u) << "a digest read says nothing";
}

TEST_F(Caught, LinesCarryTheCodeAndASinkNeverLoops)
{
    SetCaughtSink(&Collect);
    ReportCaught("registry", ERegistryException("Failed to set data for 'v'", ERROR_ACCESS_DENIED));
    ReportSystemError("open", ERROR_FILE_NOT_FOUND);
    ReportUnknownCaught("thread");
    ASSERT_EQ(gLines.size(), 3u);
    EXPECT_EQ(gLines[0], "registry: Failed to set data for 'v' (Windows error 5)");
    EXPECT_EQ(gLines[1].rfind("open: Windows error 2 (", 0), 0u) << gLines[1];
    EXPECT_GT(gLines[1].size(), std::string("open: Windows error 2 ()").size()) << "with the system's text";
    EXPECT_EQ(gLines[2].rfind("thread: ", 0), 0u);

    gLines.clear();
    SetCaughtSink(&ReportAgain);
    ReportCaught("outer", "first");
    ReportCaught("outer", "second");
    EXPECT_EQ(gLines, (std::vector<std::string>{"outer: first", "outer: second"}))
        << "a line reported from inside the sink goes to the debugger, not round again";

    SetCaughtSink(&Throw);
    ReportCaught("outer", "lost");  // a sink that throws never takes its caller down
    SetCaughtSink(&Collect);
    ReportCaught("after", "fine");
    EXPECT_EQ(gLines.back(), "after: fine") << "a failed sink leaves reporting working";
}

}  // namespace
