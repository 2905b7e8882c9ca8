#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uLogThread.h"
#include "uServiceManage.h"
#include "uServiceUtils.h"

using namespace harness;

namespace {

class ServiceLifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveService();
        ResetMachineState();
    }
    void TearDown() override { RemoveService(); }

    std::string InstallFolder() const { return GetEnvVar("TEMP") + "\\qvsvc_install"; }
};

std::string ReadDescription()
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = "SYSTEM\\CurrentControlSet\\Services\\Quorvane";
    rec.Value = "Description";
    return ReadRegString(rec);
}

TEST_F(ServiceLifecycle, RegistrationPropertiesDescriptionAndFailureActions)
{
    ASSERT_TRUE(InstallService(BuiltServiceExe()));
    UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle service(OpenServiceA(manager.Get(), "Quorvane", SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service);

    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()),
                                    static_cast<DWORD>(buffer.size()), &needed));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    EXPECT_EQ(config->dwServiceType & ~SERVICE_INTERACTIVE_PROCESS, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->dwServiceType & SERVICE_INTERACTIVE_PROCESS, 0u) << "not interactive";
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_STREQ(config->lpDisplayName, "Quorvane");
    // Wine's QueryServiceConfigA leaves the dependency list empty; the manager's
    // own record of it is the service key's "DependOnService".
    TRegEngine depends;
    depends.Key = "SYSTEM\\CurrentControlSet\\Services\\Quorvane";
    depends.Value = "DependOnService";
    TStringList dependencies;
    ReadRegMultiString(depends, dependencies);
    EXPECT_EQ(dependencies, (TStringList{"RpcSs"}));
    EXPECT_TRUE(config->lpServiceStartName == nullptr || SameText(config->lpServiceStartName, "LocalSystem"))
        << config->lpServiceStartName;
    EXPECT_TRUE(ContainsText(config->lpBinaryPathName, "ServiceQuorvane.exe"));

    EXPECT_EQ(ReadDescription(), "Служба защиты от Блокировки системы");

    if (!QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed)) {
        // Wine's service manager accepts failure actions but cannot report them.
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
        std::printf("note: this service manager does not report failure actions (error %lu)\n", GetLastError());
    } else {
        auto* failure = reinterpret_cast<SERVICE_FAILURE_ACTIONSA*>(buffer.data());
        EXPECT_EQ(failure->dwResetPeriod, 0u);
        ASSERT_EQ(failure->cActions, 3u);
        for (DWORD i = 0; i < failure->cActions; ++i) {
            EXPECT_EQ(failure->lpsaActions[i].Type, SC_ACTION_RESTART);
            EXPECT_EQ(failure->lpsaActions[i].Delay, 500u);
        }
    }
    service.Reset();
    manager.Reset();

    RemoveService();
    EXPECT_EQ(State(), 0);
    TRegEngine rec;
    rec.Key = "SYSTEM\\CurrentControlSet\\Services\\Quorvane";
    EXPECT_FALSE(RegKeyExists(rec)) << "uninstalling leaves no key of the removed service behind";
}

TEST_F(ServiceLifecycle, StartStopAndSecondStartRaises1056)
{
    ASSERT_TRUE(InstallService(BuiltServiceExe()));
    ASSERT_TRUE(StartAndWaitRunning());
    try {
        StartServiceByName("Quorvane");
        FAIL() << "a second start must raise";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Code, 1056u);
    }
    ASSERT_TRUE(StopAndWaitStopped());
}

TEST_F(ServiceLifecycle, CopiesUnderOtherNamesEndAtOnceAndWriteNothing)
{
    for (const char* name : {"Quorvane.exe", "ServiceQuorvane1.exe", "ServiceQuorvane.exe.bak.exe"}) {
        SCOPED_TRACE(name);
        ResetMachineState();
        std::string exe = StageServiceCopy(InstallFolder() + "_" + std::to_string(GetTickCount()), name);
        ASSERT_TRUE(InstallService(exe));
        try {
            StartServiceByName("Quorvane");
        } catch (const EOSError&) {
            // the manager may already see the process gone
        }
        EXPECT_TRUE(WaitUntil([] { return State() == SERVICE_STOPPED; }, 15000)) << State();
        EXPECT_FALSE(DirectoryExists(ExcludeTrailingBackslash(DataFolder())));
        TRegEngine rec = SettingRef("language");
        EXPECT_FALSE(RegValueExists(rec));
        RemoveService();
    }
}

