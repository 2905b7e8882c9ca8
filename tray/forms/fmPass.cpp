#include "fmPass.h"

#include "qvApplication.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"

namespace {

constexpr int kClientWidth = 330;
constexpr int kClientHeight = 176;
constexpr char kHiddenChar = '*';

// The stored `password`; Known only when the service answered.
TStoredPassword ReadStoredPassword()
{
    TStoredPassword stored;
    stored.Known = ReadStrSetting("password", stored.Digest);
    return stored;
}

// The window the dialog belongs to: the active window of this thread, unless
// it is a pop-up, which closes on its own and would take the dialog with it.
HWND OpeningWindow()
{
    HWND active = GetActiveWindow();
    if (!active || !IsWindowVisible(active)) return nullptr;
    char className[64] = {};
    GetClassNameA(active, className, sizeof(className));
    return lstrcmpA(className, kMessageForm) == 0 ? nullptr : active;
}

}  // namespace

TfmPass::TfmPass() : gui::TForm(kPasswordForm) {}

void TfmPass::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME;
    params.Width = kClientWidth;
    params.Height = kClientHeight;
    params.CenterOnDesktop = true;
}

void TfmPass::TakeOwner()
{
    HWND owner = GetWindow(Handle(), GW_OWNER);
    if (!owner || owner == gui::ApplicationWindow()) {
        if (HWND opening = OpeningWindow()) {
            SetOwnerWindow(opening);
            owner = opening;
        }
    }
    // An owner that stays on top would otherwise cover its own dialog.
    if (owner && (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOPMOST))
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfmPass::OnCreate()
{
    const int groupWidth = kClientWidth - 16;
    gbSetPass = Make<gui::TGroupBox>();
    gbSetPass->SetBounds(8, 6, groupWidth, kClientHeight - 12);
    lbPassLabel = gbSetPass->Make<gui::TLabel>();
    lbPassLabel->SetBounds(12, 18, groupWidth - 24, 14);
    lePass = gbSetPass->Make<gui::TEdit>();
    lePass->SetBounds(12, 34, groupWidth - 24, 21);
    lbRePassLabel = gbSetPass->Make<gui::TLabel>();
    lbRePassLabel->SetBounds(12, 62, groupWidth - 24, 14);
    leRePass = gbSetPass->Make<gui::TEdit>();
    leRePass->SetBounds(12, 78, groupWidth - 24, 21);
    cbShowPass = gbSetPass->Make<gui::TCheckBox>();
    cbShowPass->SetBounds(12, 108, groupWidth - 130, 18);
    cbShowPass->OnClick = [this] { cbShowPassClick(); };
    btSet = gbSetPass->Make<gui::TButton>();
    btSet->SetBounds(groupWidth - 112, 128, 100, 25);
    btSet->OnClick = [this] { btSetClick(); };

    gbAnsw = Make<gui::TGroupBox>();
    gbAnsw->SetBounds(8, 6, groupWidth, kClientHeight - 12);
    lbPass = gbAnsw->Make<gui::TLabel>();
    lbPass->SetAutoSize(false);
    lbPass->SetWordWrap(true);
    lbPass->SetAlignment(gui::TAlignment::Center);
    lbPass->SetBounds(12, 30, groupWidth - 24, 60);
    btOK = gbAnsw->Make<gui::TButton>("OK");
    btOK->SetBounds((groupWidth - 100) / 2, 128, 100, 25);
    btOK->OnClick = [this] { btOKClick(); };
    gbAnsw->SetVisible(false);
    DefaultButton = btSet;
}

void TfmPass::OnShow()
{
    TakeOwner();
    PassResult = IDNO;
    lePass->SetPasswordChar(kHiddenChar);
    leRePass->SetPasswordChar(kHiddenChar);
    lePass->SetText({});
    leRePass->SetText({});
    cbShowPass->SetCaption(GetLangText(kLangGui, "pass_show"));
    gbAnsw->SetVisible(false);
    gbSetPass->SetVisible(true);
    DefaultButton = btSet;
    mode_ = TrayApp().Session.PassMode;
    if (mode_ < kPassStop) {
        stored_ = ReadStoredPassword();
        mode_ = ShownPassMode(mode_, stored_);
    }
    SetModeTexts();
    cbShowPass->SetVisible(true);
    cbShowPass->SetChecked(false);
    leRePass->SetVisible(mode_ == kPassSet);
    lbRePassLabel->SetVisible(mode_ == kPassSet);
    lePass->SetFocus();
}

void TfmPass::SetModeTexts()
{
    switch (mode_) {
    case kPassSet:
        SetCaption(GetLangText(kLangGui, "pass_setcap"));
        lbPassLabel->SetCaption(GetLangText(kLangGui, "pass_input"));
        lbRePassLabel->SetCaption(GetLangText(kLangGui, "pass_repeat"));
        btSet->SetCaption(GetLangText(kLangGui, "pass_setbt"));
        break;
    case kPassDelete:
        SetCaption(GetLangText(kLangGui, "pass_delcap"));
        lbPassLabel->SetCaption(GetLangText(kLangGui, "pass_curr"));
        btSet->SetCaption(GetLangText(kLangGui, "pass_delbt"));
        break;
    case kPassStop:
        SetCaption(GetLangText(kLangGui, "pass_stopcap"));
        lbPassLabel->SetCaption(GetLangText(kLangGui, "pass_input"));
        btSet->SetCaption(GetLangText(kLangGui, "pass_stopbt"));
        break;
    default:
        SetCaption(GetLangText(kLangGui, "pass_setting"));
        lbPassLabel->SetCaption(GetLangText(kLangGui, "pass_input"));
        btSet->SetCaption("OK");
        break;
    }
}

void TfmPass::AnswerWith(const char* key)
{
    gbSetPass->SetVisible(false);
    gbAnsw->SetVisible(true);
    lbPass->SetCaption(GetLangText(kLangGui, key));
    DefaultButton = btOK;
    btOK->SetFocus();
}

void TfmPass::btSetClick()
{
    const TPassEntry entry{lePass->Text(), leRePass->Text(), cbShowPass->Checked()};
    // Setting relies on the read made when the dialog showed; the others ask again.
    if (mode_ != kPassSet) stored_ = ReadStoredPassword();
    const TPassOutcome outcome = DecidePassButton(mode_, entry, stored_);
    if (outcome.Action == TPassOutcome::Accept) {
        PassResult = IDYES;
        ModalResult = PassResult;
        Close();
        return;
    }
    if (!outcome.Write) {
        AnswerWith(outcome.AnswerKey);
        return;
    }
    WriteStrSetting("password", outcome.NewValue);
    AnswerWith(AnswerAfterWrite(outcome, ReadStoredPassword()));
}

void TfmPass::btOKClick()
{
    PassResult = IDNO;
    ModalResult = PassResult;
    Close();
}

void TfmPass::cbShowPassClick()
{
    const bool show = cbShowPass->Checked();
    lePass->SetPasswordChar(show ? 0 : kHiddenChar);
    if (mode_ == kPassSet) {
        leRePass->SetVisible(!show);
        lbRePassLabel->SetVisible(!show);
    }
}

void TfmPass::OnClose(gui::TCloseAction& action)
{
    ModalResult = PassResult;
    action = gui::TCloseAction::Hide;
}
