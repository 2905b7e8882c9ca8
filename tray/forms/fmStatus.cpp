#include "fmStatus.h"

#include <shellapi.h>

#include <memory>

#include "cryptograph.h"
#include "qvJpeg.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uInetUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

// The two OEM notices, the OEM address and the maker's two pages.
constexpr const char* kOemInfoRussian =
    "53600915919200661319708139189602193562909592088240908082797479745333085864748008735266019954587971147114975650"
    "74391612423777026695369574733022321793540379589428917876761770313631580018281480029735594711767650315562803952"
    "80841594352999528226";
constexpr const char* kOemInfoOther =
    "23874004653946540312735369916500637265076712221387398742893010836330535929549730469868282990628123368191499860"
    "81235018690174999825798693859363606650260241352437217622378757245041586707499481030154135264728886415037040150"
    "93150714865921921251235483478355041009938637";
constexpr const char* kOemUrl =
    "07787842253365020157210685934062257144594215343046165933801413790715420983974725831879398919201025176910837406"
    "098190751423366707409219344598216165137484677082416156196563318028453895042776030766527575";
constexpr const char* kHomePage =
    "05145602055507680575050043356842471788310679347082367555447257970331286927576383213491534593067683754174853882"
    "052776751207786107867213328170810329153486011488274390194745378282075013660536436146563159";
constexpr const char* kManualPage =
    "03725226255187822771836021936002675102532871565462101515609275570173486345716361617015318555481445518112077646"
    "63631439344758092722701798437005812177722267928045495455272333248241743982071007274052113983149369411884214530"
    "3518215743850316860707929126475560484770426721726117857221092618959225529200673521640970932969363920";

const char* const kStatusNotice = "(c) Quorvane developers";
const char* const kStatusSite = "quorvane.example";

constexpr int kTopHeight = 41;
constexpr int kOemColumnWidth = 313;
constexpr int kGroupTop = kTopHeight + 8;
constexpr int kGuardsLeft = 8;
constexpr int kGuardsWidth = 306;
constexpr int kGuardsHeight = 206;
constexpr int kRowPitch = 35;
constexpr int kToolsLeft = 322;
constexpr int kToolsWidth = 235;
constexpr int kButtonHeight = 25;
constexpr int kButtonPitch = 30;
constexpr int kToolsHeight = 24 + 7 * kButtonPitch;
constexpr int kLinksHeight = 20 + 2 * kButtonPitch;
constexpr TColor kPanelFace = clBtnFace;

// The settings page of each area (the settings tree's numbering).
int SettingsPageOf(TRatingArea area)
{
    switch (area) {
    case TRatingArea::Shell: return 1;
    case TRatingArea::Admin: return 2;
    case TRatingArea::Autoruns: return 3;
    case TRatingArea::Files: return 4;
    case TRatingArea::Network: return 7;
    }
    return 0;
}

// The area's row on the window, top to bottom, and its caption key.
struct TAreaPlace {
    TRatingArea Area;
    int Section;
    const char* Key;
};
constexpr TAreaPlace kAreaRows[] = {{TRatingArea::Shell, kLangGui, "st_shell"},
                                    {TRatingArea::Admin, kLangGui, "st_admin"},
                                    {TRatingArea::Files, kLangGui, "st_files"},
                                    {TRatingArea::Autoruns, kLangGui, "st_arun"},
                                    {TRatingArea::Network, kLangGui, "st_inet"}};

void SendTrayCommand(WPARAM command)
{
    TrayApp().Actions.Run(command);
}

TFontDesc BoldFont(int height = 11)
{
    TFontDesc font;
    font.Height = height;
    font.Bold = true;
    return font;
}

}  // namespace

std::string StatusHomePage() { return UnscrambleText(kHomePage); }
std::string StatusManualPage() { return UnscrambleText(kManualPage); }
std::string DefaultOemUrl() { return UnscrambleText(kOemUrl); }

std::string DefaultOemInfo(const std::string& languageSetting)
{
    return UnscrambleText(SameText(languageSetting, "russian.lng") ? kOemInfoRussian : kOemInfoOther);
}

TfmStatusForm::TfmStatusForm() : TForm(kStatusForm) {}

void TfmStatusForm::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME;
    params.Width = kStatusClientWidth;
    params.Height = kStatusClientHeight;
    params.CenterOnDesktop = true;
    params.Font = BoldFont();
}

