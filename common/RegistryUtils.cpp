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

[[noreturn]] void RaiseRegistryError(const char* format, const std::string& name)
{
    std::string message = format;
    message.replace(message.find("%s"), 2, name);
    throw ERegistryException(message);
}

const char* const kInvalidType = "Invalid data type for '%s'";
const char* const kGetFailed = "Failed to get data for '%s'";
const char* const kSetFailed = "Failed to set data for '%s'";

// Reads a value's data whole; false when it cannot be queried. The size is the
// one the read itself reports (an ANSI text can be shorter than the size query said).
bool QueryValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data)
{
    if (!key) return false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        data.assign(size + 2, 0);
        DWORD got = static_cast<DWORD>(data.size());
        LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got);
            return true;
        }
        if (rc != ERROR_MORE_DATA) return false;  // grown meanwhile: ask again
    }
    return false;
}

// A delete must name a key below the root: an empty path would take the whole
// root (every key below HKLM, say) with it.
bool NamesNoKey(const std::string& subPath) { return subPath.find_first_not_of('\\') == std::string::npos; }

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
    if (!base) return false;
    HKEY key = nullptr;
    LONG rc;
    if (canCreate && !subPath.empty())
        rc = RegCreateKeyExA(base, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
    else
        rc = RegOpenKeyExA(base, subPath.c_str(), 0, access, &key);
    if (rc != ERROR_SUCCESS) return false;
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
    if (parts.empty() || !root_) return false;
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
        if (rc != ERROR_SUCCESS || IsRegistryLink(next.Get())) return false;
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
    if (!base) return false;
    UniqueRegKey key;
    return RegOpenKeyExA(base, subPath.c_str(), 0, kExistsMask | (access_ & KEY_WOW64_RES), key.Put()) ==
           ERROR_SUCCESS;
}

bool TRegistryEx::ValueExists(const std::string& name)
{
    return current_ && RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int32_t TRegistryEx::GetDataSize(const std::string& name)
{
    DWORD size = 0;
    if (!current_ || RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return -1;
    return static_cast<int32_t>(size);
}

std::string TRegistryEx::ReadString(const std::string& name)
{
    if (GetDataSize(name) <= 0) return {};
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!QueryValue(current_, name, type, data)) RaiseRegistryError(kGetFailed, name);
    if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseRegistryError(kInvalidType, name);
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
    if (!current_ || RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                      &size) != ERROR_SUCCESS)
        RaiseRegistryError(kGetFailed, name);
    if (type != REG_DWORD) RaiseRegistryError(kInvalidType, name);
    return value;
}

bool TRegistryEx::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

