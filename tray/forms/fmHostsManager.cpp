#include "fmHostsManager.h"

#include <algorithm>

#include "qvErrors.h"
#include "qvFiles.h"
#include "qvProtocol.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMailSlots.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr int kButtonPanelHeight = 41;
constexpr int kButtonWidth = 97;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;
constexpr int kEditPanelHeight = 41;
constexpr int kHostColumnWidth = 300;
constexpr UINT kWaitTickMs = 100;

// Why a copy failed, as far as the tray can see: the service writes only into
// a temporary folder inside the profile folder of the user at the console,
// reached without links. A tray whose own folder passes that test may still
// run as another account (elevated by another user): the service refused it
// all the same, or could not write there.
std::string CopyFailedText()
{
    const std::string temp = ExcludeTrailingBackslash(TransferFolder());
    const char* key = IsPlainFolderInside(temp, GetEnvVar("USERPROFILE")) ? "hm_copyfail" : "hm_tempout";
    return GetLangText(kLangGui, key) + " (" + temp + ")";
}

void SendHostsCommand(proto::ServiceControl a, const std::string& fileName, bool refreshBackup)
{
    TMSlotMessage message = proto::ToService(a);
    message.Bool = refreshBackup;
    message.Data.Set(fileName);
    SendToMailSlot(message, kServiceSlot);
}

std::vector<gui::TListColumn> HostsColumns()
{
    return {{GetLangText(kLangGui, "hm_site"), kHostColumnWidth}, {GetLangText(kLangGui, "hm_to"), -1}};
}

}  // namespace

std::string HostListFilePath() { return GetDataFolder() + "hostlist.qrv"; }

std::string TransferFolder() { return IncludeTrailingBackslash(GetEnvVar("temp")); }

TfmHostsManager::TfmHostsManager() : gui::TForm(kHostsManagerForm), copyName_(TrayApp().HostsCopy.FileName())
{
    waitTimer_.SetInterval(kWaitTickMs);
    waitTimer_.OnTimer = [this] { WaitTick(); };
    // While it is open, the answers to its own copy requests come here.
    TrayApp().HostsCopy.Subscribe(this, [this](const std::string& fileName, int32_t code) { CopyAnswered(fileName, code); });
}

TfmHostsManager::~TfmHostsManager()
{
    TrayApp().HostsCopy.Unsubscribe(this);
    DeleteHostsCopy();
}

void TfmHostsManager::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_OVERLAPPEDWINDOW;
    params.ExStyle = WS_EX_TOPMOST;
    params.Width = kHostsClientWidth;
    params.Height = kHostsClientHeight;
    params.MinWidth = kHostsMinWidth;
    params.MinHeight = kHostsMinHeight;
    params.CenterOnDesktop = true;
    params.Caption = "Менеджер файла HOSTS";
}

void TfmHostsManager::OnCreate()
{
    MakeButtonPanel();
    pcHosts = Make<gui::TPageControl>();
    pcHosts->SetAlign(gui::TAlign::Client);
    MakeEditorTab();
    MakeRedirectTab();
    MakeAllowListTab();
    pcHosts->OnChange = [this] { pcHostsChange(); };
}

void TfmHostsManager::MakeButtonPanel()
{
    pnHosts = Make<gui::TPanel>();
    pnHosts->SetBounds(0, 0, kHostsClientWidth, kButtonPanelHeight);
    pnHosts->SetAlign(gui::TAlign::Bottom);
    // Right to left: save, default, load, settings.
    auto* buttons = pnHosts->Make<gui::TPanel>();
    const int width = 4 * (kButtonWidth + kButtonGap);
    buttons->SetBounds(0, 0, width, kButtonPanelHeight);
    buttons->SetAlign(gui::TAlign::Right);
    const int top = (kButtonPanelHeight - kButtonHeight) / 2;
    auto place = [&](int fromRight, const char* caption) {
        auto* button = buttons->Make<gui::TButton>(caption);
        button->SetBounds(width - (fromRight + 1) * (kButtonWidth + kButtonGap), top, kButtonWidth, kButtonHeight);
        return button;
    };
    btSaveHosts = place(0, "Сохранить");
    btRestoreHosts = place(1, "По умолчанию");
    btLoadHosts = place(2, "Загрузить");
    btSetting = place(3, "");
    btSaveHosts->OnClick = [this] { btSaveHostsClick(); };
    btRestoreHosts->OnClick = [this] { btRestoreHostsClick(); };
    btLoadHosts->OnClick = [this] { btLoadHostsClick(); };
    btSetting->OnClick = [this] { btSettingClick(); };
    lbStatus = pnHosts->Make<gui::TLabel>();
    lbStatus->SetAutoSize(false);
    lbStatus->SetWordWrap(true);  // two lines beside the buttons
    lbStatus->SetBounds(8, 4, kHostsClientWidth - width - 16, kButtonPanelHeight - 8);
}

