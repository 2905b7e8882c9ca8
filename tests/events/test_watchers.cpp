#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>

#include "CaughtLines.h"
#include "RegistryUtils.h"
#include "qvFaults.h"
#include "qvHandles.h"
#include "qvThread.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uDirWatchThread.h"
#include "uRegEventThread.h"
#include "uSystemProtectionThread.h"
#include "uTestRepeatThread.h"
#include "uCommonUtils.h"

namespace {

const char* const kWatchedKey = "SOFTWARE\\QuorvaneTest\\Watched";

TRegEngine WatchedKey()
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = kWatchedKey;
    return rec;
}

TEST(Watchers, RegistryWatcherOnMissingKeyCallsOncePollsThenWakesOnChanges)
{
    TRegEngine rec = WatchedKey();
    DeleteRegKey(rec);
    std::atomic<int> calls{0};
    std::string seenKey;
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Default, [&](TRegEngine& ref) {
        seenKey = ref.Key;
        ++calls;
    });
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, 2000)) << "one examination at start";
    EXPECT_EQ(seenKey, kWatchedKey);
    Sleep(1500);
    EXPECT_EQ(calls, 1) << "a missing key is polled, not reported";

    rec.Value = "v";
    WriteRegString(rec, "1");  // creates the key
    EXPECT_TRUE(WaitUntil([&] { return calls == 2; }, 2500))
        << "a key that comes into being is examined: its creator may have written its values already";
    Sleep(300);
    int before = calls;
    TRegEngine sub = WatchedKey();
    sub.Key += "\\Sub";
    sub.Value = "x";
    WriteRegInteger(sub, 5);
    EXPECT_TRUE(WaitUntil([&] { return calls > before; }, 3000)) << "a change below the key wakes it";

    StopAndFree(watcher);
    EXPECT_EQ(watcher, nullptr);
    DeleteRegKey(rec);
}

TEST(Watchers, RegistryWatcherInThe64BitViewTestsItsOwnView)
{
    TRegEngine rec = WatchedKey();
    rec.Value = "v";
    WriteRegString(rec, "1", RegView::Key64);
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Key64, [&](TRegEngine&) { ++calls; });
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, 2000));
    Sleep(300);
    WriteRegString(rec, "2", RegView::Key64);
    EXPECT_TRUE(WaitUntil([&] { return calls == 2; }, 3000));
    StopAndFree(watcher);
    TRegEngine del = WatchedKey();
    DeleteRegKey(del);
}

TEST(Watchers, ChangesDuringTheCallbackAreNotLost)
{
    TRegEngine rec = WatchedKey();
    rec.Value = "v";
    WriteRegString(rec, "0");
    std::atomic<int> calls{0};
    std::atomic<int> seen{0};
    // a slow examination: values written while it runs must wake the next pass
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Default, [&](TRegEngine& ref) {
        TRegEngine value = ref;
        value.Value = "v";
        Sleep(300);
        seen = std::atoi(ReadRegString(value).c_str());
        ++calls;
    });
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, 2000));
    WriteRegString(rec, "1");
    Sleep(100);  // inside the second pass's examination
    WriteRegString(rec, "2");
    EXPECT_TRUE(WaitUntil([&] { return seen == 2; }, 3000)) << "the last value written is examined";
    StopAndFree(watcher);
    DeleteRegKey(rec);
}

TEST(Watchers, AChangeMadeDuringTheFirstExaminationIsNotLost)
{
    TRegEngine rec = WatchedKey();
    rec.Value = "v";
    WriteRegString(rec, "0");
    std::atomic<int> calls{0};
    // a locker writing while the service looks at the key for the first time
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Default, [&](TRegEngine& ref) {
        if (++calls == 1) {
            TRegEngine value = ref;
            value.Value = "v";
            WriteRegString(value, "1");
        }
    });
    EXPECT_TRUE(WaitUntil([&] { return calls >= 2; }, 5000)) << "the write wakes a second examination";
    StopAndFree(watcher);
    DeleteRegKey(rec);
}

// A stop that comes while a callback runs lets it run to its end before the
// watcher (and what the callback uses of it) goes.
TEST(Watchers, StopLetsARunningCallbackFinish)
{
    ScratchDir dir;
    std::atomic<TDirWatchThread*> self{nullptr};
    std::atomic<bool> entered{false}, returned{false};
    auto watcher = std::make_unique<TDirWatchThread>(
        dir.Path(), 0,
        [&](const std::string&) {
            entered = true;
            while (!self.load() || !self.load()->Terminated()) Sleep(10);
            returned = true;
        },
        true);
    self = watcher.get();
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }, 5000));
    StopAndFree(watcher);
    EXPECT_EQ(watcher, nullptr);
    EXPECT_TRUE(returned) << "the watcher went while its callback ran";
}

