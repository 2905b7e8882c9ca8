// The hosts manager, the trust list and the new-autorun dialog in the test
// program, against the real service of the test prefix (its own hosts file):
// the tray's hidden window and receiver are built here, the windows are
// driven by messages and checked from their controls and from the files.
#include <gtest/gtest.h>

#include <memory>

#include "SlotListener.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "WindowShot.h"
#include "fmAutorunDlg.h"
#include "fmHostsManager.h"
#include "fmMessage.h"
#include "fmTrustList.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"

using namespace traytest;

namespace {

const TStringList kHostsLines = {"# test hosts", "127.0.0.1       localhost",
                                 "6.6.6.6 a.example b.example\tc.example", "1.1.1.1 ok.example"};

std::string HostsPath() { return GetSystemFolder() + "drivers\\etc\\hosts"; }

void Click(gui::TButton* button) { SendMessageA(button->Handle(), BM_CLICK, 0, 0); }

// Routes a menu item's or control's WM_COMMAND through the form, as the system would.
void Command(gui::TForm* form, UINT id, WORD code = 0, HWND control = nullptr)
{
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

// Saves the window's picture to build/artifacts/<name>.png once it is
// painted: a loaded machine may not have drawn it yet, or only its frame (the
// screenshot check wants the eight colours of texts and controls at least).
void SaveScreenshot(gui::TForm* form, const std::string& name)
{
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WindowShot shot;
    PumpUntil([&] { return shot.Capture(form->Handle()) && shot.Colours(8) >= 8; }, 30000);
    EXPECT_TRUE(shot.SavePng(ArtifactsFolder() + name + ".png")) << name;
}

class Windows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
        // The receiver first: the service then finds a tray and starts none.
        receiver_ = std::make_unique<TThreadMess>();
        receiver_->Start();
        ASSERT_TRUE(PumpUntil([] { return receiver_->SlotActive(); }, 15000));
        ASSERT_TRUE(ServiceUp());
        // The cases add to the default allow-list the service makes as it starts.
        ASSERT_TRUE(PumpUntil([] { return FileExists(GetDataFolder() + "hostlist.qrv"); }, 30000));
        SetCurrentLanguage("Russian.lng");
        LoadEventTexts(TrayApp().Language.Texts);
        RegisterStandIns();  // the settings window is a stand-in
        RegisterHostsManagerForm();
        RegisterTrustListForm();
        RegisterAutorunDialogForm();
    }
    static void TearDownTestSuite()
    {
        ResetOpened();
        receiver_->Terminate();
        PumpUntil([] { return receiver_->Finished(); }, 3000);
        receiver_.reset();
        DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        PumpOnce();
        TakeQuit();
        gui::DoneApplication();
        RemoveServiceAtEnd();
    }
    void TearDown() override { ResetOpened(); }

    static std::unique_ptr<TThreadMess> receiver_;
};
std::unique_ptr<TThreadMess> Windows::receiver_;

using HostsManager = Windows;

TfmHostsManager* OpenHostsManagerByMenu()
{
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdHostsCopy, 0);
    PumpUntil([] { return IsFormOpen(kHostsManagerForm); }, 10000);
    return dynamic_cast<TfmHostsManager*>(gui::FindForm(kHostsManagerForm));
}

int RowOf(TfmHostsManager* w, const std::string& host)
{
    for (size_t i = 0; i < w->RedirectList().size(); ++i)
        if (w->RedirectList()[i].Host == host) return static_cast<int>(i);
    return -1;
}

