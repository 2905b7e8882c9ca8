#include "RegistryUtils.h"

#include <vector>

#include "qvHandles.h"
#include "qvLateApi.h"
#include "qvWideText.h"

const char* const kDefaultValueName = "(Def\xE0ult)";

namespace {

constexpr REGSAM kWow64Key64 = KEY_WOW64_64KEY;                                          // 0x100
constexpr REGSAM kReadMasks[3] = {KEY_READ, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                  KEY_QUERY_VALUE};                                        // 0x20019, 0x20009, 0x1
constexpr REGSAM kExistsMask = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr DWORD kNotifyFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET |
                                REG_NOTIFY_CHANGE_SECURITY;  // 15

[[noreturn]] void RaiseRegistryError(const char* format, const std::string& name, LONG code)
{
    std::string message = format;
    message.replace(message.find("%s"), 2, name);
    throw ERegistryException(message, code != ERROR_SUCCESS ? code : ERROR_INVALID_FUNCTION);
}

const char* const kInvalidType = "Invalid data type for '%s'";
const char* const kGetFailed = "Failed to get data for '%s'";
const char* const kSetFailed = "Failed to set data for '%s'";

// Reads a value's data whole; the error of the query that failed. The size is
// the one the read itself reports (an ANSI text can be shorter than the size query said).
LONG QueryValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data)
{
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {  // grown meanwhile: ask again
        DWORD size = 0;
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        data.assign(size + 2, 0);
        DWORD got = static_cast<DWORD>(data.size());
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &got);
        if (rc == ERROR_SUCCESS) data.resize(got);
    }
    return rc;
}

// A delete must name a key below the root: an empty path would take the whole
// root (every key below HKLM, say) with it.
bool NamesNoKey(const std::string& subPath) { return subPath.find_first_not_of('\\') == std::string::npos; }

// Deletes the key the handle holds (opened as itself, DELETE access): the key
// examined is the key that goes, whatever its name leads to meanwhile.
LONG DeleteHeldKey(HKEY key)
{
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto ntDeleteKey = LateSystemProc<NtDeleteKeyFn>("ntdll.dll", "NtDeleteKey");
    if (!ntDeleteKey) return ERROR_PROC_NOT_FOUND;
    const LONG status = ntDeleteKey(key);
    return status >= 0 ? ERROR_SUCCESS : static_cast<LONG>(NtStatusToWinError(status));
}

// Deletes the subkey `name` of parent and every key below it, deepest first.
// Each key is opened as itself: a registry link is neither entered nor deleted
// through; it stays, and so do the keys above it. The first error met (a link
// gives kStoppedOnLink).
LONG DeleteKeyTree(HKEY parent, const char* name, REGSAM view)
{
    UniqueRegKey key;
    LONG rc = RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK,
                            KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | view, key.Put());
    if (rc != ERROR_SUCCESS) return rc;
    if (IsRegistryLink(key.Get())) return kStoppedOnLink;
    LONG first = ERROR_SUCCESS;
    DWORD count = 0;
    rc = RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    // From the last index down: a key that stays never shifts those still to come.
    for (DWORD i = count; i-- > 0;) {
        char child[256];
        DWORD len = sizeof(child);
        rc = RegEnumKeyExA(key.Get(), i, child, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) rc = DeleteKeyTree(key.Get(), child, view);
        if (first == ERROR_SUCCESS) first = rc;
    }
    rc = DeleteHeldKey(key.Get());
    return first != ERROR_SUCCESS ? first : rc;
}