void TfmHostsManager::MakeEditorTab()
{
    tsEditHosts = pcHosts->AddPage("Редактор файла Hosts");
    meHosts = tsEditHosts->Make<gui::TMemo>(gui::TScrollStyle::Both, false);
    meHosts->SetAlign(gui::TAlign::Client);
}

void TfmHostsManager::MakeRedirectTab()
{
    tsViewHosts = pcHosts->AddPage("Список перенаправления");
    lvHosts = tsViewHosts->Make<gui::TListView>(true);
    lvHosts->SetAlign(gui::TAlign::Client);
    lvHosts->SetColumns({{"Сайт", kHostColumnWidth}, {"Перенаправлен на IP адрес", -1}});
    lvHosts->OnData = [this](int item, int column) -> std::string {
        if (item < 0 || item >= static_cast<int>(rows_.size())) return {};
        return column == 0 ? rows_[item].Host : rows_[item].Address;
    };
    lvHosts->OnCustomDraw = [this](int item, int, TColor& text, TColor& back) {
        if (item < 0 || item >= static_cast<int>(rows_.size())) return false;
        text = rows_[item].Allowed ? clBlack : clWhite;
        back = rows_[item].Allowed ? kAllowedRowColor : clRed;
        return true;
    };
    miAllow_ = pmHosts.Add("");
    miComment_ = pmHosts.Add("", [this] { CommentOutSelectedPair(); });
    miFind_ = pmHosts.Add("", [this] { FindSelectedHost(); });
    pmHosts.OnPopup = [this] { pmHostsPopup(); };
    lvHosts->SetPopupMenu(&pmHosts);
}

void TfmHostsManager::MakeAllowListTab()
{
    tsAllRecHosts = pcHosts->AddPage("Список разрешенных записей");
    pnEdit = tsAllRecHosts->Make<gui::TPanel>();
    pnEdit->SetBounds(0, 0, kHostsClientWidth, kEditPanelHeight);
    pnEdit->SetAlign(gui::TAlign::Bottom);
    auto* urlLabel = pnEdit->Make<gui::TLabel>("URL:");
    urlLabel->SetBounds(8, 13, 30, 16);
    edSite = pnEdit->Make<gui::TEdit>();
    edSite->SetBounds(42, 9, 250, 22);
    edSite->SetText("localhost");
    auto* ipLabel = pnEdit->Make<gui::TLabel>("IP:");
    ipLabel->SetBounds(302, 13, 20, 16);
    edIp = pnEdit->Make<gui::TEdit>();
    edIp->SetBounds(326, 9, 150, 22);
    edIp->SetText("127.0.0.1");
    btAddToList = pnEdit->Make<gui::TButton>("Добавить");
    btAddToList->SetBounds(486, 8, kButtonWidth, kButtonHeight);
    btAddToList->OnClick = [this] { btAddToListClick(); };

    lvGoodListHost = tsAllRecHosts->Make<gui::TListView>(true);
    lvGoodListHost->SetAlign(gui::TAlign::Client);
    lvGoodListHost->SetColumns({{"Сайт", kHostColumnWidth}, {"Перенаправлен на IP адрес", -1}});
    lvGoodListHost->OnData = [this](int item, int column) -> std::string {
        if (item < 0 || item >= static_cast<int>(allowRows_.size())) return {};
        return column == 0 ? allowRows_[item].Host : allowRows_[item].Address;
    };
    miInsert_ = pmListGood.Add("", [this] { InsertAllowedEntry(); });
    miDelete_ = pmListGood.Add("", [this] { DeleteAllowedEntry(); });
    pmListGood.OnPopup = [this] { pmListGoodPopup(); };
    lvGoodListHost->SetPopupMenu(&pmListGood);
}