TEST_F(HostsManager, TheCopyItsColoursTheAllowListAndThePopupMenu)
{
    ASSERT_TRUE(SaveLines(HostsPath(), kHostsLines));
    ASSERT_TRUE(HostListAdd("OK.example@1.1.1.1"));
    TfmHostsManager* w = OpenHostsManagerByMenu();
    ASSERT_NE(w, nullptr);
    const std::string copy = w->CopyName();
    EXPECT_TRUE(IsDeletableHostsCopy(copy, TransferFolder())) << copy;
    EXPECT_EQ(w->MemoLines(), kHostsLines);
    EXPECT_EQ(w->pcHosts->ActivePage(), w->tsViewHosts);
    ASSERT_EQ(w->RedirectList().size(), 5u) << "one row per host, three from one line";
    for (const char* host : {"a.example", "b.example", "c.example"}) {
        TColor text = 0, back = 0;
        ASSERT_TRUE(w->lvHosts->OnCustomDraw(RowOf(w, host), 0, text, back));
        EXPECT_EQ(back, clRed) << host;
        EXPECT_EQ(text, clWhite);
    }
    TColor text = 0, back = 0;
    ASSERT_TRUE(w->lvHosts->OnCustomDraw(RowOf(w, "ok.example"), 1, text, back));
    EXPECT_EQ(back, kAllowedRowColor) << "the allow-list compares ignoring case";
    EXPECT_TRUE(w->RedirectList()[RowOf(w, "localhost")].Allowed);
    EXPECT_EQ(w->AllowList().size(), 2u);
    SaveScreenshot(w, "hosts-manager");

    // allow, then disallow, through the pop-up menu of the selected row
    w->lvHosts->Select(RowOf(w, "b.example"));
    w->lvHosts->SetFocus();
    w->pmHosts.OnPopup();
    ASSERT_TRUE(w->pmHosts.Items()[0]->Enabled());
    Command(w, w->pmHosts.Items()[0]->Id());
    EXPECT_TRUE(w->RedirectList()[RowOf(w, "b.example")].Allowed);
    EXPECT_NE(ReadTextFile(HostListFilePath()).find("b.example@6.6.6.6"), std::string::npos);
    w->lvHosts->Select(RowOf(w, "b.example"));
    w->pmHosts.OnPopup();
    Command(w, w->pmHosts.Items()[0]->Id());
    EXPECT_FALSE(w->RedirectList()[RowOf(w, "b.example")].Allowed);
    EXPECT_EQ(ReadTextFile(HostListFilePath()).find("b.example@6.6.6.6"), std::string::npos);

    // comment out: the line shared by three hosts once, in the copy only
    w->lvHosts->Select(RowOf(w, "c.example"));
    w->pmHosts.OnPopup();
    Command(w, w->pmHosts.Items()[1]->Id());
    EXPECT_EQ(w->MemoLines()[2], "#6.6.6.6 a.example b.example\tc.example");
    EXPECT_EQ(w->RedirectList().size(), 2u);
    TStringList saved;
    LoadLines(copy, saved);
    EXPECT_EQ(saved[2], w->MemoLines()[2]);
    TStringList real;
    LoadLines(HostsPath(), real);
    EXPECT_EQ(real, kHostsLines) << "the hosts file changes only on save";

    // an allow-list entry needs both parts
    w->edSite->SetText("  ");
    Click(w->btAddToList);
    EXPECT_EQ(w->AllowList().size(), 2u);
    w->edSite->SetText(" new.example ");
    w->edIp->SetText("2.2.2.2");
    Click(w->btAddToList);
    EXPECT_EQ(w->AllowList().size(), 3u);

    // find: the host selected in the editor
    w->lvHosts->Select(RowOf(w, "ok.example"));
    w->lvHosts->SetFocus();
    w->pmHosts.OnPopup();
    Command(w, w->pmHosts.Items()[2]->Id());
    EXPECT_EQ(w->pcHosts->ActivePage(), w->tsEditHosts);
    DWORD from = 0, to = 0;
    SendMessageA(w->meHosts->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(w->meHosts->Text().substr(from, to - from), "ok.example");

    // the allow-list's menu: insert into the editor, delete from the list
    ASSERT_EQ(w->AllowList()[1].Host, "OK.example");
    w->lvGoodListHost->Select(1);
    w->lvGoodListHost->SetFocus();
    w->pmListGood.OnPopup();
    Command(w, w->pmListGood.Items()[0]->Id());
    EXPECT_EQ(w->MemoLines().back(), "1.1.1.1  OK.example");
    Command(w, w->pmListGood.Items()[1]->Id());
    EXPECT_EQ(w->AllowList().size(), 2u);
    EXPECT_EQ(ReadTextFile(HostListFilePath()).find("OK.example"), std::string::npos);

    Click(w->btSetting);
    ASSERT_EQ(OpenedOf(kSettingsForm).size(), 1u);
    EXPECT_EQ(OpenedOf(kSettingsForm)[0].Tag, 7);

    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !FileExists(copy); }, 15000)) << "the copy goes with the window";
}