// "a\b\c" -> "a\b" and "c" (trailing backslashes dropped); no parent part
// for a key right below the root.
void SplitLastKey(std::string path, std::string& parentPath, std::string& name)
{
    while (!path.empty() && path.back() == '\\') path.pop_back();
    const size_t cut = path.find_last_of('\\');
    parentPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
    name = cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

TRegistryEx::TRegistryEx() = default;

TRegistryEx::~TRegistryEx() { CloseKey(); }

void TRegistryEx::SetRootKey(HKEY root)
{
    CloseKey();
    root_ = root;
}

bool TRegistryEx::IsRelativeKey(const std::string& path) { return path.empty() || path[0] != '\\'; }

HKEY TRegistryEx::BaseFor(const std::string& path, std::string& subPath) const
{
    bool relative = IsRelativeKey(path);
    subPath = relative ? path : path.substr(1);
    return relative && current_ ? current_ : root_;
}

bool TRegistryEx::OpenWithAccess(const std::string& path, bool canCreate, REGSAM access)
{
    std::string subPath;
    HKEY base = BaseFor(path, subPath);
    if (!Took(base ? ERROR_SUCCESS : ERROR_INVALID_HANDLE)) return false;
    HKEY key = nullptr;
    LONG rc;
    if (canCreate && !subPath.empty())
        rc = RegCreateKeyExA(base, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
    else
        rc = RegOpenKeyExA(base, subPath.c_str(), 0, access, &key);
    if (!Took(rc)) return false;
    std::string newPath = IsRelativeKey(path) && current_ ? currentPath_ + "\\" + subPath : subPath;
    CloseKey();
    current_ = key;
    currentPath_ = newPath;
    return true;
}

namespace {

REGSAM ViewAccess(RegView view) { return view == RegView::Key64 ? kWow64Key64 : 0; }

}  // namespace

bool TRegistryEx::OpenKey(const std::string& path, bool canCreate, RegView view)
{
    return OpenWithAccess(path, canCreate, access_ | ViewAccess(view));
}

bool TRegistryEx::OpenKeyReadOnly(const std::string& path, RegView view)
{
    for (REGSAM mask : kReadMasks)
        if (OpenWithAccess(path, false, mask | ViewAccess(view))) {
            access_ = mask;
            return true;
        }
    return false;
}

bool IsRegistryLink(HKEY key)
{
    DWORD type = REG_NONE;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

bool TRegistryEx::OpenKeyWithoutLinks(const std::string& path, bool canCreate, RegView regView)
{
    const REGSAM view = ViewAccess(regView);
    const REGSAM passing = KEY_QUERY_VALUE | (canCreate ? KEY_CREATE_SUB_KEY : 0) | view;
    TStringList parts;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (!Took(parts.empty() || !root_ ? ERROR_INVALID_HANDLE : ERROR_SUCCESS)) return false;
    UniqueRegKey key;
    HKEY parent = root_;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const REGSAM access = last ? access_ | KEY_QUERY_VALUE | view : passing;
        UniqueRegKey next;
        // REG_OPTION_OPEN_LINK opens a link key as itself instead of its target.
        const LONG rc = canCreate ? RegCreateKeyExA(parent, parts[i].c_str(), 0, nullptr, REG_OPTION_OPEN_LINK, access,
                                                    nullptr, next.Put(), nullptr)
                                  : RegOpenKeyExA(parent, parts[i].c_str(), REG_OPTION_OPEN_LINK, access, next.Put());
        if (!Took(rc) || !Took(IsRegistryLink(next.Get()) ? kStoppedOnLink : ERROR_SUCCESS)) return false;
        key = std::move(next);
        parent = key.Get();
    }
    CloseKey();
    current_ = key.Release();
    currentPath_ = JoinList(parts, "\\");
    return true;
}

bool TRegistryEx::KeyExists(const std::string& path)
{
    std::string subPath;
    HKEY base = BaseFor(path, subPath);
    if (!Took(base ? ERROR_SUCCESS : ERROR_INVALID_HANDLE)) return false;
    UniqueRegKey key;
    return Took(RegOpenKeyExA(base, subPath.c_str(), 0, kExistsMask | (access_ & KEY_WOW64_RES), key.Put()));
}

bool TRegistryEx::Took(LONG rc)
{
    lastError_ = rc;
    return rc == ERROR_SUCCESS;
}

LONG TRegistryEx::NoKeyError() const { return lastError_ != ERROR_SUCCESS ? lastError_ : ERROR_INVALID_HANDLE; }

bool TRegistryEx::ValueExists(const std::string& name)
{
    if (!current_) return Took(NoKeyError());
    return Took(RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr));
}

int32_t TRegistryEx::GetDataSize(const std::string& name)
{
    DWORD size = 0;
    if (!current_) {
        Took(NoKeyError());
        return -1;
    }
    if (!Took(RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, &size))) return -1;
    return static_cast<int32_t>(size);
}

