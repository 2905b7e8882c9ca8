#pragma once
// The hosts guard: keeps the hosts file in a state the user accepted, with a
// backup ("backHosts.qrv") and an allow-list ("hostlist.qrv") in the data
// folder, and serves the hosts manager's commands.
#include <atomic>
#include <string>

#include "qvStrings.h"
#include "uMailSlots.h"
#include "uReportEvent.h"

std::string GetHostsFilePath();
std::string BackupHostsPath();  // data folder + "backHosts.qrv"
std::string HostListPath();     // data folder + "hostlist.qrv"
void EnsureHostsFiles();
void WriteStockHosts(const std::string& target);
bool HostsDigestMatches(bool useStockDigest);
bool FilterHostsFile(const std::string& hostsPath, TReportEvent& event);
void CommentOutHostPairs(TStringList& lines, const TStringList& pairs);
// folder: the hosts file's folder with a trailing "\".
void OnHostsFolderChanged(const std::string& folder);

// The MD5 hex of the hosts content the guard accepts; empty means none.
std::string AcceptedHostsDigest();
void SetAcceptedHostsDigest(const std::string& digest);
// Set while the service itself writes the hosts file.
extern std::atomic<bool> HostsBusy;

// Tests: the major Windows version the guard takes for the stock text and
// its digest (0, the default, means the system's own).
void OverrideHostsMajorVersion(int major);

// Command handlers (13/15, 13/17, 43, 44, 45).
void CopyHostsCommand(const TMSlotMessage& message);
void InstallHostsFile(const TMSlotMessage& message);
void HostListLookupCommand(TMSlotMessage message);
void HostListAddCommand(TMSlotMessage message);
void HostListDeleteCommand(TMSlotMessage message);
