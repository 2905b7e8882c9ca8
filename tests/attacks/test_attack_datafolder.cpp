// Attacks on the service's data folder: a folder a user made before the
// install, and links or hard links a user put inside it, must never have the
// service write, move or delete anything of anyone else's.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <map>

#include "QuorvaneService.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvOwnFolder.h"
#include "qvPlainFiles.h"
#include "uCommonUtils.h"
#include "uHostsProcedures.h"

using namespace harness;

namespace {

std::string DataPath() { return ExcludeTrailingBackslash(GetDataFolder()); }

TStringList AsideFolders()
{
    TStringList found;
    WIN32_FIND_DATAA data{};
    UniqueFindHandle find(FindFirstFileA((DataPath() + ".untrusted-*").c_str(), &data));
    if (find) do found.push_back(ExtractFilePath(DataPath()) + data.cFileName); while (FindNextFileA(find.Get(), &data));
    return found;
}

// Every allowed entry of the folder's descriptor, as read back: SID text -> mask.
std::map<std::string, DWORD> AllowedAces(const std::string& path, std::string& sddl)
{
    std::map<std::string, DWORD> aces;
    char buffer[8192];
    DWORD needed = 0;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, buffer, sizeof(buffer),
                          &needed))
        return aces;
    char* text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(buffer, &present, &dacl, &defaulted) || !dacl) return aces;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        char* sid = nullptr;
        if (ConvertSidToStringSidA(&ace->SidStart, &sid)) {
            aces[sid] |= ace->Mask;
            LocalFree(sid);
        }
    }
    return aces;
}

TFolderOwner AnswerOther(HANDLE) { return TFolderOwner::Other; }
TFolderOwner AnswerTrusted(HANDLE) { return TFolderOwner::Trusted; }

TEST(DataFolderOwner, FolderAUserMadeIsMovedAsideAndOursIsKeptWithItsOwnDescriptor)
{
    RemoveService();
    ResetMachineState();
    for (const auto& aside : AsideFolders()) RemoveTree(aside);

    // Made by a user before the install, with a file the user controls.
    ASSERT_TRUE(ForceDirectories(DataPath()));
    ASSERT_TRUE(WriteTextFile(GetDataFolder() + "goodlist.arn", "USER'S DIGEST\r\n"));
    SetFolderOwnerLookup(AnswerOther);
    const TOwnFolderResult taken = TakeDataFolder();
    SetFolderOwnerLookup(nullptr);
    EXPECT_TRUE(taken.Usable) << taken.Note;
    EXPECT_NE(taken.Note.find("moved aside"), std::string::npos) << taken.Note;
    const TStringList aside = AsideFolders();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadTextFile(aside[0] + "\\goodlist.arn"), "USER'S DIGEST\r\n") << "nothing of it deleted";
    EXPECT_FALSE(FileExists(GetDataFolder() + "goodlist.arn")) << "the new folder starts empty";

    // Read back: only SYSTEM, Administrators and the owner may write, and
    // nobody is let in as Everyone.
    std::string sddl;
    const auto aces = AllowedAces(DataPath(), sddl);
    std::printf("data folder descriptor read back: %s\n", sddl.c_str());
    ASSERT_FALSE(aces.empty()) << sddl;
    const DWORD writeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                              FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    std::string ownerSid = sddl.substr(2, sddl.find("D:") - 2);
    for (const auto& [sid, mask] : aces) {
        EXPECT_NE(sid, "S-1-1-0") << sddl;
        if (sid != "S-1-5-18" && sid != "S-1-5-32-544" && sid != ownerSid) EXPECT_EQ(mask & writeRights, 0u) << sid;
    }

    // A folder SYSTEM or Administrators own keeps what it holds.
    ASSERT_TRUE(WriteTextFile(GetDataFolder() + "report.rdb", "kept"));
    SetFolderOwnerLookup(AnswerTrusted);
    const TOwnFolderResult kept = TakeDataFolder();
    SetFolderOwnerLookup(nullptr);
    EXPECT_TRUE(kept.Usable);
    EXPECT_EQ(ReadTextFile(GetDataFolder() + "report.rdb"), "kept");
    EXPECT_EQ(AsideFolders().size(), 1u);
    for (const auto& folder : AsideFolders()) RemoveTree(folder);
}