std::string TRegistryEx::ReadString(const std::string& name)
{
    if (GetDataSize(name) <= 0) return {};
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!Took(QueryValue(current_, name, type, data))) RaiseRegistryError(kGetFailed, name, lastError_);
    if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseRegistryError(kInvalidType, name, ERROR_DATATYPE_MISMATCH);
    std::string text(data.begin(), data.end());
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

int32_t TRegistryEx::ReadInteger(const std::string& name)
{
    int32_t value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    if (!current_) RaiseRegistryError(kGetFailed, name, NoKeyError());
    const bool answered =
        Took(RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    // a value of another type (a longer one does not fit) is a wrong type, not a failed read
    if ((answered || lastError_ == ERROR_MORE_DATA) && type != REG_DWORD)
        RaiseRegistryError(kInvalidType, name, ERROR_DATATYPE_MISMATCH);
    if (!answered) RaiseRegistryError(kGetFailed, name, lastError_);
    return value;
}

bool TRegistryEx::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

void TRegistryEx::SetValue(const char* failure, const std::string& name, DWORD type, const void* data, size_t size)
{
    if (!current_) RaiseRegistryError(failure, name, NoKeyError());
    const LONG rc =
        RegSetValueExA(current_, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    if (!Took(rc)) RaiseRegistryError(failure, name, rc);
}

void TRegistryEx::WriteString(const std::string& name, const std::string& value)
{
    SetValue(kSetFailed, name, REG_SZ, value.c_str(), value.size() + 1);
}

void TRegistryEx::WriteInteger(const std::string& name, int32_t value)
{
    SetValue(kSetFailed, name, REG_DWORD, &value, sizeof(value));
}

void TRegistryEx::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

bool TRegistryEx::DeleteKey(const std::string& path)
{
    std::string subPath;
    HKEY base = BaseFor(path, subPath);
    if (!Took(!base || NamesNoKey(subPath) ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS)) return false;
    std::string parentPath, name;
    SplitLastKey(subPath, parentPath, name);
    const REGSAM view = access_ & KEY_WOW64_RES;
    UniqueRegKey parent;
    // The keys on the way are followed as any open follows them.
    if (!parentPath.empty() && !Took(RegOpenKeyExA(base, parentPath.c_str(), 0, KEY_QUERY_VALUE | view, parent.Put())))
        return false;
    return Took(DeleteKeyTree(parent ? parent.Get() : base, name.c_str(), view));
}

bool TRegistryEx::DeleteValue(const std::string& name)
{
    if (!current_) return Took(NoKeyError());
    return Took(RegDeleteValueA(current_, name.c_str()));
}

void TRegistryEx::GetValueNames(TStringList& list)
{
    list.clear();
    if (!current_) return;
    std::vector<char> name(16384 + 1);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        LONG rc = RegEnumValueA(current_, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        list.emplace_back(name.data(), len);
    }
}

void TRegistryEx::GetKeyNames(TStringList& list)
{
    list.clear();
    if (!current_) return;
    std::vector<char> name(512);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        LONG rc = RegEnumKeyExA(current_, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        list.emplace_back(name.data(), len);
    }
}

void TRegistryEx::WriteMultiSz(const std::string& name, const TStringList& list)
{
    std::string data;
    for (const std::string& entry : list) {
        data += entry;
        data += '\0';
    }
    data += '\0';
    SetValue(kInvalidType, name, REG_MULTI_SZ, data.data(), data.size());
}

void TRegistryEx::ReadMultiSz(const std::string& name, TStringList* list)
{
    if (!list || GetDataSize(name) < 1) return;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!Took(QueryValue(current_, name, type, data))) RaiseRegistryError(kInvalidType, name, lastError_);
    if (type != REG_MULTI_SZ) RaiseRegistryError(kInvalidType, name, ERROR_DATATYPE_MISMATCH);
    list->clear();
    std::string entry;
    // The last byte is the list's closing NUL; text after the last NUL before it is dropped.
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] != 0) {
            entry += static_cast<char>(data[i]);
        } else {
            list->push_back(entry);
            entry.clear();
        }
    }
}