void TRegistryEx::WriteString(const std::string& name, const std::string& value)
{
    if (!current_ || RegSetValueExA(current_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        RaiseRegistryError(kSetFailed, name);
}

void TRegistryEx::WriteInteger(const std::string& name, int32_t value)
{
    if (!current_ || RegSetValueExA(current_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof(value)) != ERROR_SUCCESS)
        RaiseRegistryError(kSetFailed, name);
}

void TRegistryEx::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

bool TRegistryEx::DeleteKey(const std::string& path)
{
    std::string subPath;
    HKEY base = BaseFor(path, subPath);
    if (!base || NamesNoKey(subPath)) return false;
    {
        UniqueRegKey key;
        if (RegOpenKeyExA(base, subPath.c_str(), 0, access_, key.Put()) == ERROR_SUCCESS) {
            DWORD count = 0, maxLen = 0;
            if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, &maxLen, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
                std::vector<char> name(maxLen + 2);
                // Deepest first: each subkey empties itself before it goes.
                for (DWORD i = count; i-- > 0;) {
                    DWORD len = static_cast<DWORD>(name.size());
                    if (RegEnumKeyExA(key.Get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
                        ERROR_SUCCESS)
                        continue;
                    TRegistryEx child;
                    child.root_ = key.Get();
                    child.access_ = access_;
                    child.DeleteKey(std::string(name.data(), len));
                }
            }
        }
    }
    return RegDeleteKeyA(base, subPath.c_str()) == ERROR_SUCCESS;
}

bool TRegistryEx::DeleteValue(const std::string& name)
{
    return current_ && RegDeleteValueA(current_, name.c_str()) == ERROR_SUCCESS;
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
    if (!current_ || RegSetValueExA(current_, name.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                    static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
        RaiseRegistryError(kInvalidType, name);
}

void TRegistryEx::ReadMultiSz(const std::string& name, TStringList* list)
{
    if (!list || GetDataSize(name) < 1) return;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!QueryValue(current_, name, type, data) || type != REG_MULTI_SZ) RaiseRegistryError(kInvalidType, name);
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

enum class Open { None, ReadOnly, Create };

bool IsUserRoot(const TRegEngine& rec) { return rec.Root == kRootHKU || rec.Root == kRootHKCU; }

// Whether a key anywhere below the open key is a registry link.
bool HoldsRegistryLink(HKEY key, int depth = 0)
{
    if (depth > 64) return true;  // deeper than any key of ours: not taken apart
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof(name);
        const LONG rc = RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return false;
        if (rc != ERROR_SUCCESS) return true;
        UniqueRegKey child;
        if (RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, KEY_READ, child.Put()) != ERROR_SUCCESS ||
            IsRegistryLink(child.Get()) || HoldsRegistryLink(child.Get(), depth + 1))
            return true;
    }
}

// One registry operation on a key of its own: opens rec.Key as asked (its result
// is deliberately not tested: the step then fails or reads empty), runs the step,
// and turns a registry error into rec.Error and the fallback result. The key is
// closed on every path; errors of other kinds go on to the caller.
template <typename Result, typename Step>
Result OneShot(TRegEngine& rec, Open open, RegView view, int32_t code, Result fallback, Step step)
{
    TRegistryEx reg;
    reg.SetRootKey(GetRootKey(rec));
    if (view == RegView::Key64) reg.SetAccess(reg.Access() | kWow64Key64);
    try {
        switch (open) {
        case Open::None: break;
        case Open::ReadOnly: reg.OpenKeyReadOnly(rec.Key, view); break;
        case Open::Create:
            // a refused link leaves no key open: the step fails as for any other error
            if (IsUserRoot(rec))
                reg.OpenKeyWithoutLinks(rec.Key, true, view);
            else
                reg.OpenKey(rec.Key, true, view);
            break;
        }
        return step(reg);
    } catch (const ERegistryException&) {
        rec.Error = code;
        return fallback;
    }
}

struct Nothing {};

}  // namespace

std::string ReadRegString(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::ReadOnly, view, 1, std::string(), [&](TRegistryEx& r) { return r.ReadString(rec.Value); });
}

bool RegKeyExists(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::None, view, 2, false, [&](TRegistryEx& r) { return r.KeyExists(rec.Key); });
}

bool RegValueExists(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::ReadOnly, view, 3, false, [&](TRegistryEx& r) { return r.ValueExists(rec.Value); });
}

int32_t ReadRegInteger(TRegEngine& rec)
{
    return OneShot(rec, Open::ReadOnly, RegView::Default, 4, int32_t(-1),
                   [&](TRegistryEx& r) { return r.ReadInteger(rec.Value); });
}

void DeleteRegKey(TRegEngine& rec)
{
    OneShot(rec, Open::None, RegView::Default, 6, Nothing{}, [&](TRegistryEx& r) {
        if (IsUserRoot(rec)) {
            // A user's key goes only when neither it, nor a key on the way or
            // below it, is a link: deleting through one would empty its target.
            TRegistryEx key;
            key.SetRootKey(r.RootKey());
            key.SetAccess(KEY_READ);
            if (!key.OpenKeyWithoutLinks(rec.Key, false, RegView::Default) || HoldsRegistryLink(key.CurrentKey())) {
                rec.Error = 6;
                return Nothing{};
            }
        }
        r.DeleteKey(rec.Key);
        return Nothing{};
    });
}

bool DeleteRegValue(TRegEngine& rec, RegView view)
{
    return OneShot(rec, Open::Create, view, 7, false, [&](TRegistryEx& r) { return r.DeleteValue(rec.Value); });
}

bool ReadRegBool(TRegEngine& rec)
{
    return OneShot(rec, Open::ReadOnly, RegView::Default, 8, false, [&](TRegistryEx& r) { return r.ReadBool(rec.Value); });
}

void GetRegValueNames(TRegEngine& rec, TStringList& list, RegView view)
{
    OneShot(rec, Open::ReadOnly, view, 9, Nothing{}, [&](TRegistryEx& r) {
        list.clear();
        r.GetValueNames(list);
        MarkDefaultValueNames(list);
        return Nothing{};
    });
}

void GetRegKeyNames(TRegEngine& rec, TStringList& list)
{
    OneShot(rec, Open::ReadOnly, RegView::Default, 10, Nothing{}, [&](TRegistryEx& r) {
        list.clear();
        r.GetKeyNames(list);
        return Nothing{};
    });
}

