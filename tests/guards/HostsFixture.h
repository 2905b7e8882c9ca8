#pragma once
// The hosts cases share one starting point: the prefix's hosts file holds the
// stock text, the guard's own files are gone, the guard is on and every other
// hosts setting is missing; the hosts file is put back afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "md5.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsProcedures.h"

inline void SetSettingInt(const std::string& name, int32_t value)
{
    TRegEngine rec = SettingRef(name);
    WriteRegInteger(rec, value);
}

inline void SetSettingBool(const std::string& name, bool value)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, value);
}

inline void DeleteSetting(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    DeleteRegValue(rec);
}

inline std::string JailFolder() { return GetDataFolder() + "jail\\"; }

inline TStringList JailFiles()
{
    TStringList names;
    ListFolderFiles(JailFolder(), names);
    return names;
}

inline std::vector<TReportEvent> HostsEvents()
{
    std::vector<TReportEvent> events;
    for (const TReportQueueEntry& entry : QueueSnapshot())
        if (entry.Event.Source == evkHosts) events.push_back(entry.Event);
    return events;
}

inline void SetWritable(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

class HostsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hosts_ = GetHostsFilePath();
        original_ = ReadTextFile(hosts_);
    }

    void SetUp() override
    {
        ForceDirectories(JailFolder());
        for (const std::string& name : JailFiles()) RemoveFile(JailFolder() + name);
        RemoveFile(BackupHostsPath());
        RemoveFile(HostListPath());
        ClearEventQueue();
        SetAcceptedHostsDigest("");
        HostsBusy = false;
        OverrideHostsMajorVersion(0);
        for (const char* name : {"hosts_change", "hosts_default", "hosts_delete"}) DeleteSetting(name);
        SetSettingBool("hosts_guard", true);
        ASSERT_TRUE(PutHosts(StockHostsText(GetOSMajorVersion())));
    }

    void TearDown() override
    {
        OverrideHostsMajorVersion(0);
        DeleteSetting("hosts_guard");
        RemoveDirectoryA(hosts_.c_str());
        SetWritable(hosts_);
        WriteTextFile(hosts_, original_);
    }

    static bool PutHosts(const std::string& bytes)
    {
        SetWritable(hosts_);
        return WriteTextFile(hosts_, bytes);
    }
    static std::string Hosts() { return ReadTextFile(hosts_); }
    static std::string Folder() { return ExtractFilePath(hosts_); }
    static void Guard() { OnHostsFolderChanged(Folder()); }

    static inline std::string hosts_;
    static inline std::string original_;
};