void TRegistryEx::CloseKey()
{
    if (current_) RegCloseKey(current_);
    current_ = nullptr;
    currentPath_.clear();
}

HKEY GetRootKey(TRegEngine& rec)
{
    rec.Error = 0;
    switch (rec.Root) {
    case kRootHKLM: return HKEY_LOCAL_MACHINE;
    case kRootHKCU: return HKEY_CURRENT_USER;
    case kRootHKU: return HKEY_USERS;
    case kRootHKCC: return HKEY_CURRENT_CONFIG;
    default: return nullptr;
    }
}

namespace {

// How a one-shot call opens its key first. Read: a missing key is the call's
// error; ReadIfPresent: a missing key reads as empty, without an error.
enum class Open { None, Read, ReadIfPresent, Create };

bool IsUserRoot(const TRegEngine& rec) { return rec.Root == kRootHKU || rec.Root == kRootHKCU; }

// For the calls where "not there" is an answer, not a failure.
LONG UnlessMissing(LONG rc) { return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc; }

bool OpenFor(TRegistryEx& reg, const TRegEngine& rec, Open open, RegView view)
{
    switch (open) {
    case Open::None: return true;
    case Open::Read:
    case Open::ReadIfPresent: return reg.OpenKeyReadOnly(rec.Key, view);
    case Open::Create:
        // a refused link leaves no key open: the call fails with kStoppedOnLink
        return IsUserRoot(rec) ? reg.OpenKeyWithoutLinks(rec.Key, true, view) : reg.OpenKey(rec.Key, true, view);
    }
    return false;
}

// One registry operation on a key of its own: opens rec.Key as asked, runs the
// step, and turns a failure (of the open, or an ERegistryException of the
// step) into rec.Error, the Windows error, and the fallback result. The key is
// closed on every path; errors of other kinds go on to the caller.
template <typename Result, typename Step>
Result OneShot(TRegEngine& rec, Open open, RegView view, Result fallback, Step step)
{
    TRegistryEx reg;
    reg.SetRootKey(GetRootKey(rec));
    if (view == RegView::Key64) reg.SetAccess(reg.Access() | kWow64Key64);
    if (!OpenFor(reg, rec, open, view)) {
        rec.Error = open == Open::ReadIfPresent ? UnlessMissing(reg.LastError()) : reg.LastError();
        return fallback;
    }
    try {
        return step(reg);
    } catch (const ERegistryException& error) {
        rec.Error = error.Code;
        return fallback;
    }
}

// A step's boolean answer; a false one keeps the call's error, "missing" too
// unless missingIsAnswer.
bool Answer(TRegEngine& rec, const TRegistryEx& reg, bool ok, bool missingIsAnswer)
{
    if (!ok) rec.Error = missingIsAnswer ? UnlessMissing(reg.LastError()) : reg.LastError();
    return ok;
}

struct Nothing {};

}  // namespace