TEST_F(HostsManager, SaveDefaultAndLoad)
{
    ASSERT_TRUE(SaveLines(HostsPath(), kHostsLines));
    TfmHostsManager* w = OpenHostsManagerByMenu();
    ASSERT_NE(w, nullptr);

    const TStringList edited = {"10.0.0.1 edited.example", "# saved by the test"};
    w->SetMemoLines(edited);
    Click(w->btSaveHosts);
    ASSERT_TRUE(PumpUntil([&] { return !w->LoadPending(); }, 20000));
    const std::string text = JoinLines(edited);
    EXPECT_EQ(ReadTextFile(HostsPath()), text);
    EXPECT_EQ(ReadTextFile(GetDataFolder() + "backHosts.qrv"), text) << "the saved text is the backup";
    EXPECT_EQ(w->MemoLines(), edited) << "reloaded from the service's fresh copy";
    ASSERT_EQ(w->RedirectList().size(), 1u);
    EXPECT_EQ(w->StatusText(), "");

    Click(w->btRestoreHosts);
    ASSERT_GT(GetOSMajorVersion(), 5);
    EXPECT_EQ(w->MemoLines(), StockHostsLines(6));
    EXPECT_EQ(w->MemoLines().size(), 20u);
    EXPECT_EQ(ReadTextFile(HostsPath()), text) << "the hosts file changes only on save";

    // no hosts file: the service's 666 ends the wait at once
    ASSERT_TRUE(RemoveFile(HostsPath()));
    const DWORD start = GetTickCount();
    Click(w->btLoadHosts);
    ASSERT_TRUE(PumpUntil([&] { return !w->LoadPending(); }, 20000));
    EXPECT_LT(GetTickCount() - start, THostsCopyWait::kLimitMs);
    EXPECT_EQ(w->MemoLines(), TStringList{"#" + GetLangText(kLangGui, "hm_nf")});
    ASSERT_TRUE(SaveLines(HostsPath(), kHostsLines));
}

TEST_F(HostsManager, NothingWritesTheCopyWhileALoadWaitsAndEachFailureIsNamed)
{
    ASSERT_TRUE(SaveLines(HostsPath(), kHostsLines));
    ASSERT_TRUE(HostListAdd("ok.example@1.1.1.1"));
    TfmHostsManager* w = OpenHostsManagerByMenu();
    ASSERT_NE(w, nullptr);
    // the user's unsaved text, a reload, and a switch to the redirect tab meanwhile
    w->SetMemoLines({"# typed, never saved"});
    Click(w->btLoadHosts);
    ASSERT_TRUE(w->LoadPending());
    w->pcHostsChange();
    ASSERT_TRUE(PumpUntil([&] { return !w->LoadPending(); }, 20000));
    EXPECT_EQ(w->MemoLines(), kHostsLines) << "the wait ended on the service's copy";

    auto held = [](const std::string& path) {
        return UniqueHandle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    {
        UniqueHandle copy = held(w->CopyName());
        ASSERT_TRUE(copy);
        w->pcHostsChange();
        EXPECT_EQ(w->StatusText(), GetLangText(kLangGui, "hm_nosave"));
    }
    {
        UniqueHandle list = held(HostListFilePath());
        ASSERT_TRUE(list);
        w->ReloadHostsView();
        EXPECT_EQ(w->StatusText(), GetLangText(kLangGui, "hm_nolist"));
    }
    ASSERT_TRUE(RemoveFile(w->CopyName()));
    w->ReloadHostsView();
    EXPECT_EQ(w->StatusText(), GetLangText(kLangGui, "hm_noread"));
    SaveScreenshot(w, "hosts-manager-failure");
}

// The service answered "copy failed" although this tray's temporary folder
// lies in its own profile: a tray of another account than the console
// user's. The window says so, naming the folder, instead of "no copy came".
TEST_F(HostsManager, ACopyTheServiceRefusedSaysWhy)
{
    OpenHostsManager(1);
    ASSERT_TRUE(PumpUntil([] { return IsFormOpen(kHostsManagerForm); }, 10000));
    auto* w = dynamic_cast<TfmHostsManager*>(gui::FindForm(kHostsManagerForm));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->StatusText(), GetLangText(kLangGui, "hm_copyfail") + " (" +
                                   ExcludeTrailingBackslash(GetEnvVar("TEMP")) + ")");
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    PumpUntil([] { return !IsFormOpen(kHostsManagerForm); }, 10000);
}

