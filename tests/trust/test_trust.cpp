// Signature test under Wine: missing and unsigned files, a program signed at
// build time by a throw-away root that the suite installs into the prefix's
// ROOT store, a changed copy of it, first use from several threads, and the end
// of the unit. The cases run in order: the first two need WinTrust not loaded.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>
#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "Trust.h"
#include "qvFiles.h"

namespace {

const char* kSignedExe = "qv_signed.exe";  // qv_waiter.exe with an embedded signature
const char* kUnsignedExe = "qv_waiter.exe";

bool WinTrustLoaded() { return GetModuleHandleA("wintrust.dll") != nullptr; }

// The file offset of the first section's raw data: a byte there is covered
// by the Authenticode hash.
DWORD FirstSectionOffset(const std::string& image)
{
    if (image.size() < 0x40) return 0;
    DWORD peOffset = *reinterpret_cast<const DWORD*>(image.data() + 0x3C);
    if (peOffset + sizeof(IMAGE_NT_HEADERS) > image.size()) return 0;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + peOffset);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    return section->PointerToRawData;
}

// What WinVerifyTrust itself answers for the embedded signature of a file, for
// the test log (the unit under test only answers yes or no).
LONG RawVerify(const std::string& path)
{
    HMODULE library = LoadLibraryA("wintrust.dll");
    if (!library) return static_cast<LONG>(GetLastError());
    auto verify = reinterpret_cast<decltype(&WinVerifyTrust)>(
        reinterpret_cast<void*>(GetProcAddress(library, "WinVerifyTrust")));
    std::wstring wide(path.begin(), path.end());
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    GUID policy = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &policy, &data);
    FreeLibrary(library);
    return result;
}

// True when some system catalog holds the file's hash.
bool InSomeCatalog(const std::string& path)
{
    HMODULE library = LoadLibraryA("wintrust.dll");
    if (!library) return false;
    auto acquire = reinterpret_cast<decltype(&CryptCATAdminAcquireContext)>(
        reinterpret_cast<void*>(GetProcAddress(library, "CryptCATAdminAcquireContext")));
    auto release = reinterpret_cast<decltype(&CryptCATAdminReleaseContext)>(
        reinterpret_cast<void*>(GetProcAddress(library, "CryptCATAdminReleaseContext")));
    auto calc = reinterpret_cast<decltype(&CryptCATAdminCalcHashFromFileHandle)>(
        reinterpret_cast<void*>(GetProcAddress(library, "CryptCATAdminCalcHashFromFileHandle")));
    auto find = reinterpret_cast<decltype(&CryptCATAdminEnumCatalogFromHash)>(
        reinterpret_cast<void*>(GetProcAddress(library, "CryptCATAdminEnumCatalogFromHash")));
    auto releaseCatalog = reinterpret_cast<decltype(&CryptCATAdminReleaseCatalogContext)>(
        reinterpret_cast<void*>(GetProcAddress(library, "CryptCATAdminReleaseCatalogContext")));
    bool found = false;
    HCATADMIN admin = nullptr;
    if (acquire(&admin, nullptr, 0)) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        BYTE hash[256];
        DWORD size = sizeof(hash);
        if (file != INVALID_HANDLE_VALUE && calc(file, &size, hash, 0)) {
            HCATINFO catalog = find(admin, hash, size, 0, nullptr);
            found = catalog != nullptr;
            if (catalog) releaseCatalog(admin, catalog, 0);
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        release(admin, 0);
    }
    FreeLibrary(library);
    return found;
}

// On Windows the signer's chain must end in a trusted root, hence the install.
// Wine 8.0's WinTrust checks the digest but not the root: it also accepts a
// signature whose root is in no store, so under Wine the yes-cases pass either way.
class TrustTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcess addRoot;
        ASSERT_TRUE(addRoot.Start(HelperPath("qv_addroot.exe"), "\"" + HelperPath("qv_testroot.cer") + "\""));
        ASSERT_EQ(addRoot.Wait(30000), 0u) << "the test root did not go into the ROOT store";
    }
};

