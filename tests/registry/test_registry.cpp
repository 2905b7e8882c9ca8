#include <gtest/gtest.h>

#include <aclapi.h>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvHandles.h"

namespace {

// Every case works below a key of its own in HKCU, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        base_ = "Software\\QvRegTest\\" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                std::to_string(counter++);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str()); }

    TRegEngine Ref(const std::string& sub, const std::string& value, uint8_t root = kRootHKCU) const
    {
        TRegEngine rec;
        rec.Root = root;
        rec.Key = sub.empty() ? base_ : base_ + "\\" + sub;
        rec.Value = value;
        rec.Error = 77;  // every call must reset it
        return rec;
    }
    // Stores raw data the way other software might.
    void SetRaw(const std::string& sub, const std::string& value, DWORD type, const std::string& data) const
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Ref(sub, "").Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.Put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.Get(), value.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    bool GetRaw(const std::string& sub, const std::string& value, DWORD& type, std::string& data,
                REGSAM view = 0) const
    {
        UniqueRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Ref(sub, "").Key.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS)
            return false;
        char buffer[1024];
        DWORD size = sizeof(buffer);
        if (RegQueryValueExA(key.Get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS)
            return false;
        data.assign(buffer, size);
        return true;
    }
    bool KeyPresent(const std::string& sub) const
    {
        TRegEngine rec = Ref(sub, "");
        return RegKeyExists(rec);
    }

    std::string base_;
};