TEST_F(HostsManager, AJailedCopyIsShownOnACopyOfItsOwn)
{
    const std::string jailed = GetDataFolder() + "jail\\09_12_2026_10_00_00_hosts";
    ASSERT_TRUE(ForceDirectories(GetDataFolder() + "jail"));
    ASSERT_TRUE(SaveLines(jailed, {"6.6.6.6 bank.example"}));
    ASSERT_FALSE(ShowJailedHostsCopy(jailed).empty());
    ASSERT_TRUE(PumpUntil([] { return IsFormOpen(kHostsManagerForm); }, 10000));
    auto* w = dynamic_cast<TfmHostsManager*>(gui::FindForm(kHostsManagerForm));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->MemoLines(), TStringList{"6.6.6.6 bank.example"});
    EXPECT_TRUE(ShowJailedHostsCopy(jailed).empty()) << "not while the manager is open";
    const std::string copy = w->CopyName();
    EXPECT_NE(copy, jailed);
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !FileExists(copy); }, 15000));
    EXPECT_TRUE(FileExists(jailed)) << "only the transfer copy is deleted";
}

// A NUL byte in the copy (a broken or hostile hosts file) neither hides the
// lines behind it from the editor nor drops them when the editor saves.
TEST_F(HostsManager, LinesBehindANulByteStayInTheEditorAndTheCopy)
{
    const std::string jailed = GetDataFolder() + "jail\\09_12_2026_11_00_00_hosts";
    ASSERT_TRUE(ForceDirectories(GetDataFolder() + "jail"));
    const char text[] = "127.0.0.1 localhost\0\r\n6.6.6.6 bank.example\r\n";
    ASSERT_TRUE(WriteFileBytes(jailed, std::string(text, sizeof(text) - 1)));
    ASSERT_FALSE(ShowJailedHostsCopy(jailed).empty());
    ASSERT_TRUE(PumpUntil([] { return IsFormOpen(kHostsManagerForm); }, 10000));
    auto* w = dynamic_cast<TfmHostsManager*>(gui::FindForm(kHostsManagerForm));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->MemoLines(), (TStringList{"127.0.0.1 localhost ", "6.6.6.6 bank.example"}));
    w->pcHostsChange();  // the redirect tab: the editor's text goes into the copy
    EXPECT_NE(RowOf(w, "bank.example"), -1);
}

using TrustList = Windows;

TfmTrustList* OpenLoadedTrustList(const TMSlotMessage& record)
{
    OpenTrustList(record);
    auto* w = dynamic_cast<TfmTrustList*>(gui::FindForm(kTrustListForm));
    if (w) PumpUntil([&] { return w->Loaded(); }, 10000);
    return w;
}