TEST_F(ServiceLifecycle, UpperCaseNameRunsAndLogsRotate)
{
    std::string exe = StageServiceCopy(InstallFolder() + "_upper", "SERVICEQUORVANE.EXE");
    ASSERT_TRUE(InstallService(exe));
    ASSERT_TRUE(StartAndWaitRunning());
    const std::string log = DataFolder() + "service.log";
    const std::string oldLog = DataFolder() + "service_old.log";
    EXPECT_TRUE(FileExists(log));
    EXPECT_FALSE(FileExists(oldLog)) << "a first start rotates nothing";
    EXPECT_FALSE(ReadTextFile(log).empty());
    EXPECT_TRUE(DirectoryExists(DataFolder() + "jail"));
    ASSERT_TRUE(StopAndWaitStopped());

    const std::string firstRun = ReadTextFile(log);
    ASSERT_TRUE(WriteTextFile(oldLog, "older copy"));
    ASSERT_TRUE(StartAndWaitRunning());
    EXPECT_EQ(ReadTextFile(oldLog), firstRun) << "the next start moves the log, replacing the older copy";
    EXPECT_TRUE(FileExists(log));
    ASSERT_TRUE(StopAndWaitStopped());
}

TEST_F(ServiceLifecycle, LanguageDefaultFollowsTheFileBesideTheProgram)
{
    std::string folder = InstallFolder() + "_lang";
    std::string exe = StageServiceCopy(folder, "ServiceQuorvane.exe");
    std::string localeFile = GetLocaleInfoText(0x1001) + ".lng";
    ASSERT_EQ(localeFile, "English.lng") << "the test prefix reports an English locale";
    RemoveFile(folder + "\\" + localeFile);

    ASSERT_TRUE(InstallService(exe));
    ASSERT_TRUE(StartAndWaitRunning());
    TRegEngine language = SettingRef("language");
    EXPECT_EQ(ReadRegString(language), "Russian.lng");
    ASSERT_TRUE(StopAndWaitStopped());

    DeleteRegValue(language);
    ASSERT_TRUE(WriteTextFile(folder + "\\" + localeFile, "[info]\r\n"));
    ASSERT_TRUE(StartAndWaitRunning());
    EXPECT_EQ(ReadRegString(language), "English.lng");
    ASSERT_TRUE(StopAndWaitStopped());

    WriteRegString(language, "Mine.lng");
    ASSERT_TRUE(StartAndWaitRunning());
    EXPECT_EQ(ReadRegString(language), "Mine.lng") << "an existing value is left alone";
    ASSERT_TRUE(StopAndWaitStopped());
}

TEST_F(ServiceLifecycle, TrayDefaultsOnlyWhenMissing)
{
    TRegEngine icon = SettingRef("show_tray_icon");
    WriteRegBool(icon, false);
    ASSERT_TRUE(InstallService(BuiltServiceExe()));
    ASSERT_TRUE(StartAndWaitRunning());
    EXPECT_FALSE(ReadRegBool(icon));
    TRegEngine warn = SettingRef("show_tray_warn");
    EXPECT_TRUE(RegValueExists(warn));
    EXPECT_TRUE(ReadRegBool(warn));
    ASSERT_TRUE(StopAndWaitStopped());
}

