#pragma once
// The event record: what happened where. 432 bytes, the same in memory and in
// "report.rdb"; the tray gets its contents as mailslot messages.
#include <cstddef>
#include <cstdint>
#include <string>

#include "qvShortString.h"

struct TReportEvent {
    int32_t Source;            // event kind: where (101..203)
    int32_t Event;             // message id: what (901..920)
    ShortString<255> Path;
    ShortString<99> Detail;
    ShortString<48> Md5;
    uint8_t Pad1[3];
    double Time;               // TDateTime: days since 30 Dec 1899, local time
    bool Flag;
    uint8_t Pad2[7];
};
static_assert(sizeof(TReportEvent) == 432, "the event record is 432 bytes");
static_assert(offsetof(TReportEvent, Path) == 8 && offsetof(TReportEvent, Detail) == 264 &&
                  offsetof(TReportEvent, Md5) == 364 && offsetof(TReportEvent, Time) == 416 &&
                  offsetof(TReportEvent, Flag) == 424,
              "event record offsets");

// The whole record zeroed (flag, time and padding too), then the three
// texts emptied with blanks behind them.
void InitReportEvent(TReportEvent& event);

// Event kinds (Source).
enum EventKind : int32_t {
    evkWinlogonShell = 101,
    evkWinlogonUserinit = 102,
    evkWinlogonGina = 103,
    evkWinlogonTaskman = 104,
    evkWinlogonText = 105,
    evkWinlogonCaption = 106,
    evkWinlogonUsrinit = 107,
    evkKiller = 108,
    evkJail = 109,
    evkMbr = 110,
    evkHosts = 111,
    evkPoliciesShell = 121,
    evkPoliciesCaption = 122,
    evkPoliciesText = 123,
    evkChangeUserinit = 124,
    evkChangeTaskmgr = 125,
    evkChangeCtfmon = 126,
    evkHijackAll = 151,
    evkHijackTaskmgr = 152,
    evkHijackExplorer = 153,
    evkHijackRegedit = 154,
    evkRun = 171,
    evkRun64 = 172,
    evkRunOnce = 173,
    evkRunOnce64 = 174,
    evkRunOnceEx = 175,
    evkRunOnceEx64 = 176,
    evkPoliciesExplorerRun = 177,
    evkCommonStartup = 178,
    evkAppInitDlls = 180,
    evkUserRun = 181,
    evkUserRunOnce = 182,
    evkUserPoliciesRun = 183,
    evkUserStartup = 184,
    evkUserRunValue = 185,
    evkUserLoadValue = 186,
    evkUserWinlogonShell = 191,
    evkUserPoliciesShell = 192,
    evkUserBlockRegedit = 193,
    evkUserBlockTaskmgr = 194,
    evkUserinitCopyFailed = 201,
    evkTaskmgrCopyFailed = 203,
};

// Message ids (Event).
enum EventMessage : int32_t {
    evmDelete = 901,
    evmAdd = 902,
    evmChange = 903,
    evmSet = 904,
    evmUntrusted = 905,
    evmNotCopied = 906,
    evmProxyOn = 907,
    evmProxyOff = 908,
    evmProxyChangeLocal = 909,
    evmProxyChangeServer = 910,
    evmBlockTaskmgr = 911,
    evmBlockRegedit = 912,
    evmHijack = 913,
    evmKillProcess = 914,
    evmAddFile = 915,
    evmMovedToJail = 916,
    evmErrorExt = 917,
    evmDangerExt = 918,
    evmChangeFile = 919,
    evmDeleteFile = 920,
};

// TDateTime of a broken-down local time, and back (for the report dump). The
// decoding is false (all parts 0) for a time outside the years 1601-9999.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms);
bool DecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& ms);
