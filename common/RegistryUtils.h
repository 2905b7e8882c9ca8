#pragma once
// Registry access of the service: a registry key class with 64-bit-view opens
// and multi-string values, and one-shot functions that open a key, do one
// thing, close it and never pass a registry error on: TRegEngine.Error holds
// the Windows error of the call that failed.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvErrors.h"
#include "qvHandles.h"
#include "qvStrings.h"

enum : uint8_t { kRootHKLM = 0, kRootHKCU = 1, kRootHKU = 2, kRootHKCC = 3 };

// Which registry view a call works in: the process's own (the 32-bit view in
// a 32-bit program on 64-bit Windows), or the 64-bit view (KEY_WOW64_64KEY),
// where a 32-bit program reaches what 64-bit programs see.
enum class RegView : uint8_t { Default, Key64 };

struct TRegEngine {
    uint8_t Root = kRootHKLM;
    std::string Key;
    std::string Value;  // empty names the key's unnamed value
    // The Windows error (ERROR_...) of the last call's failure, 0 when it did
    // what it was asked. Reading a text, a list or a name list, or asking
    // whether something exists, finds nothing without an error when the key
    // or value is missing.
    int32_t Error = 0;
};

// The error of a call refused because it met a registry link (as
// ERROR_STOPPED_ON_SYMLINK, which the SDK headers of old lack).
constexpr LONG kStoppedOnLink = 681;

// The settings key of the system.
constexpr const char* kSettingsKey = "SOFTWARE\\Quorvane";
// "(Defаult)": how a listing shows the unnamed value (the fourth letter is the
// Cyrillic а, byte 0xE0 in code page 1251).
extern const char* const kDefaultValueName;

// A registry key class in the manner of the ordinary one: a root, one current
// key, an access mask for later opens; failures of reads and writes raise
// ERegistryException (with the Windows error), and LastError() keeps the
// result of the last registry call of any method.
class TRegistryEx {
public:
    TRegistryEx();
    ~TRegistryEx();
    TRegistryEx(const TRegistryEx&) = delete;
    TRegistryEx& operator=(const TRegistryEx&) = delete;

    void SetRootKey(HKEY root);
    HKEY RootKey() const { return root_; }
    HKEY CurrentKey() const { return current_; }
    const std::string& CurrentPath() const { return currentPath_; }
    REGSAM Access() const { return access_; }
    LONG LastError() const { return lastError_; }
    void SetAccess(REGSAM access) { access_ = access; }

    bool OpenKey(const std::string& path, bool canCreate, RegView view = RegView::Default);
    bool OpenKeyReadOnly(const std::string& path, RegView view = RegView::Default);
    // Opens (or creates) the key one level at a time from the root, never
    // following a registry link: false when any key on the way, or the key
    // itself, is a link. For keys a user can write, which a program with
    // system rights must not be led out of.
    bool OpenKeyWithoutLinks(const std::string& path, bool canCreate, RegView view);
    bool KeyExists(const std::string& path);
    bool ValueExists(const std::string& name);
    std::string ReadString(const std::string& name);
    int32_t ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name);
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value);
    // Deletes the key and every key below it, each opened as itself: a
    // registry link met (the key itself or one below it) is left, and so are
    // the keys above it; false then, LastError() kStoppedOnLink.
    bool DeleteKey(const std::string& path);
    bool DeleteValue(const std::string& name);
    void GetValueNames(TStringList& list);
    void GetKeyNames(TStringList& list);
    int32_t GetDataSize(const std::string& name);  // -1 when it cannot be queried
    void WriteMultiSz(const std::string& name, const TStringList& list);
    void ReadMultiSz(const std::string& name, TStringList* list);
    static bool IsRelativeKey(const std::string& path);
    void CloseKey();

private:
    bool OpenWithAccess(const std::string& path, bool canCreate, REGSAM access);
    HKEY BaseFor(const std::string& path, std::string& subPath) const;
    bool Took(LONG rc);        // keeps rc as LastError(); true for success
    LONG NoKeyError() const;  // why there is no current key
    void SetValue(const char* failure, const std::string& name, DWORD type, const void* data, size_t size);

    HKEY root_ = HKEY_CURRENT_USER;
    HKEY current_ = nullptr;
    std::string currentPath_;
    REGSAM access_ = KEY_ALL_ACCESS;
    bool lazyWrite_ = true;
    LONG lastError_ = ERROR_SUCCESS;
};