TEST_F(ServiceLifecycle, AHeldCommandSlotIsLoggedAndTakenOnceFree)
{
    ASSERT_TRUE(InstallService(BuiltServiceExe()));
    // Another process holds the service's slot while the service starts.
    auto squatter = std::make_unique<SlotListener>(kServiceSlot);
    ASSERT_TRUE(squatter->Active());
    StartServiceByName("Quorvane");
    ASSERT_TRUE(WaitUntil([] { return State() == SERVICE_RUNNING; }, 20000)) << "the other guards still start";
    const std::string log = DataFolder() + "service.log";
    EXPECT_TRUE(WaitUntil([&] { return ReadTextFile(log).find("service slot was not created") != std::string::npos; },
                          15000))
        << ReadTextFile(log);

    squatter.reset();
    ASSERT_TRUE(WaitUntil(
        [] {
            UniqueHandle slot(CreateFileA((std::string(kMailslotPrefix) + kServiceSlot).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            return slot.Valid();
        },
        10000));
    TMSlotMessage version = Request(13, 20);
    EXPECT_TRUE(Ask(version)) << "the command thread takes the slot once it is free";
    EXPECT_FALSE(version.Data.Empty());
    ASSERT_TRUE(StopAndWaitStopped());
}

TEST(ServiceLog, LineFormatPadsMilliseconds)
{
    EXPECT_EQ(FormatLogLineAt("09.12.2026", "7:05:03", 5, "x"), "09.12.2026 7:05:03:005:    x\r\n");
    EXPECT_EQ(FormatLogLineAt("d", "t", 50, "y"), "d t:050:    y\r\n");
    EXPECT_EQ(FormatLogLineAt("d", "t", 0, ""), "d t:000:    \r\n");
}

TEST(ServiceLog, LinesOfManyThreadsStayWhole)
{
    ScratchDir dir;
    TLogThread log(dir / "t.log");
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([&log, t] {
            for (int i = 0; i < 200; ++i) log.WriteLine("writer " + std::to_string(t) + " line " + std::to_string(i) + " " + std::string(200, 'a' + t));
        });
    for (auto& w : writers) w.join();
    log.Terminate();
    TStringList lines;
    ASSERT_TRUE(LoadLines(dir / "t.log", lines));
    ASSERT_EQ(lines.size(), 1600u);
    for (const auto& line : lines) {
        size_t at = line.find(":    writer ");
        ASSERT_NE(at, std::string::npos) << line;
        char letter = line.back();
        EXPECT_EQ(line.substr(line.size() - 200), std::string(200, letter)) << line;
    }
}

TEST(ServiceLog, LogPastItsLimitMovesAsideAndKeepsThePreviousRun)
{
    ScratchDir dir;
    WriteTextFile(dir / "t_old.log", "older run\r\n");
    EXPECT_EQ(OldLogName(dir / "t.log"), dir / "t_old.log");
    EXPECT_EQ(RolledLogName(dir / "t.log"), dir / "t_1.log");
    const std::string line(300, 'x');
    {
        TLogThread log(dir / "t.log", 4096);
        for (int i = 0; i < 40; ++i) log.WriteLine(std::to_string(i) + line);
        log.Terminate();
    }
    const int64_t size = FileSizeOf(dir / "t.log");
    const int64_t rolledSize = FileSizeOf(dir / "t_1.log");
    EXPECT_GT(size, 0);
    EXPECT_LT(size, 4096 + 400) << "at most one line past the limit";
    EXPECT_GE(rolledSize, 4096);
    EXPECT_LT(rolledSize, 4096 + 400);
    EXPECT_EQ(ReadTextFile(dir / "t_old.log"), "older run\r\n") << "the previous run's log stays";
    TStringList lines;
    ASSERT_TRUE(LoadLines(dir / "t.log", lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(":    39" + line), std::string::npos) << "the newest line is in the log";
}

// A thread that pays no heed to Terminate until the test lets it go.
class StubbornThread : public TThread {
public:
    explicit StubbornThread(HANDLE release) : release_(release) { Start(); }

protected:
    void Execute() override { WaitForSingleObject(release_, INFINITE); }

private:
    HANDLE release_;
};

TEST(ServiceStop, ThreadThatDoesNotEndIsGivenUpAtItsLimit)
{
    UniqueHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle releaseWilling(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    auto stubborn = std::make_unique<StubbornThread>(release.Get());
    StubbornThread* kept = stubborn.get();
    auto willing = std::make_unique<StubbornThread>(releaseWilling.Get());  // ends at once
    ASSERT_EQ(willing->WaitFor(10000), static_cast<DWORD>(WAIT_OBJECT_0));

    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(StopWithin(stubborn, 300));
    EXPECT_GE(GetTickCount64() - start, 250u) << "the limit was waited out";
    EXPECT_LT(GetTickCount64() - start, 10000u);
    EXPECT_TRUE(StopWithin(willing, 0)) << "an ended thread is freed without waiting";
    EXPECT_EQ(stubborn, nullptr);
    EXPECT_EQ(willing, nullptr);

    SetEvent(release.Get());
    ASSERT_EQ(kept->WaitFor(10000), static_cast<DWORD>(WAIT_OBJECT_0));
    delete kept;
}

}  // namespace