void TfmStatusForm::OnCreate()
{
    if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "TRAY")) {
        SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    sbStat = Make<gui::TStatusBar>();
    sbStat->AddPanel(300, gui::TAlignment::Center);
    sbStat->AddPanel(kStatusClientWidth - 300, gui::TAlignment::Center);  // wide enough for the address
    sbStat->SetPanelText(0, kStatusNotice);
    sbStat->SetPanelText(1, kStatusSite);
    sbStat->SetAlign(gui::TAlign::Bottom);
    MakeTop();
    MakeGuards();
    MakeTools();
    initForm();
    getProc();
}

void TfmStatusForm::MakeTop()
{
    pnTop = Make<gui::TPanel>();
    pnTop->SetBounds(0, 0, kStatusClientWidth, kTopHeight);
    pnTop->SetAlign(gui::TAlign::Top);
    pnTop->SetColor(clWhite);
    pnTop->SetCaption("");

    imLogo = pnTop->Make<gui::TImage>();
    imLogo->SetBounds(4, 2, 37, 37);
    imLogo->SetStretch(true);
    TJpegPicture logo;
    if (LoadJpegResource(nullptr, "LOGO", logo)) imLogo->SetPicture(logo.Release());

    lbName = pnTop->Make<gui::TLabel>("Quorvane");
    TFontDesc nameFont = BoldFont(21);
    nameFont.Name = "Times New Roman";
    lbName->SetFont(nameFont);
    lbName->SetFontColor(clNavy);
    lbName->SetBounds(48, 7, 118, 26);

    lbVer = pnTop->Make<gui::TLabel>();
    lbVer->SetFontColor(clGray);
    lbVer->SetBounds(170, 19, 80, 14);

    const int column = kStatusClientWidth - kOemColumnWidth;
    lbOemInfo = pnTop->Make<gui::TLabel>();
    lbOemInfo->SetAutoSize(false);
    lbOemInfo->SetAlignment(gui::TAlignment::Center);
    lbOemInfo->SetBounds(column, 4, kOemColumnWidth, 15);
    lbOemUrl = pnTop->Make<gui::TLabel>();
    lbOemUrl->SetAutoSize(false);
    lbOemUrl->SetAlignment(gui::TAlignment::Center);
    lbOemUrl->SetBounds(column, 21, kOemColumnWidth, 15);
    TFontDesc linkFont = BoldFont();
    linkFont.Underline = true;
    lbOemUrl->SetFont(linkFont);
    lbOemUrl->SetFontColor(gui::clBlue);
    lbOemUrl->SetCursor(IDC_HAND);
    lbOemUrl->OnClick = [this] { lbOemUrlClick(); };
}

void TfmStatusForm::MakeGuards()
{
    gbGuards = Make<gui::TGroupBox>();
    gbGuards->SetBounds(kGuardsLeft, kGroupTop, kGuardsWidth, kGuardsHeight);
    int top = 24;
    for (const TAreaPlace& place : kAreaRows) {
        TAreaRow& row = rows_[static_cast<size_t>(place.Area)];
        row.Area = gbGuards->Make<gui::TPanel>();
        row.Area->SetBounds(10, top, kStatusAreaWidth, kStatusRowHeight);
        row.Area->SetBevel(gui::TBevel::Lowered);
        row.Area->SetCursor(IDC_HAND);
        row.Area->Tag = SettingsPageOf(place.Area);
        row.Area->Name = place.Key;
        gui::TPanel* area = row.Area;
        row.Area->OnClick = [area] { OpenSettings(area->Tag); };
        row.Percent = gbGuards->Make<gui::TPanel>();
        row.Percent->SetBounds(10 + kStatusAreaWidth + 6, top, kStatusPercentWidth, kStatusRowHeight);
        row.Percent->SetBevel(gui::TBevel::Lowered);
        row.Percent->SetCaption("0%");
        top += kRowPitch;
    }
    auto* picture = Make<gui::TImage>();
    picture->SetBounds(kGuardsLeft, kGroupTop + kGuardsHeight + 8, kGuardsWidth, 110);
    picture->SetStretch(true);
    TJpegPicture status;
    if (LoadJpegResource(nullptr, "STATUS", status)) picture->SetPicture(status.Release());
}