TEST_F(Registry, IntegersAndBooleans)
{
    TRegEngine missing = Ref("absent", "n");
    EXPECT_EQ(ReadRegInteger(missing), -1);
    EXPECT_EQ(missing.Error, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(ReadRegBool(missing));
    EXPECT_EQ(missing.Error, ERROR_FILE_NOT_FOUND);

    TRegEngine n = Ref("k", "n");
    WriteRegInteger(n, -123456);
    EXPECT_EQ(n.Error, 0);
    EXPECT_EQ(ReadRegInteger(n), -123456);
    EXPECT_EQ(n.Error, 0);

    TRegEngine b = Ref("k", "b");
    WriteRegBool(b, true);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetRaw("k", "b", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, std::string("\1\0\0\0", 4));
    EXPECT_TRUE(ReadRegBool(b));
    WriteRegBool(b, false);
    EXPECT_FALSE(ReadRegBool(b));
    EXPECT_EQ(b.Error, 0);
    WriteRegInteger(b, 5);
    EXPECT_TRUE(ReadRegBool(b)) << "any non-zero integer reads as true";

    TRegEngine notMissingValue = Ref("k", "absent");
    EXPECT_EQ(ReadRegInteger(notMissingValue), -1) << "missing value in an existing key";
    EXPECT_EQ(notMissingValue.Error, ERROR_FILE_NOT_FOUND);

    SetRaw("k", "text", REG_SZ, std::string("12\0", 3));
    TRegEngine text = Ref("k", "text");
    EXPECT_EQ(ReadRegInteger(text), -1);
    EXPECT_EQ(text.Error, ERROR_DATATYPE_MISMATCH);
    SetRaw("k", "long", REG_SZ, std::string("123456789\0", 10));
    TRegEngine longText = Ref("k", "long");
    EXPECT_FALSE(ReadRegBool(longText));
    EXPECT_EQ(longText.Error, ERROR_DATATYPE_MISMATCH) << "too long for a number, and no number";
}

TEST_F(Registry, Strings)
{
    TRegEngine s = Ref("k", "s");
    WriteRegString(s, "C:\\x y\\z.exe");
    EXPECT_EQ(s.Error, 0);
    EXPECT_EQ(ReadRegString(s), "C:\\x y\\z.exe");
    EXPECT_EQ(s.Error, 0);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetRaw("k", "s", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string("C:\\x y\\z.exe\0", 13)) << "text and its NUL";

    TRegEngine missing = Ref("absent", "s");
    EXPECT_EQ(ReadRegString(missing), "");
    EXPECT_EQ(missing.Error, 0) << "a missing key is no error for a text";
    TRegEngine missingValue = Ref("k", "nothing");
    EXPECT_EQ(ReadRegString(missingValue), "");
    EXPECT_EQ(missingValue.Error, 0);

    TRegEngine dword = Ref("k", "d");
    WriteRegInteger(dword, 7);
    EXPECT_EQ(ReadRegString(dword), "");
    EXPECT_EQ(dword.Error, ERROR_DATATYPE_MISMATCH);

    SetRaw("k", "exp", REG_EXPAND_SZ, std::string("%SystemRoot%\\a\0", 15));
    TRegEngine expand = Ref("k", "exp");
    EXPECT_EQ(ReadRegString(expand), "%SystemRoot%\\a") << "read as stored, not expanded";
    SetRaw("k", "nul", REG_SZ, std::string("ab\0cd\0", 6));
    TRegEngine nul = Ref("k", "nul");
    EXPECT_EQ(ReadRegString(nul), "ab") << "the text ends at its first NUL";

    TRegEngine unnamed = Ref("k", "");
    WriteRegString(unnamed, "default");
    EXPECT_EQ(ReadRegString(unnamed), "default");
    EXPECT_TRUE(RegValueExists(unnamed));
}

TEST_F(Registry, ExistenceAndDeletion)
{
    TRegEngine v = Ref("a\\b", "v");
    EXPECT_FALSE(RegValueExists(v));
    EXPECT_EQ(v.Error, 0);
    WriteRegInteger(v, 1);
    EXPECT_TRUE(RegValueExists(v));
    EXPECT_TRUE(KeyPresent("a"));
    EXPECT_TRUE(KeyPresent("a\\b"));
    EXPECT_FALSE(KeyPresent("a\\c"));

    EXPECT_TRUE(DeleteRegValue(v));
    EXPECT_EQ(v.Error, 0);
    EXPECT_FALSE(RegValueExists(v));
    EXPECT_FALSE(DeleteRegValue(v)) << "already gone";
    EXPECT_EQ(v.Error, ERROR_FILE_NOT_FOUND);

    TRegEngine elsewhere = Ref("new\\key", "v");
    EXPECT_FALSE(DeleteRegValue(elsewhere));
    EXPECT_EQ(elsewhere.Error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(KeyPresent("new\\key")) << "the delete creates the missing key";

    // a tree three levels deep with values on every level goes at once
    for (const char* sub : {"t\\x\\y", "t\\x\\z", "t\\w"}) {
        TRegEngine leaf = Ref(sub, "v");
        WriteRegString(leaf, sub);
    }
    TRegEngine top = Ref("t", "v");
    WriteRegString(top, "top");
    TRegEngine tree = Ref("t", "");
    EXPECT_TRUE(DeleteRegKey(tree));
    EXPECT_EQ(tree.Error, 0);
    EXPECT_FALSE(DeleteRegKey(tree)) << "already gone";
    EXPECT_EQ(tree.Error, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyPresent("t"));
    EXPECT_TRUE(KeyPresent("a")) << "siblings stay";
}

TEST_F(Registry, FailedWritesTellTheSystemsError)
{
    // A key below a volatile one must be volatile too: the system refuses the
    // ordinary key a write makes on its way.
    UniqueRegKey vol;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Ref("vol", "").Key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, vol.Put(), nullptr),
              ERROR_SUCCESS);
    TRegEngine below = Ref("vol\\sub", "v");
    EXPECT_FALSE(WriteRegString(below, "x"));
    EXPECT_EQ(below.Error, ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_FALSE(WriteRegInteger(below, 1));
    EXPECT_EQ(below.Error, ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_FALSE(DeleteRegValue(below));
    EXPECT_EQ(below.Error, ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_NE(RegErrorText(below).find(std::to_string(ERROR_CHILD_MUST_BE_VOLATILE)), std::string::npos);
    TRegEngine in = Ref("vol", "v");
    EXPECT_TRUE(WriteRegString(in, "x")) << "the volatile key itself takes values";
    EXPECT_EQ(in.Error, 0);
}

TEST_F(Registry, DeleteKeyStopsAtALink)
{
    const std::string victimKey = "SOFTWARE\\QvDeleteLinkVictim" + std::to_string(GetCurrentProcessId());
    TRegEngine victim;
    victim.Key = victimKey + "\\inner";
    victim.Value = "kept";
    ASSERT_TRUE(WriteRegString(victim, "x"));
    TRegEngine victimRoot;
    victimRoot.Key = victimKey;

    // Under a user's root and under the machine's: a link below the key, the key
    // itself a link, and (for the user) a link on the way to the key.
    const std::string machineBase = "SOFTWARE\\QvDeleteLinkTest" + std::to_string(GetCurrentProcessId());
    for (const auto& [root, rootKey, base] : {std::tuple{kRootHKCU, HKEY_CURRENT_USER, base_},
                                              std::tuple{kRootHKLM, HKEY_LOCAL_MACHINE, machineBase}}) {
        SCOPED_TRACE(base);
        TRegEngine tree;
        tree.Root = root;
        for (const char* sub : {"\\t\\a\\deep", "\\t\\z"}) {
            tree.Key = base + sub;
            tree.Value = "v";
            ASSERT_TRUE(WriteRegString(tree, "x"));
        }
        ASSERT_TRUE(MakeRegistryLink(rootKey, base + "\\t\\m", victimKey));
        tree.Key = base + "\\t";
        EXPECT_FALSE(DeleteRegKey(tree));
        EXPECT_EQ(tree.Error, kStoppedOnLink);
        EXPECT_EQ(ReadRegString(victim), "x") << "nothing deleted through the link";
        TRegEngine link = tree;
        link.Key = base + "\\t\\m";
        EXPECT_TRUE(IsRegistryLinkAt(link)) << "the link stays";
        for (const char* gone : {"\\t\\a", "\\t\\z"}) {
            TRegEngine sibling = tree;
            sibling.Key = base + gone;
            EXPECT_FALSE(RegKeyExists(sibling)) << gone << ": the keys beside the link go";
        }
        EXPECT_TRUE(RegKeyExists(tree)) << "the key above the link stays";

        EXPECT_FALSE(DeleteRegKey(link));
        EXPECT_EQ(link.Error, kStoppedOnLink);
        EXPECT_TRUE(IsRegistryLinkAt(link));
        EXPECT_EQ(ReadRegString(victim), "x");

        if (root == kRootHKCU) {  // a user's key is never reached through a link on the way
            TRegEngine throughLink = link;
            throughLink.Key = link.Key + "\\inner";
            EXPECT_FALSE(DeleteRegKey(throughLink));
            EXPECT_EQ(throughLink.Error, kStoppedOnLink);
            EXPECT_EQ(ReadRegString(victim), "x");
        }

        // The link removed, the rest goes at once.
        UniqueRegKey parent;
        ASSERT_EQ(RegOpenKeyExA(rootKey, tree.Key.c_str(), 0, KEY_ALL_ACCESS, parent.Put()), ERROR_SUCCESS);
        UniqueRegKey held;
        ASSERT_EQ(RegOpenKeyExA(parent.Get(), "m", REG_OPTION_OPEN_LINK, DELETE, held.Put()), ERROR_SUCCESS);
        using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
        auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
        ASSERT_TRUE(ntDeleteKey && ntDeleteKey(held.Get()) >= 0);
        TRegEngine top = tree;
        top.Key = base;
        EXPECT_TRUE(DeleteRegKey(top)) << RegErrorText(top);
    }
    EXPECT_TRUE(DeleteRegKey(victimRoot));
}

TEST_F(Registry, DeleteKeyRefusesToNameTheRoot)
{
    // An empty key path names the root itself; nothing below it may go.
    TRegEngine marker = Ref("keep", "v");
    WriteRegString(marker, "x");
    for (const char* path : {"", "\\", "\\\\"}) {
        TRegEngine root;
        root.Root = kRootHKCU;
        root.Key = path;
        EXPECT_FALSE(DeleteRegKey(root));
        EXPECT_EQ(root.Error, ERROR_INVALID_PARAMETER);
        EXPECT_TRUE(KeyPresent("keep")) << "path '" << path << "'";
    }
    TRegistryEx reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.DeleteKey(""));
    EXPECT_TRUE(KeyPresent("keep"));
}

TEST_F(Registry, NameListsMarkTheDefaultValue)
{
    TRegEngine rec = Ref("k", "");
    WriteRegString(rec, "unnamed");
    rec.Value = "second";
    WriteRegInteger(rec, 2);
    for (const char* sub : {"k\\s1", "k\\s2"}) {
        TRegEngine child = Ref(sub, "v");
        WriteRegInteger(child, 1);
    }

    TStringList names{"stale"};
    GetRegValueNames(rec, names);
    EXPECT_EQ(rec.Error, 0);
    ASSERT_EQ(names.size(), 2u);
    int unnamedAt = names[0] == "second" ? 1 : 0;
    EXPECT_EQ(names[1 - unnamedAt], "second");
    EXPECT_EQ(names[unnamedAt], "(Def\xE0ult)");
    EXPECT_EQ(static_cast<unsigned char>(names[unnamedAt][4]), 0xE0) << "Cyrillic a, code page 1251";
    EXPECT_EQ(names[unnamedAt], kDefaultValueName);

    TStringList names64;
    GetRegValueNames(rec, names64, RegView::Key64);
    EXPECT_EQ(names64.size(), 2u);

    TStringList keys{"stale"};
    GetRegKeyNames(rec, keys);
    EXPECT_EQ(keys, (TStringList{"s1", "s2"}));

    TRegEngine missing = Ref("absent", "");
    names = {"stale"};
    GetRegValueNames(missing, names);
    EXPECT_TRUE(names.empty());
    keys = {"stale"};
    GetRegKeyNames(missing, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(missing.Error, 0);

    TStringList marked{"", "a", "", ""};
    MarkDefaultValueNames(marked);
    EXPECT_EQ(marked, (TStringList{kDefaultValueName, "a", kDefaultValueName, kDefaultValueName}));
}

TEST_F(Registry, MultiStrings)
{
    TRegEngine rec = Ref("k", "list");
    DWORD type = 0;
    std::string data;

    WriteRegMultiString(rec, {});
    EXPECT_EQ(rec.Error, 0);
    ASSERT_TRUE(GetRaw("k", "list", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(data, std::string("\0", 1)) << "an empty list is one NUL";
    TStringList list{"stale"};
    ReadRegMultiString(rec, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(rec.Error, 0);

    TStringList withGaps{"C:\\a.exe|0123", "", "b", ""};
    WriteRegMultiString(rec, withGaps);
    ASSERT_TRUE(GetRaw("k", "list", type, data));
    EXPECT_EQ(data, std::string("C:\\a.exe|0123\0\0b\0\0\0", 19));
    ReadRegMultiString(rec, list);
    EXPECT_EQ(list, withGaps) << "empty entries survive";

    SetRaw("k", "two", REG_MULTI_SZ, std::string("\0\0", 2));
    TRegEngine two = Ref("k", "two");
    ReadRegMultiString(two, list);
    EXPECT_EQ(list, TStringList{""}) << "two NUL bytes are one empty entry";

    SetRaw("k", "tail", REG_MULTI_SZ, std::string("a\0bc\0", 5));
    TRegEngine tail = Ref("k", "tail");
    ReadRegMultiString(tail, list);
    EXPECT_EQ(list, TStringList{"a"}) << "text after the last inner NUL is dropped";

    TRegEngine text = Ref("k", "text");
    WriteRegString(text, "not a list");
    list = {"stale"};
    ReadRegMultiString(text, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(text.Error, ERROR_DATATYPE_MISMATCH);

    TRegEngine missing = Ref("absent", "list");
    list = {"stale"};
    ReadRegMultiString(missing, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(missing.Error, 0);

    // The class itself leaves the list alone when there is nothing to read.
    TRegistryEx reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(base_ + "\\k", false));
    list = {"kept"};
    reg.ReadMultiSz("absent", &list);
    EXPECT_EQ(list, TStringList{"kept"});
    reg.ReadMultiSz("list", nullptr);
    try {
        reg.ReadMultiSz("text", &list);
        ADD_FAILURE() << "a text value is not a list";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'text'");
    }
}

TEST_F(Registry, UnknownRootFailsAsAnInvalidHandle)
{
    auto rec = [&](const char* value) { return Ref("k", value, 7); };
    TRegEngine r = rec("s");
    EXPECT_EQ(GetRootKey(r), nullptr);
    EXPECT_EQ(r.Error, 0);
    auto failed = [&r] {
        const bool asExpected = r.Error == ERROR_INVALID_HANDLE;
        r.Error = 0;
        return asExpected;
    };
    EXPECT_EQ(ReadRegString(r), "");
    EXPECT_TRUE(failed());
    EXPECT_EQ(ReadRegString(r, RegView::Key64), "");
    EXPECT_TRUE(failed());
    EXPECT_EQ(ReadRegInteger(r), -1);
    EXPECT_TRUE(failed());
    EXPECT_FALSE(ReadRegBool(r));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(RegKeyExists(r));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(RegValueExists(r));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(DeleteRegValue(r));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(DeleteRegValue(r, RegView::Key64));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(DeleteRegKey(r));
    EXPECT_EQ(r.Error, ERROR_INVALID_PARAMETER);

    EXPECT_FALSE(WriteRegString(r, "x"));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(WriteRegString(r, "x", RegView::Key64));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(WriteRegInteger(r, 1));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(WriteRegBool(r, true));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(WriteRegMultiString(r, {"a"}));
    EXPECT_TRUE(failed());
    EXPECT_FALSE(WriteRegStringW(r, L"w", L"x"));
    EXPECT_TRUE(failed());

    TStringList list{"stale"};
    GetRegValueNames(r, list);
    EXPECT_TRUE(list.empty());
    list = {"stale"};
    GetRegKeyNames(r, list);
    EXPECT_TRUE(list.empty());
    list = {"stale"};
    ReadRegMultiString(r, list);
    EXPECT_TRUE(list.empty());

    EXPECT_FALSE(KeyPresent("k")) << "nothing was created anywhere";
    EXPECT_FALSE(WaitForKeyChange(r, RegView::Default));
}

TEST_F(Registry, SixtyFourBitView)
{
    TRegEngine rec = Ref("k", "s");
    WriteRegString(rec, "wide", RegView::Key64);
    EXPECT_EQ(rec.Error, 0);
    EXPECT_EQ(ReadRegString(rec, RegView::Key64), "wide");
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(GetRaw("k", "s", type, data, KEY_WOW64_64KEY));
    EXPECT_EQ(data, std::string("wide\0", 5));
    TStringList names;
    GetRegValueNames(rec, names, RegView::Key64);
    EXPECT_EQ(names, TStringList{"s"});
    EXPECT_TRUE(DeleteRegValue(rec, RegView::Key64));
    EXPECT_FALSE(GetRaw("k", "s", type, data, KEY_WOW64_64KEY));
    EXPECT_FALSE(DeleteRegValue(rec, RegView::Key64));

    TRegEngine dword = Ref("k", "d");
    WriteRegInteger(dword, 3);
    EXPECT_EQ(ReadRegString(dword, RegView::Key64), "");
    EXPECT_EQ(dword.Error, ERROR_DATATYPE_MISMATCH);

    TRegistryEx reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.OpenKeyReadOnly(base_ + "\\k", RegView::Key64));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_READ)) << "stored without the view flag";
    EXPECT_FALSE(reg.OpenKeyReadOnly(base_ + "\\absent", RegView::Key64));
    reg.SetAccess(KEY_ALL_ACCESS);
    EXPECT_TRUE(reg.OpenKey("made", true, RegView::Key64)) << "relative to the open key";
    EXPECT_TRUE(KeyPresent("k\\made"));
    EXPECT_FALSE(reg.OpenKey("\\" + base_ + "\\other", false, RegView::Key64));
}

TEST_F(Registry, KeyClassPathsAndErrors)
{
    EXPECT_TRUE(TRegistryEx::IsRelativeKey("a\\b"));
    EXPECT_TRUE(TRegistryEx::IsRelativeKey(""));
    EXPECT_FALSE(TRegistryEx::IsRelativeKey("\\a"));

    TRegistryEx reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    ASSERT_TRUE(reg.OpenKey(base_, true));
    EXPECT_EQ(reg.CurrentPath(), base_);
    ASSERT_TRUE(reg.OpenKey("child", true)) << "relative to the open key";
    EXPECT_EQ(reg.CurrentPath(), base_ + "\\child");
    EXPECT_TRUE(KeyPresent("child"));
    EXPECT_FALSE(reg.OpenKey("missing", false));
    EXPECT_EQ(reg.CurrentPath(), base_ + "\\child") << "a failed open keeps the current key";
    ASSERT_TRUE(reg.OpenKey("\\" + base_, false)) << "a leading backslash starts at the root";
    EXPECT_EQ(reg.CurrentPath(), base_);
    EXPECT_TRUE(reg.KeyExists("child"));
    EXPECT_TRUE(reg.KeyExists("\\" + base_ + "\\child"));
    EXPECT_FALSE(reg.KeyExists("nothing"));

    EXPECT_EQ(reg.GetDataSize("none"), -1);
    reg.WriteString("s", "abc");
    EXPECT_EQ(reg.GetDataSize("s"), 4);
    EXPECT_TRUE(reg.ValueExists("s"));
    auto expectError = [](auto call, const char* message) {
        try {
            call();
            ADD_FAILURE() << "no error, expected: " << message;
        } catch (const ERegistryException& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectError([&] { reg.ReadInteger("none"); }, "Failed to get data for 'none'");
    expectError([&] { reg.ReadInteger("s"); }, "Invalid data type for 's'");
    reg.WriteInteger("i", 9);
    expectError([&] { reg.ReadString("i"); }, "Invalid data type for 'i'");

    ASSERT_TRUE(reg.OpenKeyReadOnly("child"));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_READ));
    expectError([&] { reg.WriteString("w", "x"); }, "Failed to set data for 'w'");
    EXPECT_EQ(reg.LastError(), ERROR_ACCESS_DENIED) << "the key was opened read-only";
    try {
        reg.WriteInteger("w", 1);
        ADD_FAILURE() << "a key opened read-only took a write";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Code, ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(reg.DeleteValue("w"));
    EXPECT_EQ(reg.LastError(), ERROR_ACCESS_DENIED);

    reg.CloseKey();
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_EQ(reg.CurrentPath(), "");
    expectError([&] { reg.WriteInteger("w", 1); }, "Failed to set data for 'w'");
    expectError([&] { reg.WriteMultiSz("w", {"a"}); }, "Invalid data type for 'w'");
    EXPECT_EQ(reg.ReadString("s"), "") << "no current key reads as missing";
    EXPECT_FALSE(reg.ValueExists("s"));
    TStringList list{"stale"};
    reg.GetValueNames(list);
    EXPECT_TRUE(list.empty());
}

// Grants Everyone nothing but the right to query values (the owner keeps its
// implicit right to change the DACL back).
bool RestrictToQueryValue(HKEY key)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
    EXPLICIT_ACCESSA access{};
    access.grfAccessPermissions = KEY_QUERY_VALUE;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPSTR>(everyone);
    PACL acl = nullptr;
    bool ok = SetEntriesInAclA(1, &access, nullptr, &acl) == ERROR_SUCCESS &&
              SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    if (acl) LocalFree(acl);
    FreeSid(everyone);
    return ok;
}

TEST_F(Registry, ReadOnlyOpenFallsBackToQueryValue)
{
    TRegEngine rec = Ref("locked", "v");
    WriteRegString(rec, "visible");
    {
        UniqueRegKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, rec.Key.c_str(), 0, KEY_ALL_ACCESS, key.Put()), ERROR_SUCCESS);
        ASSERT_TRUE(RestrictToQueryValue(key.Get()));
    }
    UniqueRegKey probe;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, rec.Key.c_str(), 0, KEY_READ, probe.Put()) == ERROR_SUCCESS)
        GTEST_SKIP() << "this registry does not enforce key DACLs";

    TRegistryEx reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.OpenKeyReadOnly(rec.Key, RegView::Key64));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_QUERY_VALUE));
    EXPECT_EQ(reg.ReadString("v"), "visible");
    reg.SetAccess(KEY_ALL_ACCESS);
    EXPECT_TRUE(reg.OpenKeyReadOnly("\\" + rec.Key));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_QUERY_VALUE));
    EXPECT_EQ(ReadRegString(rec), "visible");
    EXPECT_EQ(ReadRegString(rec, RegView::Key64), "visible");
}