TEST(Watchers, CallbackErrorLeavesTheRegistryWatcherWatching)
{
    TRegEngine rec = WatchedKey();
    rec.Value = "v";
    WriteRegString(rec, "1");
    std::atomic<int> calls{0};
    CaughtLines caught;
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Default, [&](TRegEngine&) {
        if (++calls == 1) throw std::runtime_error("repair failed");
    });
    ASSERT_TRUE(WaitUntil([&] { return calls >= 1; }, 5000));
    WriteRegString(rec, "2");
    EXPECT_TRUE(WaitUntil([&] { return calls >= 2; }, 5000)) << "a failed pass must not end the watch";
    EXPECT_TRUE(caught.Has(std::string("watch of ") + kWatchedKey + ": repair failed")) << caught.All();
    StopAndFree(watcher);
    DeleteRegKey(rec);
}

TEST(Watchers, FolderWatcherThatExaminesFirstSeesAChangeMadeDuringThatLook)
{
    ScratchDir dir;
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TDirWatchThread>(
        dir.Path(), 0,
        [&](const std::string&) {
            // the first look itself finds a file being written beside it
            if (++calls == 1) WriteTextFile(dir / "late.txt", "1");
        },
        true);
    EXPECT_TRUE(WaitUntil([&] { return calls >= 2; }, 5000)) << "the change during the first look went unseen";
    StopAndFree(watcher);
}

TEST(Watchers, FolderWatcherCoalescesChangesWithinItsDelay)
{
    ScratchDir dir;
    std::atomic<int> calls{0};
    std::string seen;
    auto watcher = std::make_unique<TDirWatchThread>(dir.Path(), 0, [&](const std::string& folder) {
        seen = folder;
        ++calls;
    });
    EXPECT_EQ(watcher->Filter(), 13);
    Sleep(300);
    EXPECT_EQ(calls, 0) << "no examination at start";
    WriteTextFile(dir / "a.txt", "1");
    Sleep(50);
    WriteTextFile(dir / "b.txt", "2");
    ASSERT_TRUE(WaitUntil([&] { return calls >= 1; }, 3000));
    Sleep(600);
    EXPECT_EQ(calls, 1) << "two changes within 200 ms make one callback";
    EXPECT_EQ(seen, dir.Path());

    WriteTextFile(dir / "c.txt", "3");
    EXPECT_TRUE(WaitUntil([&] { return calls == 2; }, 3000)) << "re-armed after the callback";
    StopAndFree(watcher);
    EXPECT_EQ(watcher, nullptr);
}

TEST(Watchers, FolderWatcherIsArmedAtOnceAndKeepsChangesMadeDuringItsCallback)
{
    ScratchDir dir;
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TDirWatchThread>(dir.Path(), 0, [&](const std::string&) {
        if (++calls == 1) WriteTextFile(dir / "during.txt", "1");  // the writer comes back while the pass runs
    });
    WriteTextFile(dir / "a.txt", "1");  // before the watcher's thread may have run at all
    EXPECT_TRUE(WaitUntil([&] { return calls >= 2; }, 5000)) << calls << " passes";
    StopAndFree(watcher);
}

TEST(Watchers, FolderWatcherOnMissingFolderWatchesItOnceItExists)
{
    ScratchDir dir;
    const std::string later = dir / "later";
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TDirWatchThread>(later, 0, [&](const std::string&) { ++calls; });
    ASSERT_TRUE(CreateDirectoryA(later.c_str(), nullptr));
    WriteTextFile(later + "\\a.txt", "1");
    EXPECT_TRUE(WaitUntil([&] { return calls >= 1; }, 10000)) << "a set-up that failed is not tried again";
    StopAndFree(watcher);
}

TEST(Watchers, FolderWatcherSurvivesAFailedPass)
{
    ScratchDir dir;
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TDirWatchThread>(dir.Path(), 0, [&](const std::string&) {
        ++calls;
        throw std::runtime_error("one pass failed");
    });
    // A new file at every poll until the watcher has seen one, then again
    // until the pass after the failed one.
    int files = 0;
    auto touch = [&] { WriteTextFile(dir / ("f" + std::to_string(files++) + ".txt"), "1"); };
    ASSERT_TRUE(WaitUntil([&] { touch(); return calls >= 1; }, 20000));
    const int failed = calls;
    EXPECT_TRUE(WaitUntil([&] { touch(); return calls > failed; }, 20000)) << "watching goes on after a failed pass";
    StopAndFree(watcher);
}

// A pass that fails in the watcher's own code (not in its callback) is
// logged, and the next change is still reported.
TEST(Watchers, RegistryWatcherSurvivesAFailedPass)
{
    TRegEngine rec = WatchedKey();
    rec.Value = "v";
    WriteRegString(rec, "0");
    CaughtLines caught;
    std::atomic<int> calls{0};
    auto watcher = std::make_unique<TRegEventThread>(rec, RegView::Default, [&](TRegEngine&) { ++calls; });
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, 5000));
    ArmFault("registry watcher pass");
    WriteRegString(rec, "1");
    ASSERT_TRUE(WaitUntil([&] { return caught.Has("fault injected at registry watcher pass"); }, 10000));
    // the key is examined again once it is armed anew
    ASSERT_TRUE(WaitUntil([&] { return calls >= 2; }, 10000));
    const int before = calls;
    WriteRegString(rec, "2");
    EXPECT_TRUE(WaitUntil([&] { return calls > before; }, 10000)) << "the watch ended with the failed pass";
    StopAndFree(watcher);
    DeleteRegKey(rec);
}