std::string ReadRegString(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::ReadIfPresent, view, std::string(),
                   [&](TRegistryEx& r) { return r.ReadString(rec.Value); });
}

bool RegKeyExists(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::None, view, false,
                   [&](TRegistryEx& r) { return Answer(rec, r, r.KeyExists(rec.Key), true); });
}

bool RegValueExists(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::ReadIfPresent, view, false,
                   [&](TRegistryEx& r) { return Answer(rec, r, r.ValueExists(rec.Value), true); });
}

int32_t ReadRegInteger(TRegEngine& rec)
{
    return OneShot(rec, Open::Read, RegView::Default, int32_t(-1),
                   [&](TRegistryEx& r) { return r.ReadInteger(rec.Value); });
}

bool DeleteRegKey(TRegEngine& rec)
{
    if (!IsUserRoot(rec)) {
        return OneShot(rec, Open::None, RegView::Default, false,
                       [&](TRegistryEx& r) { return Answer(rec, r, r.DeleteKey(rec.Key), false); });
    }
    // A user's key: the keys on the way are opened without links too.
    std::string parentPath, name;
    SplitLastKey(rec.Key, parentPath, name);
    TRegistryEx parent;
    parent.SetRootKey(GetRootKey(rec));
    parent.SetAccess(KEY_QUERY_VALUE);
    if (NamesNoKey(name) || !parent.RootKey()) {
        rec.Error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!parentPath.empty() && !parent.OpenKeyWithoutLinks(parentPath, false, RegView::Default)) {
        rec.Error = parent.LastError();
        return false;
    }
    rec.Error = DeleteKeyTree(parentPath.empty() ? parent.RootKey() : parent.CurrentKey(), name.c_str(), 0);
    return rec.Error == ERROR_SUCCESS;
}

bool DeleteRegValue(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::Create, view, false,
                   [&](TRegistryEx& r) { return Answer(rec, r, r.DeleteValue(rec.Value), false); });
}

bool ReadRegBool(TRegEngine& rec)
{
    return OneShot(rec, Open::Read, RegView::Default, false, [&](TRegistryEx& r) { return r.ReadBool(rec.Value); });
}

void GetRegValueNames(TRegEngine& rec, TStringList& list, RegView view)
{
    list.clear();
    OneShot(rec, Open::ReadIfPresent, view, Nothing{}, [&](TRegistryEx& r) {
        r.GetValueNames(list);
        MarkDefaultValueNames(list);
        return Nothing{};
    });
}

void GetRegKeyNames(TRegEngine& rec, TStringList& list)
{
    list.clear();
    OneShot(rec, Open::ReadIfPresent, RegView::Default, Nothing{}, [&](TRegistryEx& r) {
        r.GetKeyNames(list);
        return Nothing{};
    });
}

bool WriteRegString(TRegEngine& rec, const std::string& value, RegView view)
{
    return OneShot(rec, Open::Create, view, false, [&](TRegistryEx& r) {
        r.WriteString(rec.Value, value);
        return true;
    });
}

bool WriteRegInteger(TRegEngine& rec, int32_t value)
{
    return OneShot(rec, Open::Create, RegView::Default, false, [&](TRegistryEx& r) {
        r.WriteInteger(rec.Value, value);
        return true;
    });
}

bool WriteRegBool(TRegEngine& rec, bool value)
{
    return OneShot(rec, Open::Create, RegView::Default, false, [&](TRegistryEx& r) {
        r.WriteBool(rec.Value, value);
        return true;
    });
}

void ReadRegMultiString(TRegEngine& rec, TStringList& list)
{
    list.clear();
    bool ok = OneShot(rec, Open::ReadIfPresent, RegView::Default, false, [&](TRegistryEx& r) {
        r.ReadMultiSz(rec.Value, &list);
        return true;
    });
    if (!ok) list.clear();
}