void CloseAndWait(gui::TForm* form)
{
    form->Close();
    PumpUntil([form] { return !gui::FormExists(form); }, 3000);
}

std::vector<std::string> ListBoxItems(TfmTrustList* w)
{
    std::vector<std::string> items;
    for (int i = 0; i < w->lbTrust->Count(); ++i) items.push_back(w->lbTrust->Item(i));
    return items;
}

TEST_F(TrustList, ListAddDeleteAndChooseAFile)
{
    TMSlotMessage empty;
    ClearMailSlotMessage(empty);
    const TStringList three = {"C:\\a.exe|AA", "C:\\b.exe|BB", "C:\\c|d.exe|CC"};
    for (const std::string& entry : three) ASSERT_TRUE(SendToMailSlot(MakeRequest(22, 0, "", entry), kServiceSlot));

    // a window closed before its answer came, the list changed, a new window:
    // the rows of the first answer are not taken for the second
    OpenTrustList(empty);
    CloseAndWait(gui::FindForm(kTrustListForm));
    ASSERT_TRUE(SendToMailSlot(MakeRequest(22, 0, "", "C:\\d.exe|DD"), kServiceSlot));
    TfmTrustList* w = OpenLoadedTrustList(empty);
    ASSERT_TRUE(w && w->Loaded());
    EXPECT_EQ(ListBoxItems(w), (std::vector<std::string>{three[0], three[1], three[2], "C:\\d.exe|DD"}));
    EXPECT_TRUE(w->btAddToTrust->Enabled());
    EXPECT_FALSE(w->btDelFromTrust->Enabled());

    // a path holding "|" splits at the first one
    w->lbTrust->SetItemIndex(2);
    Command(w, GetDlgCtrlID(w->lbTrust->Handle()), LBN_SELCHANGE, w->lbTrust->Handle());
    EXPECT_EQ(w->lePath->Text(), "C:\\c");
    EXPECT_EQ(w->leMd5hash->Text(), "d.exe|CC");
    Click(w->btDelFromTrust);
    EXPECT_EQ(ListBoxItems(w).size(), 3u);
    w->lbTrust->SetItemIndex(2);
    Command(w, GetDlgCtrlID(w->lbTrust->Handle()), LBN_SELCHANGE, w->lbTrust->Handle());
    Click(w->btDelFromTrust);
    EXPECT_EQ(ListBoxItems(w).size(), 2u);

    // choosing a file: the service computes its digest, a second press adds it
    const std::string file = HelperPath("qv_cmdline.exe");
    w->ChooseFile = [&](std::string& name) { name = file; return true; };
    Click(w->btAddToTrust);
    EXPECT_EQ(w->lePath->Text(), file);
    EXPECT_EQ(w->leMd5hash->Text(), GetFileMD5(file));
    Click(w->btAddToTrust);
    Click(w->btAddToTrust);  // empty fields again: the chooser answers the same file
    Click(w->btAddToTrust);  // the same entry: nothing added
    EXPECT_EQ(ListBoxItems(w).size(), 3u);

    // an entry too long to travel is refused with a message
    w->lePath->SetText("C:\\" + std::string(230, 'x'));
    w->leMd5hash->SetText(GetFileMD5(file));
    Click(w->btAddToTrust);
    EXPECT_EQ(ListBoxItems(w).size(), 3u);
    EXPECT_EQ(w->lbMessage->Caption(), GetLangText(kLangGui, "tr_long"));
    CloseAndWait(w);

    // the service kept every change; opened with an entry it holds, that one is selected
    const std::string added = TrustEntry(file, GetFileMD5(file));
    TMSlotMessage held = MakeRequest(24, 0, "", file);
    held.Mess1.Set(GetFileMD5(file));
    w = OpenLoadedTrustList(held);
    ASSERT_TRUE(w && w->Loaded());
    EXPECT_EQ(ListBoxItems(w), (std::vector<std::string>{three[0], three[1], added}));
    EXPECT_EQ(w->lbTrust->ItemIndex(), 2);
    EXPECT_TRUE(w->btDelFromTrust->Enabled());
    EXPECT_FALSE(w->btAddToTrust->Enabled());
    SaveScreenshot(w, "trust-list");

    // an empty list is complete too
    for (const std::string& entry : ListBoxItems(w))
        ASSERT_TRUE(SendToMailSlot(MakeRequest(23, 0, "", entry), kServiceSlot));
    CloseAndWait(w);
    w = OpenLoadedTrustList(empty);
    ASSERT_TRUE(w && w->Loaded());
    EXPECT_TRUE(ListBoxItems(w).empty());
    EXPECT_TRUE(w->btAddToTrust->Enabled());
}