TEST(Watchers, FolderWatcherSurvivesAFailedPassOfItsOwn)
{
    ScratchDir dir;
    CaughtLines caught;
    std::atomic<int> calls{0};
    ArmFault("folder watcher pass");
    auto watcher = std::make_unique<TDirWatchThread>(dir.Path(), 0, [&](const std::string&) { ++calls; });
    ASSERT_TRUE(WaitUntil([&] { return caught.Has("fault injected at folder watcher pass"); }, 10000));
    WriteTextFile(dir / "a.txt", "1");
    EXPECT_TRUE(WaitUntil([&] { return calls >= 1; }, 10000)) << "the watch ended with the failed pass";
    StopAndFree(watcher);
}

TEST(Watchers, RepeatThreadSurvivesAFailedPass)
{
    CaughtLines caught;
    std::atomic<int> calls{0};
    ArmFault("repeat pass");
    auto repeat = std::make_unique<TRepeatThread>([&](TRegEngine&) { ++calls; }, 50);
    EXPECT_TRUE(WaitUntil([&] { return calls >= 1; }, 10000)) << "no examination after the failed one";
    EXPECT_TRUE(caught.Has("fault injected at repeat pass")) << caught.All();
    StopAndFree(repeat);
}

TEST(Watchers, RepeatThreadExaminesThePoliciesRunKeyUntilStopped)
{
    std::atomic<int> calls{0};
    std::string key;
    auto repeat = std::make_unique<TRepeatThread>([&](TRegEngine& ref) {
        key = ref.Key;
        EXPECT_EQ(ref.Root, kRootHKLM);
        ++calls;
    });
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, 1000));
    EXPECT_EQ(key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
    DWORD start = GetTickCount();
    StopAndFree(repeat);
    EXPECT_LT(GetTickCount() - start, 4000u) << "a stop does not wait out the 5 s period";
    EXPECT_EQ(calls, 1);
}

}  // namespace

namespace {

int ThreadsOfThisProcess()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int n = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    return n;
}

TEST(MachineProtection, WatchesEveryMachineKeyInBothViewsAndLeavesNoThreadBehind)
{
    ASSERT_TRUE(IsWin64System()) << "the tests run as a 64-bit program";
    const int threadsBefore = ThreadsOfThisProcess();
    auto protection = std::make_unique<TSystemProtectionThread>();
    ASSERT_TRUE(WaitUntil([&] { return protection->SetUpDone(); }, 30000));

    const std::vector<std::string> expected = {
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon (64)",
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows (64)",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run (64)",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce (64)",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx (64)",
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
    };
    const std::vector<std::string> keys = protection->WatchedKeys();
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(SameText(keys[i], expected[i])) << keys[i];

    // Windows 7 has no protected-files folders: the common Startup and the
    // hosts folder.
    const std::vector<std::string> folders = protection->WatchedFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_TRUE(SameText(ExcludeTrailingBackslash(folders[0]), ExcludeTrailingBackslash(GetSpecialFolder(24))));
    EXPECT_TRUE(EndsWith(LowerCase(ExcludeTrailingBackslash(folders[1])), "\\drivers\\etc"));
    // Every watcher, the repeat thread and the protection thread itself run.
    EXPECT_GE(ThreadsOfThisProcess(), threadsBefore + 13 + 2 + 2);

    protection->Terminate();
    ASSERT_EQ(protection->WaitFor(60000), WAIT_OBJECT_0);
    protection.reset();
    EXPECT_TRUE(WaitUntil([&] { return ThreadsOfThisProcess() <= threadsBefore; }, 15000))
        << ThreadsOfThisProcess() << " threads, " << threadsBefore << " before";
}

TEST(MachineProtection, SetUpStepsThatFailAreTriedAgain)
{
    CaughtLines caught;
    // The first Winlogon check and the first watcher's set-up fail once.
    ArmFault("systemprotection.setup", 2);
    auto protection = std::make_unique<TSystemProtectionThread>();
    ASSERT_TRUE(WaitUntil([&] { return protection->SetUpDone(); }, 30000));
    EXPECT_EQ(ArmedFaults("systemprotection.setup"), 0);
    EXPECT_TRUE(caught.Has({"machine guards: first Winlogon check", "fault injected"}));
    EXPECT_TRUE(WaitUntil([&] { return protection->RegistryWatcherCount() == 13; }, 15000))
        << "the watcher that failed is set up on a later round";
    const std::vector<std::string> keys = protection->WatchedKeys();
    ASSERT_FALSE(keys.empty());
    EXPECT_TRUE(SameText(keys[0], "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"))
        << "in its own place: " << keys[0];
    EXPECT_EQ(protection->FolderWatcherCount(), 2);
    protection->Terminate();
    EXPECT_EQ(protection->WaitFor(60000), WAIT_OBJECT_0);
}

}  // namespace
