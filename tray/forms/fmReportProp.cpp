#include "fmReportProp.h"

#include <memory>

#include "fmHostsManager.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uExplorerShow.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uReportModel.h"
#include "uTrayModels.h"

namespace {

constexpr int kLabelLeft = 12;
constexpr int kValueLeft = 90;
constexpr int kValueWidth = kReportPropWidth - kValueLeft - 28;

TFontDesc BoldFont()
{
    TFontDesc font;
    font.Bold = true;
    return font;
}

}  // namespace

void ShowReportProperties(const TMSlotMessage& row, HWND over)
{
    auto* open = dynamic_cast<TfmRepProp*>(gui::FindForm(kReportPropertiesForm));
    if (open && open->Visible()) {
        open->SetRow(row);
        open->BringToFront();
        return;
    }
    if (open) gui::FreeForm(open);  // a closed leftover
    auto* form = dynamic_cast<TfmRepProp*>(gui::CreateForm(kReportPropertiesForm));
    if (!form) return;
    form->SetOwnerWindow(over);
    form->SetRow(row);
    if (HWND window = form->Handle(); window && over) {
        RECT owner{}, own{};
        GetWindowRect(over, &owner);
        GetWindowRect(window, &own);
        const int width = own.right - own.left, height = own.bottom - own.top;
        SetWindowPos(window, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                     owner.top + (owner.bottom - owner.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    form->Show();
}

TfmRepProp::TfmRepProp() : TForm(kReportPropertiesForm) {}

void TfmRepProp::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME;
    params.Width = kReportPropWidth;
    params.Height = kReportPropHeight;
}

void TfmRepProp::OnCreate()
{
    SetCaption(GetLangText(kLangGui, "pe_cap"));
    gbShells = Make<gui::TGroupBox>();
    gbShells->SetBounds(8, 4, kReportPropWidth - 16, kReportPropHeight - 12);
    auto pair = [&](const char* key, int top, gui::TLabel*& caption, gui::TLabel*& value, bool bold) {
        caption = gbShells->Make<gui::TLabel>(GetLangText(kLangGui, key));
        caption->SetBounds(kLabelLeft, top, kValueLeft - kLabelLeft - 4, 15);
        value = gbShells->Make<gui::TLabel>();
        value->SetAutoSize(false);
        value->SetBounds(kValueLeft, top, kValueWidth, 15);
        if (bold) value->SetFont(BoldFont());
    };
    pair("pe_src", 20, lbSource, lbFrom, true);
    pair("pe_ev", 42, lbEvent, lbHappen, false);
    pair("pe_time", 64, lbTime, lbDTime, false);
    lbPath = gbShells->Make<gui::TLabel>(GetLangText(kLangGui, "pe_path"));
    lbPath->SetBounds(kLabelLeft, 90, 200, 15);
    lePath = gbShells->Make<gui::TEdit>();
    lePath->SetReadOnly(true);  // "Show" acts on the event's own path only
    lePath->SetBounds(kLabelLeft, 107, kReportPropWidth - 16 - 2 * kLabelLeft, 21);
    btGoto = gbShells->Make<gui::TButton>(GetLangText(kLangGui, "pe_show"));
    btGoto->SetBounds(kReportPropWidth - 16 - kLabelLeft - 100, 136, 100, 25);
    btGoto->OnClick = [this] { btGotoClick(); };
}

void TfmRepProp::SetRow(const TMSlotMessage& row)
{
    if (!Handle()) return;
    row_ = row;
    const std::string path = row.Data.Str();
    const bool pathShown = !EventHidesPath(row.A, path);
    lbPath->SetVisible(pathShown);
    lePath->SetVisible(pathShown);
    btGoto->SetVisible(pathShown);
    std::string place;
    EventPlaceText(row.A, place);
    lbFrom->SetCaption(place);
    lbHappen->SetCaption(EventCodeText(row.B));
    lePath->SetText(path);
    lbDTime->SetCaption(row.Mess1.Str());
}

void TfmRepProp::btGotoClick()
{
    const std::string path = lePath->Text();
    if (row_.A == evkHosts) {
        ShowHostsCopy(path);
        return;
    }
    ShowPathOrFolder(path);
}

void TfmRepProp::ShowHostsCopy(const std::string& jailed)
{
    // Nothing while the manager is open on a copy already: another answer would replace it.
    std::string copy = ShowJailedHostsCopy(jailed);
    if (!copy.empty()) hostsCopy_ = std::move(copy);
}

void TfmRepProp::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

void RegisterReportPropForm()
{
    gui::RegisterFormClass(kReportPropertiesForm, [] { return std::make_unique<TfmRepProp>(); });
}
