#pragma once
// The mailslot protocol between the service, the tray and the autorun
// manager, named once: every message `Type`, the `A` codes of `Type` 13 on
// each slot, the hosts-copy result codes and the pop-up answer kinds. The
// event kinds and message ids that ride in `A` and `B` of an event are
// named in uReportEvent.h (evk..., evm...). No file but this one spells a
// protocol number.
#include <cstdint>

namespace proto {

// Message types: requests to "Quorvane\Service", and what the service (or a
// second tray) sends to "Quorvane\tray" and "Quorvane\autorun".
enum Type : uint8_t {
    kNone = 0,             // a cleared record: "no answer", or an empty list
    kFirstRun = 8,         // to the tray: open the first-run wizard
    kEvent = 9,            // to the tray: an event to show (A kind, B message id)
    kGuiLog = 12,          // a log line of the tray for "gui.log"
    kControl = 13,         // a control code in A, per slot (below)
    kSystemMessage = 15,   // to the tray: a system message with an address
    kWriteSetting = 16,    // write the setting named in Mess by A (3 yes/no, 4 integer, 5 text)
    kReport = 17,          // the event report: the dump request, and each row sent back
    kTrustedDigests = 18,  // the trusted digests, sent to the autorun manager
    kAddTrustedDigest = 19,
    kAutorunEvent = 20,  // to the autorun manager: the event kind in A, the path in Mess
    kTrustList = 21,  // the trust list: the request, and each entry sent back
    kTrustAdd = 22,
    kTrustDelete = 23,
    kTrustAsk = 24,      // to the tray: open the trust list with this record
    kNewVersion = 25,    // to the tray: a new version of the program
    kNewLiveCd = 29,     // to the tray: a new version of the live CD
    kOpenSettings = 30,  // to the tray: open the settings window
    kLanguage = 31,      // language lookup, A 0-3
    kRestartUserPart = 32,
    kReadBool = 33,
    kReadString = 37,
    kWriteBool = 38,
    kWriteString = 39,
    kShowStatus = 40,  // to the service, which passes it on to the tray: open the status window
    kClearReport = 41,
    kFileMd5 = 42,
    kHostListLookup = 43,
    kHostListAdd = 44,
    kHostListDelete = 45,
    kReadInt = 46,
    kWriteInt = 47,
};

// `A` of a `Type` 13 sent to "Quorvane\Service".
enum ServiceControl : int32_t {
    kStopService = 6,
    kRunKiller = 7,
    kFirstRunCheck = 14,
    kCopyHostsOut = 15,   // copy the hosts file to the file named in Data
    kOpenHostsCopy = 16,  // have the tray open the hosts manager on Data
    kInstallHosts = 17,   // install Data as the hosts file; Bool: refresh the backup too
    kSplashAllowed = 19,
    kVersion = 20,
};

// `A` of a `Type` 13 sent to "Quorvane\tray".
enum TrayControl : int32_t {
    kQuit = 1,
    kPing = 2,
    kKillerStarted = 8,
    kKillerEnded = 9,
    kExplorerCheck = 10,  // the service ended programs: restart Explorer
    kHostsCopyResult = 15,
    kProcessIdAsk = 18,  // B := the tray's process id, sent back to Mess1
};

// `A` of a `Type` 13 sent to "Quorvane\autorun".
enum AutorunControl : int32_t {
    kAutorunPing = 2,       // delivery alone tells that the manager runs
    kAutorunsChanged = 11,  // the service moved an autorun entry: reread them
};

// `A` of the tray's own mark behind a trust list (`Type` 21 to its own slot;
// the service's rows carry `A` 0): `B` the tray's process id, `C` the request.
constexpr int32_t kTrustListEndMark = 1;

// `B` of the hosts-copy answer (`Type` 13, `A` 15 on the tray's slot).
enum HostsCopyResult : int32_t {
    kCopyFailed = 1,
    kNoHostsFile = 666,
    kCopied = 777,
};

// `A` of a `Type` 16 write.
enum WriteKind : int32_t {
    kWriteKindBool = 3,
    kWriteKindInt = 4,
    kWriteKindString = 5,
};

// What the user's yes to a pop-up leads to.
enum AnswerKind : int32_t {
    kAnswerNone = 0,
    kAnswerStopProtection = 2,
    kAnswerSettings = 4,
    kAnswerReport = 5,
    kAnswerNewAutorun = 6,
    kAnswerKiller = 13,
    kAnswerNewVersion = 14,
    kAnswerSystemMessage = 15,
};

// An event kind that has no name of its own (beside the per-user policy
// kinds): its pop-up shows its bare number.
constexpr int32_t kEventKindUnnamedUser = 195;

}  // namespace proto

#include "uMailSlots.h"

namespace proto {

// A cleared record with only its type (and A) set: the form of every control
// message and of every request before its texts are filled in.
inline TMSlotMessage Message(Type type, int32_t a = 0) { return MakeMessage(type, a); }
inline TMSlotMessage ToService(ServiceControl a) { return MakeMessage(kControl, a); }
inline TMSlotMessage ToTray(TrayControl a) { return MakeMessage(kControl, a); }

}  // namespace proto