void WriteRegString(TRegEngine& rec, const std::string& value, RegView view)
{
    OneShot(rec, Open::Create, view, 11, Nothing{}, [&](TRegistryEx& r) {
        r.WriteString(rec.Value, value);
        return Nothing{};
    });
}

void WriteRegInteger(TRegEngine& rec, int32_t value)
{
    OneShot(rec, Open::Create, RegView::Default, 12, Nothing{}, [&](TRegistryEx& r) {
        r.WriteInteger(rec.Value, value);
        return Nothing{};
    });
}

void WriteRegBool(TRegEngine& rec, bool value)
{
    OneShot(rec, Open::Create, RegView::Default, 13, Nothing{}, [&](TRegistryEx& r) {
        r.WriteBool(rec.Value, value);
        return Nothing{};
    });
}

void ReadRegMultiString(TRegEngine& rec, TStringList& list)
{
    list.clear();
    bool ok = OneShot(rec, Open::ReadOnly, RegView::Default, 14, false, [&](TRegistryEx& r) {
        r.ReadMultiSz(rec.Value, &list);
        return true;
    });
    if (!ok) list.clear();
}

void WriteRegMultiString(TRegEngine& rec, const TStringList& list)
{
    OneShot(rec, Open::Create, RegView::Default, 15, Nothing{}, [&](TRegistryEx& r) {
        r.WriteMultiSz(rec.Value, list);
        return Nothing{};
    });
}

void MarkDefaultValueNames(TStringList& list)
{
    for (size_t i = list.size(); i-- > 0;)
        if (list[i].empty()) list[i] = kDefaultValueName;
}

namespace {

[[noreturn]] void RaiseWide(const char* format, const std::wstring& name) { RaiseRegistryError(format, WideToAnsi(name)); }

}  // namespace

void GetRegValueNamesW(TRegEngine& rec, TWideList& list, RegView view)
{
    list.clear();
    OneShot(rec, Open::ReadOnly, view, 9, Nothing{}, [&](TRegistryEx& r) {
        DWORD count = 0, longest = 0;
        if (!r.CurrentKey() || RegQueryInfoKeyW(r.CurrentKey(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                &count, &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return Nothing{};
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
    return OneShot(rec, Open::ReadOnly, view, 3, false, [&](TRegistryEx& r) {
        return r.CurrentKey() && RegQueryValueExW(r.CurrentKey(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                                     ERROR_SUCCESS;
    });
}

std::wstring ReadRegStringW(TRegEngine& rec, const std::wstring& name, RegView view)
{
    return OneShot(rec, Open::ReadOnly, view, 1, std::wstring(), [&](TRegistryEx& r) {
        const HKEY key = r.CurrentKey();
        if (!key) return std::wstring();
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = REG_NONE, size = 0;
            if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::wstring();
            if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseWide(kInvalidType, name);
            std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
            DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
            if (rc == ERROR_MORE_DATA) continue;  // grown meanwhile: ask again
            if (rc != ERROR_SUCCESS) RaiseWide(kGetFailed, name);
            // The stored text need not end in a NUL, or may hold one early.
            const std::wstring text(data.data(), got / sizeof(wchar_t));
            return text.substr(0, text.find(L'\0'));
        }
        RaiseWide(kGetFailed, name);
    });
}

void WriteRegStringW(TRegEngine& rec, const std::wstring& name, const std::wstring& value, RegView view)
{
    OneShot(rec, Open::Create, view, 11, Nothing{}, [&](TRegistryEx& r) {
        if (!r.CurrentKey() ||
            RegSetValueExW(r.CurrentKey(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            RaiseWide(kSetFailed, name);
        return Nothing{};
    });
}

bool DeleteRegValueW(TRegEngine& rec, const std::wstring& name, RegView view)
{
    return OneShot(rec, Open::Create, view, 7, false, [&](TRegistryEx& r) {
        return r.CurrentKey() && RegDeleteValueW(r.CurrentKey(), name.c_str()) == ERROR_SUCCESS;
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
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    const auto ntDeleteKey = LateSystemProc<NtDeleteKeyFn>("ntdll.dll", "NtDeleteKey");
    if (!ntDeleteKey || ntDeleteKey(link.Get()) < 0) {
        rec.Error = 6;
        return TLinkRemoval::Failed;
    }
    return TLinkRemoval::Removed;
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

TRegEngine SettingRef(const std::string& valueName)
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = kSettingsKey;
    rec.Value = valueName;
    rec.Error = 0;
    return rec;
}