void TfmHostsManager::init()
{
    btLoadHosts->SetCaption(GetLangText(kLangGui, "hm_load"));
    btRestoreHosts->SetCaption(GetLangText(kLangGui, "hm_default"));
    btSaveHosts->SetCaption(GetLangText(kLangGui, "hm_save"));
    btAddToList->SetCaption(GetLangText(kLangGui, "hm_add"));
    btSetting->SetCaption(GetLangText(kLangGui, "tray_setting"));
    lvHosts->SetColumns(HostsColumns());
    lvGoodListHost->SetColumns(HostsColumns());
    pcHosts->SetPageCaption(tsAllRecHosts, GetLangText(kLangGui, "hm_lg"));
    pcHosts->SetPageCaption(tsEditHosts, GetLangText(kLangGui, "hm_eh"));
    pcHosts->SetPageCaption(tsViewHosts, GetLangText(kLangGui, "hm_lr"));
    miComment_->SetCaption(GetLangText(kLangGui, "hm_delrec"));
    miFind_->SetCaption(GetLangText(kLangGui, "hm_find"));
    miInsert_->SetCaption(GetLangText(kLangGui, "hm_insert"));
    miDelete_->SetCaption(GetLangText(kLangGui, "hm_delrec"));
    SetCaption(GetLangText(kLangGui, "hm_cap"));
}

void TfmHostsManager::OnShow()
{
    init();
    pcHosts->SetActivePage(tsViewHosts);
    SetStatus(Tag);
}

void TfmHostsManager::OnClose(gui::TCloseAction& action)
{
    waitTimer_.SetEnabled(false);
    DeleteHostsCopy();
    action = gui::TCloseAction::Free;
}

void TfmHostsManager::OnDestroy()
{
    waitTimer_.SetEnabled(false);
    DeleteHostsCopy();
}

void TfmHostsManager::SetStatus(int code)
{
    meHosts->Clear();
    if (code == proto::kNoHostsFile) {
        meHosts->AddLine("#" + GetLangText(kLangGui, "hm_nf"));
        return;
    }
    if (code == proto::kCopyFailed) lbStatus->SetCaption(CopyFailedText());
    if (code == proto::kCopied && !copyName_.empty() && FileExists(copyName_)) ReloadHostsView();
}

void TfmHostsManager::Fail(const char* key, const std::string& logLine)
{
    WriteGuiLog("Hosts manager: " + logLine);
    lbStatus->SetCaption(GetLangText(kLangGui, key));
}

void TfmHostsManager::ReloadHostsView()
{
    // While a reload waits the copy is gone; the view follows once it came.
    if (copyName_.empty() || wait_.Waiting()) return;
    std::string text;
    if (!ReadFileBytes(copyName_, text)) {
        Fail("hm_noread", "cannot read " + copyName_);
        return;  // the view stays as it was
    }
    // A NUL byte would end the editor's text there: the lines behind it would
    // not show, and the next save of the editor would drop them. It shows as a blank.
    std::replace(text.begin(), text.end(), '\0', ' ');
    SetMemoLines(SplitLines(text));
    WriteGuiLog(text.substr(0, 255));
    TStringList pairs;
    TStringList allowed;
    try {
        ParseHostsFile(copyName_, pairs, false);
    } catch (const std::exception& error) {
        Fail("hm_noread", std::string("cannot parse the copy: ") + error.what());
        return;
    }
    // A list never made allows nothing; one that cannot be read is a failure.
    if (!LoadLines(HostListFilePath(), allowed) && FileExists(HostListFilePath()))
        Fail("hm_nolist", "cannot read " + HostListFilePath());
    rows_ = RedirectRows(pairs, TAllowList(allowed));
    lvHosts->SetItemCount(static_cast<int>(rows_.size()));
    lvHosts->Refresh();
    LoadAllowList(allowed);
}

void TfmHostsManager::LoadAllowList(const TStringList& lines)
{
    allowRows_ = AllowListRows(lines);
    lvGoodListHost->SetItemCount(static_cast<int>(allowRows_.size()));
    lvGoodListHost->Refresh();
}