TEST_F(TrustTest, MissingFileIsNotSignedWithoutLoadingWinTrust)
{
    ScratchDir dir;
    ASSERT_FALSE(WinTrustLoaded());
    EXPECT_FALSE(IsFileSigned(dir / "absent.exe"));
    EXPECT_FALSE(IsFileSigned(""));
    EXPECT_FALSE(IsFileSigned(dir.Path()));  // a folder is no file
    EXPECT_FALSE(WinTrustLoaded());
}

// First use from several threads at once: the lazy load happens once and every
// thread gets the same answers as a single caller would.
TEST_F(TrustTest, FirstUseFromSeveralThreads)
{
    ASSERT_FALSE(WinTrustLoaded());
    const std::string signedExe = HelperPath(kSignedExe);
    const std::string unsignedExe = HelperPath(kUnsignedExe);
    std::atomic<int> signedYes{0}, unsignedYes{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            for (int round = 0; round < 3; ++round) {
                if (IsFileSigned(signedExe)) ++signedYes;
                if (IsFileSigned(unsignedExe)) ++unsignedYes;
            }
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_TRUE(WinTrustLoaded());
    EXPECT_EQ(unsignedYes, 0);
    EXPECT_EQ(signedYes, 8 * 3);
}

TEST_F(TrustTest, UnsignedFilesAreNotSigned)
{
    ScratchDir dir;
    EXPECT_FALSE(IsFileSigned(HelperPath(kUnsignedExe)));
    ASSERT_TRUE(WriteTextFile(dir / "notes.txt", "plain text, no signature\r\n"));
    EXPECT_FALSE(IsFileSigned(dir / "notes.txt"));
    ASSERT_TRUE(WriteTextFile(dir / "empty.exe", ""));
    EXPECT_FALSE(IsFileSigned(dir / "empty.exe"));
}

// No catalog holds the test program, so a yes can only come from the embedded
// signature: the lookup that finds nothing must fall through to it.
TEST_F(TrustTest, EmbeddedSignatureWhenNoCatalogHoldsTheFile)
{
    const std::string signedExe = HelperPath(kSignedExe);
    ASSERT_TRUE(FileExists(signedExe));
    LONG raw = RawVerify(signedExe);
    std::printf("WinVerifyTrust(%s) = 0x%08lX\n", kSignedExe, static_cast<unsigned long>(raw));
    ASSERT_FALSE(InSomeCatalog(signedExe));
    EXPECT_EQ(raw, 0);
    EXPECT_TRUE(IsFileSigned(signedExe));
}

TEST_F(TrustTest, ChangedByteBreaksTheSignature)
{
    ScratchDir dir;
    std::string image;
    ASSERT_TRUE(ReadFileBytes(HelperPath(kSignedExe), image));
    DWORD offset = FirstSectionOffset(image);
    ASSERT_GT(offset, 0u);
    ASSERT_LT(offset + 16, image.size());

    ASSERT_TRUE(WriteFileBytes(dir / "copy.exe", image));
    EXPECT_TRUE(IsFileSigned(dir / "copy.exe"));  // the signature does not depend on the path

    image[offset + 16] = static_cast<char>(image[offset + 16] ^ 0x01);
    ASSERT_TRUE(WriteFileBytes(dir / "changed.exe", image));
    LONG raw = RawVerify(dir / "changed.exe");
    std::printf("WinVerifyTrust(changed copy) = 0x%08lX\n", static_cast<unsigned long>(raw));
    EXPECT_FALSE(IsFileSigned(dir / "changed.exe"));
}

// After the unit is finalised nothing calls into the freed library: every
// answer is no, and a late InitTrust does not bring it back.
TEST_F(TrustTest, AfterFinalizeEveryAnswerIsNo)
{
    const std::string signedExe = HelperPath(kSignedExe);
    InitTrust();
    ASSERT_TRUE(IsFileSigned(signedExe));
    FinalizeTrust();
    EXPECT_FALSE(IsFileSigned(signedExe));
    InitTrust();
    EXPECT_FALSE(IsFileSigned(signedExe));
    FinalizeTrust();
}

}  // namespace