HKEY GetRootKey(TRegEngine& rec);  // nullptr for an unknown Root
// A key opened as itself (REG_OPTION_OPEN_LINK) that is a registry link: it
// holds its target in the REG_LINK value "SymbolicLinkValue".
bool IsRegistryLink(HKEY key);
// Whether the key named by rec is itself a registry link (keys on the way to
// it are followed as any open follows them).
bool IsRegistryLinkAt(TRegEngine& rec, RegView view = RegView::Default);

// A user's key (under HKU or HKCU) that is itself a registry link, removed as
// a link: opened as itself (REG_OPTION_OPEN_LINK) below a parent reached
// without links, and deleted through that handle (NtDeleteKey), so the key it
// points to stays untouched. RegDeleteKey would delete the target instead.
// Machine keys are never touched. target tells where the link pointed; a
// failed removal keeps its error in rec.Error.
enum class TLinkRemoval { NotALink, Removed, Failed };
TLinkRemoval RemoveUserKeyLink(TRegEngine& rec, std::string& target);

// Writes and deletes under a user's root (HKU, HKCU) open the key with
// OpenKeyWithoutLinks: a key that is, or lies below, a registry link is left
// alone and the call fails (rec.Error kStoppedOnLink) instead of writing where
// the link points. Writes and deletes return whether they took.

// One call per operation, in the view asked for (the process's own by default).
std::string ReadRegString(TRegEngine& rec, RegView view = RegView::Default);
bool RegKeyExists(TRegEngine& rec, RegView view = RegView::Default);
bool RegValueExists(TRegEngine& rec, RegView view = RegView::Default);
int32_t ReadRegInteger(TRegEngine& rec);
// The key and all below it; the recursion stops at a registry link, which
// stays with the keys above it (false, rec.Error kStoppedOnLink). Under a
// user's root the keys on the way must not be links either.
bool DeleteRegKey(TRegEngine& rec);
bool DeleteRegValue(TRegEngine& rec, RegView view = RegView::Default);
bool ReadRegBool(TRegEngine& rec);
void GetRegValueNames(TRegEngine& rec, TStringList& list, RegView view = RegView::Default);
void GetRegKeyNames(TRegEngine& rec, TStringList& list);
bool WriteRegString(TRegEngine& rec, const std::string& value, RegView view = RegView::Default);
bool WriteRegInteger(TRegEngine& rec, int32_t value);
bool WriteRegBool(TRegEngine& rec, bool value);
void ReadRegMultiString(TRegEngine& rec, TStringList& list);
bool WriteRegMultiString(TRegEngine& rec, const TStringList& list);

void MarkDefaultValueNames(TStringList& list);

// Value names and texts in any script, through the W API, in the view asked
// for: names as stored (the unnamed value is ""), rec.Value is not used.
using TWideList = std::vector<std::wstring>;
void GetRegValueNamesW(TRegEngine& rec, TWideList& list, RegView view = RegView::Default);
bool RegValueExistsW(TRegEngine& rec, const std::wstring& name, RegView view = RegView::Default);
std::wstring ReadRegStringW(TRegEngine& rec, const std::wstring& name, RegView view = RegView::Default);
bool WriteRegStringW(TRegEngine& rec, const std::wstring& name, const std::wstring& value,
                     RegView view = RegView::Default);
bool DeleteRegValueW(TRegEngine& rec, const std::wstring& name, RegView view = RegView::Default);

// Blocks until something changes in the key or below it. False at once when
// the key cannot be opened for notification; false also when stopEvent (if
// given) is signalled first, so a watcher can be ended without killing it.
bool WaitForKeyChange(TRegEngine& rec, RegView view, HANDLE stopEvent = nullptr);
// The two steps of that wait, for a watcher that keeps its key open: open the
// key for notification (none when it is missing), and ask for its next change
// (subtree, filter 15, asynchronous, signalling the event).
UniqueRegKey OpenKeyForNotification(TRegEngine& rec, RegView view);
bool ArmKeyNotification(HKEY key, HANDLE event);
// Whether the open key has been deleted (a key of that name made since is another key).
bool IsKeyDeleted(HKEY key);

// The user whose keys these are: the first part of a path under HKEY_USERS
// ("S-1-5-21-..."). Empty for any other root: such a key names no user.
std::string KeyOwnerSid(const TRegEngine& key);

// "Windows error <code> (<system text>)" for rec.Error, for a log line.
std::string RegErrorText(const TRegEngine& rec);

// Shorthand for the settings under HKLM "SOFTWARE\Quorvane".
TRegEngine SettingRef(const std::string& valueName);