bool TfmHostsManager::SaveMemo()
{
    // While a reload waits the copy belongs to the service, which writes it anew.
    if (copyName_.empty() || wait_.Waiting()) return false;
    if (SaveLines(copyName_, MemoLines())) return true;
    Fail("hm_nosave", "cannot save " + copyName_);
    return false;
}

void TfmHostsManager::pcHostsChange()
{
    // The view follows the reload once the fresh copy has come.
    if (pcHosts->ActivePage() != tsViewHosts || wait_.Waiting()) return;
    lbStatus->SetCaption("");
    // The editor keeps a text that could not be saved.
    if (!copyName_.empty() && !SaveMemo()) return;
    ReloadHostsView();
}

void TfmHostsManager::btLoadHostsClick()
{
    if (copyName_.empty() || wait_.Waiting()) return;
    // The service never writes through an existing file: the old copy goes first.
    DeleteHostsCopy();
    lbStatus->SetCaption("");
    SendHostsCommand(proto::kCopyHostsOut, copyName_, false);
    wait_.Start(GetTickCount());
    SetButtonsEnabled(false);
    waitTimer_.SetEnabled(true);
}

void TfmHostsManager::CopyAnswered(const std::string& fileName, int code)
{
    if (!SameText(fileName, copyName_)) return;
    wait_.Answer(code);
    WaitTick();
}

void TfmHostsManager::WaitTick()
{
    if (!wait_.Waiting()) return;
    const THostsCopyWait::TState state = wait_.Poll(GetTickCount(), FileExists(copyName_));
    if (state != THostsCopyWait::TState::Waiting) EndWait(state);
}

void TfmHostsManager::EndWait(THostsCopyWait::TState state)
{
    waitTimer_.SetEnabled(false);
    SetButtonsEnabled(true);
    switch (state) {
    case THostsCopyWait::TState::Ready: ReloadHostsView(); break;
    case THostsCopyWait::TState::NoHostsFile: SetStatus(proto::kNoHostsFile); break;
    case THostsCopyWait::TState::Failed:
        WriteGuiLog("Hosts manager: the service could not copy the hosts file to " + copyName_);
        lbStatus->SetCaption(CopyFailedText());
        break;
    default: Fail("hm_timeout", "no copy of the hosts file came for " + copyName_); break;
    }
}

void TfmHostsManager::btSaveHostsClick()
{
    if (copyName_.empty() || wait_.Waiting()) return;
    lbStatus->SetCaption("");
    if (!SaveMemo()) return;
    SendHostsCommand(proto::kInstallHosts, copyName_, true);
    // The copy is deleted by the reload: only once the service has read it.
    if (!ServiceCaughtUp()) {
        Fail("hm_noinstall", "the service did not answer after 13/17");
        return;
    }
    btLoadHostsClick();
}

void TfmHostsManager::btRestoreHostsClick()
{
    if (wait_.Waiting()) return;
    lbStatus->SetCaption("");
    const int major = GetOSMajorVersion() == 5 ? 5 : 6;
    SetMemoLines(StockHostsLines(major));
    if (SaveMemo()) ReloadHostsView();
}

void TfmHostsManager::btSettingClick() { OpenSettings(kHostsSettingsPage); }

void TfmHostsManager::btAddToListClick()
{
    const std::string entry = AllowEntry(edSite->Text(), edIp->Text());
    if (entry.empty()) return;
    if (HostListAdd(entry)) ReloadHostsView();
}

bool TfmHostsManager::SelectedPair(const gui::TListView* list, const std::vector<THostsRow>& rows,
                                   std::string& pair) const
{
    const int index = list->SelectedIndex();
    if (index < 0 || index >= static_cast<int>(rows.size())) return false;
    pair = HostPair(rows[index].Host, rows[index].Address);
    return true;
}

void TfmHostsManager::pmHostsPopup()
{
    std::string pair;
    const bool ready = lvHosts->Focused() && SelectedPair(lvHosts, rows_, pair);
    for (gui::TMenuItem* item : {miAllow_, miComment_, miFind_}) item->SetEnabled(ready);
    if (!ready) return;
    WriteGuiLog(pair);
    if (HostListContains(pair)) {
        miAllow_->SetCaption(GetLangText(kLangGui, "hm_dfl"));
        miAllow_->OnClick = [this] { RemoveSelectedFromHostList(); };
    } else {
        miAllow_->SetCaption(GetLangText(kLangGui, "hm_agl"));
        miAllow_->OnClick = [this] { AddSelectedToHostList(); };
    }
}

