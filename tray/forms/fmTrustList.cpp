#include "fmTrustList.h"

#include <commdlg.h>

#include <mutex>
#include <thread>

#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uServiceManage.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 340;
constexpr int kPanelHeight = 112;
constexpr int kLabelWidth = 150;
constexpr int kButtonWidth = 97;
constexpr int kButtonHeight = 25;
constexpr int kServiceWaits = 8;  // of the full reply wait each

// Off the main thread: sends the request, then waits until the service has
// answered a later request, by which time it has sent every row of the list,
// and then puts the mark behind them into the tray's own slot. One request at
// a time, so that no other request comes between a request and its mark.
void RequestTrustList(int id)
{
    std::thread([id] {
        static std::mutex order;
        std::lock_guard<std::mutex> lock(order);
        if (SendTypeOnly(proto::kTrustList)) {
            for (int wait = 0; wait < kServiceWaits && !ServiceCaughtUp(); ++wait)
                if (GetServiceState(kServiceName) != SERVICE_RUNNING) break;
        }
        TMSlotMessage mark = proto::Message(proto::kTrustList);
        mark.A = proto::kTrustListEndMark;
        mark.B = static_cast<int32_t>(GetCurrentProcessId());
        mark.C = id;
        SendToMailSlot(mark, kTraySlot);
    }).detach();
}

TfmTrustList* WindowOfRequest(int id)
{
    for (gui::TForm* form : gui::LiveForms()) {
        auto* window = dynamic_cast<TfmTrustList*>(form);
        if (window && window->RequestId() == id) return window;
    }
    return nullptr;
}

}  // namespace

TfmTrustList::TfmTrustList() : gui::TForm(kTrustListForm)
{
    ChooseFile = [this](std::string& fileName) { return ChooseFileByDialog(fileName); };
}

void TfmTrustList::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME;
    params.Width = kClientWidth;
    params.Height = kClientHeight;
    params.CenterOnDesktop = true;
    params.Caption = GetLangText(kLangGui, "tr_cap");
}

void TfmTrustList::OnCreate()
{
    pnTrust = Make<gui::TPanel>();
    pnTrust->SetBounds(0, 0, kClientWidth, kPanelHeight);
    pnTrust->SetAlign(gui::TAlign::Bottom);
    auto field = [this](int top, const char* key) {
        auto* label = pnTrust->Make<gui::TLabel>(GetLangText(kLangGui, key));
        label->SetAutoSize(false);
        label->SetBounds(8, top + 3, kLabelWidth, 16);
        auto* edit = pnTrust->Make<gui::TEdit>();
        edit->SetBounds(8 + kLabelWidth, top, kClientWidth - kLabelWidth - 16, 22);
        edit->SetReadOnly(true);
        return edit;
    };
    lePath = field(8, "tr_pth");
    leMd5hash = field(36, "tr_md5");
    lbMessage = pnTrust->Make<gui::TLabel>();
    lbMessage->SetAutoSize(false);
    lbMessage->SetBounds(8, 72, kClientWidth - 2 * kButtonWidth - 32, 32);
    lbMessage->SetWordWrap(true);
    lbMessage->SetFontColor(clRed);
    btDelFromTrust = pnTrust->Make<gui::TButton>(GetLangText(kLangGui, "tr_btr"));
    btDelFromTrust->SetBounds(kClientWidth - 2 * (kButtonWidth + 8), 76, kButtonWidth, kButtonHeight);
    btAddToTrust = pnTrust->Make<gui::TButton>(GetLangText(kLangGui, "tr_bad"));
    btAddToTrust->SetBounds(kClientWidth - kButtonWidth - 8, 76, kButtonWidth, kButtonHeight);
    btAddToTrust->SetEnabled(false);
    btDelFromTrust->SetEnabled(false);
    btAddToTrust->OnClick = [this] { btAddToTrustClick(); };
    btDelFromTrust->OnClick = [this] { btDelFromTrustClick(); };

    lbTrust = Make<gui::TListBox>();
    lbTrust->SetAlign(gui::TAlign::Client);
    lbTrust->OnClick = [this] { lbTrustClick(); };

    held_ = LastTrustListRecord();
    requestId_ = TrayApp().TrustFeed.Request();
    RequestTrustList(requestId_);
}

void TfmTrustList::OnShow()
{
    lePath->SetText(held_.Data.Str());
    leMd5hash->SetText(held_.Mess1.Str());
}