// Runs WaitForKeyChange on a thread of its own; the result arrives later.
struct Waiter {
    std::shared_ptr<std::atomic<int>> result = std::make_shared<std::atomic<int>>(-1);  // -1 still waiting
    void Start(TRegEngine rec, RegView view, HANDLE stop)
    {
        auto out = result;
        std::thread([rec, view, stop, out]() mutable { *out = WaitForKeyChange(rec, view, stop) ? 1 : 0; }).detach();
    }
    bool Finished(DWORD timeoutMs) const
    {
        return WaitUntil([&] { return *result != -1; }, timeoutMs);
    }
};

TEST_F(Registry, WaitForKeyChangeWakesOnASubkeyChange)
{
    for (RegView view : {RegView::Default, RegView::Key64}) {
        TRegEngine watched = Ref("w", "");
        WriteRegString(watched, "start");
        TRegEngine deep = Ref("w\\sub\\deeper", "v");
        WriteRegInteger(deep, 0);

        Waiter waiter;
        waiter.Start(watched, view, nullptr);
        EXPECT_FALSE(waiter.Finished(300)) << "nothing changed yet";
        std::thread([deep]() mutable { WriteRegInteger(deep, 1); }).join();
        ASSERT_TRUE(waiter.Finished(5000)) << "64-bit view " << (view == RegView::Key64);
        EXPECT_EQ(*waiter.result, 1);
    }
}