void TfmHostsManager::pmListGoodPopup()
{
    std::string pair;
    const bool ready = lvGoodListHost->Focused() && SelectedPair(lvGoodListHost, allowRows_, pair);
    miInsert_->SetEnabled(ready);
    miDelete_->SetEnabled(ready);
}

void TfmHostsManager::AddSelectedToHostList()
{
    std::string pair;
    if (SelectedPair(lvHosts, rows_, pair) && HostListAdd(pair)) ReloadHostsView();
}

void TfmHostsManager::RemoveSelectedFromHostList()
{
    std::string pair;
    if (SelectedPair(lvHosts, rows_, pair) && HostListDelete(pair)) ReloadHostsView();
}

void TfmHostsManager::DeleteAllowedEntry()
{
    std::string pair;
    if (!SelectedPair(lvGoodListHost, allowRows_, pair)) return;
    HostListDelete(pair);
    ReloadHostsView();
}

void TfmHostsManager::InsertAllowedEntry()
{
    const int index = lvGoodListHost->SelectedIndex();
    if (index < 0 || index >= static_cast<int>(allowRows_.size())) return;
    meHosts->AddLine(HostsLineFor(allowRows_[index].Host, allowRows_[index].Address));
}

void TfmHostsManager::CommentOutSelectedPair()
{
    std::string pair;
    if (wait_.Waiting() || !SelectedPair(lvHosts, rows_, pair)) return;
    TStringList lines = MemoLines();
    if (CommentOutPair(lines, pair) == 0) return;
    SetMemoLines(lines);
    lbStatus->SetCaption("");
    if (SaveMemo()) ReloadHostsView();
}

void TfmHostsManager::FindSelectedHost()
{
    const int index = lvHosts->SelectedIndex();
    if (index < 0 || index >= static_cast<int>(rows_.size())) return;
    const std::string text = meHosts->Text();
    size_t at = 0;
    if (!FindInText(text, rows_[index].Host, at)) return;
    pcHosts->SetActivePage(tsEditHosts);
    meHosts->SetFocus();
    SendMessageA(meHosts->Handle(), EM_SETSEL, at, at + rows_[index].Host.size());
    SendMessageA(meHosts->Handle(), EM_SCROLLCARET, 0, 0);
}

TStringList TfmHostsManager::MemoLines() const { return SplitLines(meHosts->Text()); }

// Without a line break after the last line: the memo would show an empty
// line there, and the next save would add it to the file.
void TfmHostsManager::SetMemoLines(const TStringList& lines) { meHosts->SetText(JoinList(lines, "\r\n")); }

std::string TfmHostsManager::StatusText() const { return lbStatus ? lbStatus->Caption() : std::string(); }

void TfmHostsManager::SetButtonsEnabled(bool enabled)
{
    for (gui::TButton* button : {btSaveHosts, btRestoreHosts, btLoadHosts}) button->SetEnabled(enabled);
}

void TfmHostsManager::DeleteHostsCopy()
{
    if (copyName_.empty() || !FileExists(copyName_)) return;
    if (!IsDeletableHostsCopy(copyName_, TransferFolder())) return;
    RemoveFile(copyName_);
}

std::string ShowJailedHostsCopy(const std::string& jailedFile)
{
    if (IsFormOpen(kHostsManagerForm)) return {};
    const std::string name = NewHostsCopyName();
    if (!CopyFileA(jailedFile.c_str(), name.c_str(), TRUE)) return {};
    TrayApp().HostsCopy.Expect(name);
    TMSlotMessage message = proto::ToService(proto::kOpenHostsCopy);
    message.Data.Set(name);
    if (SendToMailSlot(message, kServiceSlot)) return name;
    RemoveFile(name);
    return {};
}

void RegisterHostsManagerForm()
{
    gui::RegisterFormClass(kHostsManagerForm, [] { return std::make_unique<TfmHostsManager>(); });
}