void TfmTrustList::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

void TfmTrustList::OnDestroy()
{
    // Rows still on their way are dropped; a new window asks anew.
    TrayApp().TrustFeed.Abandon(requestId_);
    requestId_ = -1;
}

void TfmTrustList::AppendReceived(const std::string& entry)
{
    if (!loaded_) received_.push_back(entry);
}

void TfmTrustList::ShowTrustList()
{
    loaded_ = true;
    entries_ = received_;
    FillListBox();
    const TTrustSelection selection = SelectHeldEntry(entries_, lePath->Text(), leMd5hash->Text());
    if (selection.Selected >= 0) lbTrust->SetItemIndex(selection.Selected);
    btDelFromTrust->SetEnabled(selection.CanDelete);
    btAddToTrust->SetEnabled(selection.CanAdd);
}

void TfmTrustList::FillListBox()
{
    lbTrust->Clear();
    for (const std::string& entry : entries_) lbTrust->AddItem(entry);
}

void TfmTrustList::lbTrustClick()
{
    const int index = lbTrust->ItemIndex();
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    std::string path, digest;
    SplitTrustEntry(entries_[index], path, digest);
    lePath->SetText(path);
    leMd5hash->SetText(digest);
    btDelFromTrust->SetEnabled(true);
}

void TfmTrustList::btAddToTrustClick()
{
    lbMessage->SetCaption("");
    if (lePath->Text().empty() || leMd5hash->Text().empty()) {
        AskDigestOfChosenFile();
        return;
    }
    const std::string entry = TrustEntry(lePath->Text(), leMd5hash->Text());
    if (!TrustEntryFits(entry)) {
        // A message would carry it cut, and the service would store the cut entry.
        lbMessage->SetCaption(GetLangText(kLangGui, "tr_long"));
        return;
    }
    if (IndexOfText(entries_, entry) < 0) {
        SendToMailSlot(SettingRequest(proto::kTrustAdd, {}, entry), kServiceSlot);
        entries_.push_back(entry);
        lbTrust->AddItem(entry);
    }
    ClearFields();
}

void TfmTrustList::AskDigestOfChosenFile()
{
    std::string fileName;
    if (!ChooseFile || !ChooseFile(fileName) || fileName.empty()) return;
    lePath->SetText(fileName);
    TMSlotMessage request = SettingRequest(proto::kFileMd5, {}, fileName);
    if (SendToMailSlotAndWait(kServiceSlot, request)) leMd5hash->SetText(request.Mess.Str());
}

void TfmTrustList::btDelFromTrustClick()
{
    lbMessage->SetCaption("");
    const std::string entry = TrustEntry(lePath->Text(), leMd5hash->Text());
    const int at = IndexOfText(entries_, entry);
    if (at >= 0) {
        SendToMailSlot(SettingRequest(proto::kTrustDelete, {}, entries_[at]), kServiceSlot);
        entries_.erase(entries_.begin() + at);
        FillListBox();
    }
    btDelFromTrust->SetEnabled(false);
    ClearFields();
}

void TfmTrustList::ClearFields()
{
    lePath->SetText("");
    leMd5hash->SetText("");
}

bool TfmTrustList::ChooseFileByDialog(std::string& fileName)
{
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Handle();
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = sizeof(buffer);
    dialog.lpstrFilter = "*.*\0*.*\0";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog)) return false;
    fileName = buffer;
    return true;
}

void TrustListRowArrived(const TMSlotMessage& record)
{
    if (record.Type == proto::kTrustList && record.A == proto::kTrustListEndMark) {
        // another tray's mark (one started with "/adminstart") is not ours
        if (record.B == static_cast<int32_t>(GetCurrentProcessId())) TrayApp().TrustFeed.AnswerEnded(record.C);
        return;
    }
    const TTrustFeed::TRow row = TrayApp().TrustFeed.Take(record.D);
    if (!row.Deliver) return;
    TfmTrustList* window = WindowOfRequest(row.Id);
    if (!window) return;
    if (row.HasEntry) window->AppendReceived(record.Data.Str());
    if (row.Completes) window->ShowTrustList();
}

void RegisterTrustListForm()
{
    gui::RegisterFormClass(kTrustListForm, [] { return std::make_unique<TfmTrustList>(); });
    TrayApp().TrustRows.OnRow = TrustListRowArrived;
}