TEST_F(Registry, WaitForKeyChangeEndsOnStopOrMissingKey)
{
    TRegEngine missing = Ref("absent", "");
    DWORD start = GetTickCount();
    EXPECT_FALSE(WaitForKeyChange(missing, RegView::Default));
    EXPECT_FALSE(WaitForKeyChange(missing, RegView::Key64));
    EXPECT_LT(GetTickCount() - start, 5000u) << "no wait for a key that is not there";

    TRegEngine watched = Ref("w", "v");
    WriteRegInteger(watched, 0);
    UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Waiter waiter;
    waiter.Start(watched, RegView::Default, stop.Get());
    EXPECT_FALSE(waiter.Finished(300));
    SetEvent(stop.Get());
    ASSERT_TRUE(waiter.Finished(5000));
    EXPECT_EQ(*waiter.result, 0) << "a stop is not a change";

    // A change with no stop set still reports true when a stop event is given.
    ResetEvent(stop.Get());
    Waiter changed;
    changed.Start(watched, RegView::Default, stop.Get());
    Sleep(200);
    WriteRegInteger(watched, 1);
    ASSERT_TRUE(changed.Finished(5000));
    EXPECT_EQ(*changed.result, 1);
}

TEST(RegistrySettings, SettingRefNamesTheSettingsKey)
{
    TRegEngine rec = SettingRef("hosts_guard");
    EXPECT_EQ(rec.Root, kRootHKLM);
    EXPECT_EQ(rec.Key, "SOFTWARE\\Quorvane");
    EXPECT_EQ(rec.Value, "hosts_guard");
    EXPECT_EQ(rec.Error, 0);
    WriteRegInteger(rec, 2);
    EXPECT_EQ(rec.Error, 0);
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvane", 0, KEY_READ, key.Put()), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof(value);
    ASSERT_EQ(RegQueryValueExA(key.Get(), "hosts_guard", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    TRegEngine cleanup = SettingRef("hosts_guard");
    EXPECT_TRUE(DeleteRegValue(cleanup));
}

}  // namespace