void TfmStatusForm::MakeTools()
{
    gbTools = Make<gui::TGroupBox>();
    gbTools->SetBounds(kToolsLeft, kGroupTop, kToolsWidth, kToolsHeight);
    int top = 20;
    auto button = [&](gui::TContainer& parent, std::function<void()> onClick) {
        auto* made = parent.Make<gui::TButton>();
        made->SetBounds(10, top, kToolsWidth - 20, kButtonHeight);
        made->OnClick = std::move(onClick);
        top += kButtonPitch;
        return made;
    };
    btEvents = button(*gbTools, [] { OpenReport(); });
    btTrust = button(*gbTools, [] {
        TMSlotMessage cleared;
        ClearMailSlotMessage(cleared);
        OpenTrustList(cleared);
    });
    btAutorun = button(*gbTools, [] { OpenAutorunManager(0, ""); });
    btSetting = button(*gbTools, [] { OpenSettings(0); });
    btFirst = button(*gbTools, [] { OpenWizard(); });
    btHostsShow = button(*gbTools, [] { SendTrayCommand(cmdHostsCopy); });
    btStop = button(*gbTools, [] { SendTrayCommand(cmdStopProtection); });

    auto* links = Make<gui::TGroupBox>();
    links->SetBounds(kToolsLeft, kGroupTop + kToolsHeight + 4, kToolsWidth, kLinksHeight);
    top = 14;
    btHome = button(*links, [] { OpenAddress(StatusHomePage(), 0); });
    btHelp = button(*links, [] { OpenAddress(StatusManualPage(), 0); });
}

void TfmStatusForm::initForm()
{
    SetCaption(GetLangText(kLangGui, "st_cap"));
    lbVer->SetCaption(GetLangText(kLangGui, "st_ver") + " " + GetVersionText());
    gbGuards->SetCaption(GetLangText(kLangGui, "w_fld"));
    gbTools->SetCaption(GetLangText(kLangGui, "st_tools"));
    for (const TAreaPlace& place : kAreaRows) Row(place.Area).Area->SetCaption(GetLangText(place.Section, place.Key));
    btEvents->SetCaption(GetLangText(kLangGui, "tray_events"));
    btTrust->SetCaption(GetLangText(kLangGui, "tray_trust"));
    btAutorun->SetCaption(GetLangText(kLangGui, "tray_autorun"));
    btSetting->SetCaption(GetLangText(kLangGui, "tray_setting"));
    btHome->SetCaption(GetLangText(kLangGui, "st_home"));
    btStop->SetCaption(GetLangText(kLangGui, "tray_stop"));
    btFirst->SetCaption(GetLangText(kLangGui, "st_first"));
    btHelp->SetCaption(GetLangText(kLangGui, "help"));
    btHostsShow->SetCaption(GetLangText(kLangGui, "hm_cap"));
    InitOemLabels();
}

void TfmStatusForm::InitOemLabels()
{
    std::string language;
    const bool languageKnown = ReadStrSetting("language", language);
    std::string text;
    if (ReadStrSetting("OEMinfo", text))
        lbOemInfo->SetCaption(text.empty() ? DefaultOemInfo(languageKnown ? language : "") : text);
    if (ReadStrSetting("OEMurl", text)) lbOemUrl->SetCaption(text.empty() ? DefaultOemUrl() : text);
}

void TfmStatusForm::getProc()
{
    // A request may let an activation through while it waits: one rating at a time.
    if (!gate_.TryEnter()) return;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    const int major = GetOSVersionInfo(version) ? static_cast<int>(version.dwMajorVersion) : 0;
    const TSwitchReader read = [](const std::string& name) {
        bool value = false;
        return ReadBoolSetting(name, value) && value;
    };
    for (TRatingArea area : kRatingOrder) ShowRating(area, RateArea(area, read, major));
    ++ratings_;
    gate_.Leave();
}

void TfmStatusForm::ShowRating(TRatingArea area, const TRating& rating)
{
    const double percent = rating.Percent();
    const TColor colour = RatingColour(percent);
    const TAreaRow& row = Row(area);
    row.Percent->SetCaption(RatingCaption(percent));
    row.Percent->SetColor(colour);
    row.Area->SetColor(colour);
    UpdateWindow(row.Percent->Handle());
    UpdateWindow(row.Area->Handle());
}

void TfmStatusForm::lbOemUrlClick()
{
    // Any local program can set the address: open web addresses only.
    const std::string address = lbOemUrl->Caption();
    if (!IsWebAddress(address)) return;
    ShellExecuteA(Handle(), "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TfmStatusForm::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

bool TfmStatusForm::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&)
{
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) getProc();
    return false;  // the frame's own handling goes on
}

void RegisterStatusForm()
{
    gui::RegisterFormClass(kStatusForm, [] { return std::make_unique<TfmStatusForm>(); });
}