bool WriteRegMultiString(TRegEngine& rec, const TStringList& list)
{
    return OneShot(rec, Open::Create, RegView::Default, false, [&](TRegistryEx& r) {
        r.WriteMultiSz(rec.Value, list);
        return true;
    });
}

void MarkDefaultValueNames(TStringList& list)
{
    for (size_t i = list.size(); i-- > 0;)
        if (list[i].empty()) list[i] = kDefaultValueName;
}

namespace {

[[noreturn]] void RaiseWide(const char* format, const std::wstring& name, LONG code)
{
    RaiseRegistryError(format, WideToAnsi(name), code);
}

}  // namespace

void GetRegValueNamesW(TRegEngine& rec, TWideList& list, RegView view)
{
    list.clear();
    OneShot(rec, Open::ReadIfPresent, view, Nothing{}, [&](TRegistryEx& r) {
        DWORD count = 0, longest = 0;
        const LONG rc = RegQueryInfoKeyW(r.CurrentKey(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                         &longest, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            rec.Error = rc;
            return Nothing{};
        }
        std::vector<wchar_t> name(longest + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD len = static_cast<DWORD>(name.size());
            if (RegEnumValueW(r.CurrentKey(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                list.emplace_back(name.data(), len);
        }
        return Nothing{};
    });
}

bool RegValueExistsW(TRegEngine& rec, const std::wstring& name, RegView view)
{
    return OneShot(rec, Open::ReadIfPresent, view, false, [&](TRegistryEx& r) {
        const LONG rc = RegQueryValueExW(r.CurrentKey(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
        rec.Error = UnlessMissing(rc);
        return rc == ERROR_SUCCESS;
    });
}

std::wstring ReadRegStringW(TRegEngine& rec, const std::wstring& name, RegView view)
{
    return OneShot(rec, Open::ReadIfPresent, view, std::wstring(), [&](TRegistryEx& r) {
        const HKEY key = r.CurrentKey();
        LONG rc = ERROR_MORE_DATA;
        for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {  // grown meanwhile: ask again
            DWORD type = REG_NONE, size = 0;
            rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
            if (rc == ERROR_FILE_NOT_FOUND) return std::wstring();
            if (rc != ERROR_SUCCESS) break;
            if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseWide(kInvalidType, name, ERROR_DATATYPE_MISMATCH);
            std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
            DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
            if (rc == ERROR_FILE_NOT_FOUND) return std::wstring();  // deleted meanwhile
            if (rc != ERROR_SUCCESS) continue;
            // The stored text need not end in a NUL, or may hold one early.
            const std::wstring text(data.data(), got / sizeof(wchar_t));
            return text.substr(0, text.find(L'\0'));
        }
        RaiseWide(kGetFailed, name, rc);
    });
}

bool WriteRegStringW(TRegEngine& rec, const std::wstring& name, const std::wstring& value, RegView view)
{
    return OneShot(rec, Open::Create, view, false, [&](TRegistryEx& r) {
        const LONG rc =
            RegSetValueExW(r.CurrentKey(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        if (rc != ERROR_SUCCESS) RaiseWide(kSetFailed, name, rc);
        return true;
    });
}

bool DeleteRegValueW(TRegEngine& rec, const std::wstring& name, RegView view)
{
    return OneShot(rec, Open::Create, view, false, [&](TRegistryEx& r) {
        rec.Error = RegDeleteValueW(r.CurrentKey(), name.c_str());
        return rec.Error == ERROR_SUCCESS;
    });
}

bool IsRegistryLinkAt(TRegEngine& rec, RegView view)
{
    HKEY root = GetRootKey(rec);
    UniqueRegKey key;
    return root && RegOpenKeyExA(root, rec.Key.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | ViewAccess(view),
                                 key.Put()) == ERROR_SUCCESS &&
           IsRegistryLink(key.Get());
}

namespace {

std::string LinkTarget(HKEY link)
{
    wchar_t target[1024] = {};
    DWORD size = sizeof(target) - sizeof(wchar_t);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target), &size) !=
            ERROR_SUCCESS ||
        type != REG_LINK)
        return {};
    const int chars = static_cast<int>(size / sizeof(wchar_t));
    const int bytes = WideCharToMultiByte(CP_ACP, 0, target, chars, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, target, chars, &text[0], bytes, nullptr, nullptr);
    return text;
}

}  // namespace

TLinkRemoval RemoveUserKeyLink(TRegEngine& rec, std::string& target)
{
    target.clear();
    const size_t cut = rec.Key.find_last_of('\\');
    if (!IsUserRoot(rec) || cut == std::string::npos || cut + 1 >= rec.Key.size()) return TLinkRemoval::NotALink;
    TRegistryEx parent;
    parent.SetRootKey(GetRootKey(rec));
    parent.SetAccess(KEY_QUERY_VALUE);
    // A link further up is not this key's to remove: the name then leads
    // elsewhere, and the guards refuse to write there anyway.
    if (!parent.OpenKeyWithoutLinks(rec.Key.substr(0, cut), false, RegView::Default)) return TLinkRemoval::NotALink;
    UniqueRegKey link;
    if (RegOpenKeyExA(parent.CurrentKey(), rec.Key.substr(cut + 1).c_str(), REG_OPTION_OPEN_LINK,
                      KEY_QUERY_VALUE | DELETE, link.Put()) != ERROR_SUCCESS ||
        !IsRegistryLink(link.Get()))
        return TLinkRemoval::NotALink;
    target = LinkTarget(link.Get());
    rec.Error = DeleteHeldKey(link.Get());
    return rec.Error == ERROR_SUCCESS ? TLinkRemoval::Removed : TLinkRemoval::Failed;
}

UniqueRegKey OpenKeyForNotification(TRegEngine& rec, RegView view)
{
    UniqueRegKey key;
    HKEY root = GetRootKey(rec);
    // Querying too lets a watcher see whether its key was deleted; a key that
    // allows only the watching is still watched.
    if (root && RegOpenKeyExA(root, rec.Key.c_str(), 0, KEY_NOTIFY | KEY_QUERY_VALUE | ViewAccess(view), key.Put()) !=
                    ERROR_SUCCESS)
        RegOpenKeyExA(root, rec.Key.c_str(), 0, KEY_NOTIFY | ViewAccess(view), key.Put());
    return key;
}

bool ArmKeyNotification(HKEY key, HANDLE event)
{
    return RegNotifyChangeKeyValue(key, TRUE, kNotifyFilter, event, TRUE) == ERROR_SUCCESS;
}

bool IsKeyDeleted(HKEY key)
{
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_KEY_DELETED;
}

bool WaitForKeyChange(TRegEngine& rec, RegView view, HANDLE stopEvent)
{
    UniqueHandle changed(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!changed) return false;
    UniqueRegKey key = OpenKeyForNotification(rec, view);  // declared after the event: closed first
    if (!key || !ArmKeyNotification(key.Get(), changed.Get())) return false;
    if (!stopEvent) return WaitForSingleObject(changed.Get(), INFINITE) == WAIT_OBJECT_0;
    // The stop request comes first so that it wins over a change signalled at the same moment.
    HANDLE handles[2] = {stopEvent, changed.Get()};
    return WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
}

std::string KeyOwnerSid(const TRegEngine& key)
{
    if (key.Root != kRootHKU) return {};
    const std::string sid = key.Key.substr(0, key.Key.find('\\'));
    return StartsWith(UpperCase(sid), "S-1-") ? sid : std::string();
}

std::string RegErrorText(const TRegEngine& rec)
{
    return WindowsErrorText(static_cast<uint32_t>(rec.Error));
}

TRegEngine SettingRef(const std::string& valueName)
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = kSettingsKey;
    rec.Value = valueName;
    rec.Error = 0;
    return rec;
}