class DataFolderLinks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_attack_data", "ServiceQuorvane.exe")));
    }
    static void TearDownTestSuite() { RemoveService(); }
    void TearDown() override
    {
        StopAndWaitStopped();
        for (const auto& link : links_) RemoveLink(link);
    }
    // A file of someone else's, and a link to it at `name` in the data folder.
    std::string Victim(const std::string& name, bool hard = false)
    {
        const std::string victim = victims_ / (name + ".victim");
        EXPECT_TRUE(WriteTextFile(victim, "protected " + name));
        const std::string link = GetDataFolder() + name;
        RemoveFile(link);
        EXPECT_TRUE(hard ? MakeHardLink(link, victim) : MakeLink(link, victim)) << link;
        links_.push_back(link);
        return victim;
    }
    static void Send(TMSlotMessage m) { ASSERT_TRUE(SendToMailSlot(m, kServiceSlot)); }
    static void Settle()
    {
        TMSlotMessage m = Request(13, 20);
        ASSERT_TRUE(Ask(m));
    }

    ScratchDir victims_;
    TStringList links_;
};

TEST_F(DataFolderLinks, LinksAndHardLinksInsideAreNeitherFollowedNorWrittenThrough)
{
    ASSERT_TRUE(StartAndWaitRunning());
    ASSERT_TRUE(StopAndWaitStopped());
    std::map<std::string, std::string> victims;
    for (const char* name : {"service_old.log", "gui.log", "gui_old.log", "backHosts.qrv", "report.rdb", "goodlist.arn"})
        victims[name] = Victim(name);
    victims["hostlist.qrv"] = Victim("hostlist.qrv", true);
    ScratchDir victimFolder;
    RemoveTree(GetDataFolder() + "jail");
    ASSERT_TRUE(MakeLink(GetDataFolder() + "jail", victimFolder.Path()));
    links_.push_back(GetDataFolder() + "jail");

    ASSERT_TRUE(StartAndWaitRunning());  // rotates the logs: deletes "_old", renames the log
    Send(Request(12, 0, "", "a line of the tray"));
    const std::string transfer = GetEnvVar("TEMP") + "\\datalinkqrv.~tmp";
    ASSERT_TRUE(WriteTextFile(transfer, "127.0.0.1 localhost\r\n"));
    TMSlotMessage install = Request(13, 17, "", transfer);
    install.Bool = true;  // the backup refreshed from the new hosts file
    Send(install);
    Send(Request(44, 0, "", "user.example@10.1.1.1"));
    Send(Request(19, 0, "", "0123456789ABCDEF0123456789ABCDEF"));
    Send(Request(41));  // the report deleted: through a link it would take the victim
    Settle();
    for (const auto& [name, victim] : victims)
        EXPECT_EQ(ReadTextFile(victim), "protected " + name) << name << " followed";
    EXPECT_TRUE(FileExists(victims["report.rdb"]));
    RemoveFile(transfer);

    // A changed hosts file: its copy would go to the jail, here a link.
    TMSlotMessage on = Request(38, 0, "hosts_default");
    on.Bool = true;
    Send(on);
    on.Mess.Set("hosts_guard");
    Send(on);
    Settle();
    ASSERT_TRUE(WriteTextFile(GetHostsFilePath(), "10.6.6.6 bank.example\r\n"));
    EXPECT_TRUE(WaitUntil([] { return ReadTextFile(GetDataFolder() + "service.log").find("jail\\") != std::string::npos; },
                          30000))
        << "the guard tried its jail copy";
    EXPECT_TRUE(WaitUntil([] { return ReadTextFile(GetHostsFilePath()).find("bank.example") == std::string::npos; },
                          30000))
        << "the hosts file is repaired without its jail copy";
    TStringList planted;
    ListFolderFiles(victimFolder.Path(), planted);
    EXPECT_TRUE(planted.empty()) << "the jail through a link: " << (planted.empty() ? "" : planted[0]);
}

TEST_F(DataFolderLinks, DataFolderThatIsALinkIsNotUsed)
{
    StopAndWaitStopped();
    ScratchDir victimFolder;
    RemoveTree(DataPath());
    ASSERT_TRUE(MakeLink(DataPath(), victimFolder.Path()));
    links_.push_back(DataPath());
    ASSERT_TRUE(StartAndWaitRunning());
    Send(Request(12, 0, "", "a line of the tray"));
    Send(Request(44, 0, "", "user.example@10.1.1.1"));
    Settle();
    TStringList planted;
    ListFolderFiles(victimFolder.Path(), planted);
    EXPECT_TRUE(planted.empty()) << "made where the link points: " << (planted.empty() ? "" : planted[0]);
    EXPECT_EQ(State(), SERVICE_RUNNING) << "the guards run on without a data folder";
}

}  // namespace