using AutorunDialog = Windows;

TEST_F(AutorunDialog, ShowsTheAnsweredEventAndLeadsOn)
{
    TMSlotMessage event = MakeRequest(9, 172, "Locker", "C:\\Users\\Public\\winlock.exe");
    event.Mess1.Set("0123456789ABCDEF0123456789ABCDEF");
    TrayApp().Events.PushFront(event, 4242);
    TrayApp().Popups.AnsweredValue = 4242;
    OpenAutorunDialog();
    auto* w = dynamic_cast<TfmAutorunDlg*>(gui::FindForm(kAutorunDialogForm));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->lbName->Caption(), "Locker");
    EXPECT_EQ(w->lbPath->Caption(), "C:\\Users\\Public\\winlock.exe");
    EXPECT_EQ(w->lbSource->Caption(), GetLangText(kLangGlobal, "es_arn_run"));
    SaveScreenshot(w, "new-autorun-dialog");

    {  // the running manager gets the event, with the path where it reads it
        SlotListener manager(kAutorunSlot);
        Click(w->btAutorunMan);
        TMSlotMessage got;
        ASSERT_TRUE(manager.NextOfType(20, got));
        EXPECT_EQ(got.A, 172);
        EXPECT_EQ(got.Mess.Str(), "C:\\Users\\Public\\winlock.exe");
        EXPECT_EQ(got.Mess1.Str(), "0123456789ABCDEF0123456789ABCDEF");
    }
    {  // none running: started on the event's path, from a folder of its own
        ScratchDir folder;
        TrayApp().Session.AutorunManagerFolder = folder.Path();
        const std::string standIn = folder / "qrv_autorun.exe";
        ASSERT_TRUE(CopyFileA(HelperPath("qv_cmdline.exe").c_str(), standIn.c_str(), FALSE));
        const std::string record = standIn + ".cmdline";
        const std::string expected = "\"" + standIn + "\" / 172 \"C:\\Users\\Public\\winlock.exe\"";
        Click(w->btAutorunMan);
        EXPECT_TRUE(WaitUntil([&] { return ReadTextFile(record) == expected; }, 10000)) << ReadTextFile(record);
        TrayApp().Session.AutorunManagerFolder.clear();
        DeleteFileA(record.c_str());
        DeleteFileA(standIn.c_str());
    }

    Click(w->btAddTrust);
    auto* trust = dynamic_cast<TfmTrustList*>(gui::FindForm(kTrustListForm));
    ASSERT_NE(trust, nullptr);
    EXPECT_EQ(trust->lePath->Text(), "C:\\Users\\Public\\winlock.exe");
    EXPECT_EQ(trust->leMd5hash->Text(), "0123456789ABCDEF0123456789ABCDEF");

    // an event no longer in the queue: nothing shown, nothing offered
    TrayApp().Popups.AnsweredValue = 999999;
    OpenAutorunDialog();
    w = nullptr;
    for (gui::TForm* form : gui::LiveForms())
        if (auto* d = dynamic_cast<TfmAutorunDlg*>(form); d && !d->HasEvent()) w = d;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->lbPath->Caption(), "");
    EXPECT_FALSE(w->btAddTrust->Enabled());
    EXPECT_FALSE(w->btAutorunMan->Enabled());
}

}  // namespace
