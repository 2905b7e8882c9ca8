#include "fmAutorunDlg.h"

#include "fmMessage.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 196;
constexpr int kCaptionWidth = 90;
constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 25;

}  // namespace

TMSlotMessage AutorunManagerRecord(const TMSlotMessage& event)
{
    TMSlotMessage message = event;
    message.Type = proto::kAutorunEvent;
    message.Mess.Set(event.Data.Str());
    return message;
}

TfmAutorunDlg::TfmAutorunDlg() : gui::TForm(kAutorunDialogForm) {}

void TfmAutorunDlg::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME;
    params.Width = kClientWidth;
    params.Height = kClientHeight;
    params.CenterOnDesktop = true;
    params.Caption = GetLangText(kLangGui, "w_arn");
}

gui::TLabel* TfmAutorunDlg::Row(int top, const std::string& caption, gui::TLabel*& value)
{
    auto* label = gbADLG->Make<gui::TLabel>(caption);
    label->SetAutoSize(false);
    label->SetBounds(12, top, kCaptionWidth, 16);
    value = gbADLG->Make<gui::TLabel>();
    value->SetAutoSize(false);
    value->SetBounds(12 + kCaptionWidth, top, kClientWidth - kCaptionWidth - 40, 16);
    return label;
}

void TfmAutorunDlg::OnCreate()
{
    gbADLG = Make<gui::TGroupBox>(GetLangText(kLangGui, "arn_gb"));
    gbADLG->SetBounds(8, 6, kClientWidth - 16, kClientHeight - kButtonHeight - 26);
    lbArnCap = gbADLG->Make<gui::TLabel>(GetLangText(kLangGui, "arn_cap"));
    lbArnCap->SetBounds(12, 22, kClientWidth - 40, 16);
    lbSourceCap = Row(50, GetLangText(kLangGui, "rep_c1") + ":", lbSource);
    lbNameCap = Row(74, GetLangText(kLangGui, "arn_name"), lbName);
    lbPathCap = Row(98, GetLangText(kLangGui, "arn_path"), lbPath);
    lbPath->SetWordWrap(true);
    lbPath->SetBounds(12 + kCaptionWidth, 98, kClientWidth - kCaptionWidth - 40, 32);

    const int top = kClientHeight - kButtonHeight - 10;
    btAddTrust = Make<gui::TButton>(GetLangText(kLangGui, "arn_btl"));
    btAddTrust->SetBounds(kClientWidth - 2 * (kButtonWidth + 8), top, kButtonWidth, kButtonHeight);
    btAutorunMan = Make<gui::TButton>(GetLangText(kLangGui, "arn_bam"));
    btAutorunMan->SetBounds(kClientWidth - kButtonWidth - 8, top, kButtonWidth, kButtonHeight);
    btAddTrust->OnClick = [this] { btAddTrustClick(); };
    btAutorunMan->OnClick = [this] { btAutorunManClick(); };
    TakeEvent();
}

void TfmAutorunDlg::TakeEvent()
{
    TTrayEventEntry entry;
    hasEvent_ = TrayApp().Events.FindBySeq(TrayApp().Popups.AnsweredValue.load(), entry);
    // Nothing to act on: no text, no way on.
    btAddTrust->SetEnabled(hasEvent_);
    btAutorunMan->SetEnabled(hasEvent_);
    if (!hasEvent_) return;
    event_ = entry.Message;
    lbSource->SetCaption(EventCodeText(event_.A));
    lbName->SetCaption(event_.Mess.Str());
    lbPath->SetCaption(event_.Data.Str());
}

void TfmAutorunDlg::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

void TfmAutorunDlg::btAddTrustClick()
{
    if (hasEvent_) OpenTrustList(event_);
}

void TfmAutorunDlg::btAutorunManClick()
{
    if (!hasEvent_) return;
    if (SendToMailSlot(AutorunManagerRecord(event_), kAutorunSlot)) return;
    // The manager does not run: start it on the event's path.
    OpenAutorunManager(event_.A, event_.Data.Str());
}

void RegisterAutorunDialogForm()
{
    gui::RegisterFormClass(kAutorunDialogForm, [] { return std::make_unique<TfmAutorunDlg>(); });
}
