#include "fmReport.h"

#include <commctrl.h>

#include <memory>

#include "fmReportProp.h"
#include "qvProtocol.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr DWORD kAfterDeleteMs = 1000;
const char* const kReportSite = "quorvane.example";

struct TColumnKey {
    int Section;
    const char* Key;
};
constexpr TColumnKey kColumnKeys[] = {{kLangGui, "rep_c0"}, {kLangGui, "rep_c1"}, {kLangGui, "rep_c2"}, {kLangGui, "rep_c3"}};

}  // namespace

std::string ReportColumnText(const TMSlotMessage& row, int column)
{
    switch (column) {
    case 0: return row.Mess1.Str();
    case 1: return EventCodeText(row.A);
    case 2: return EventCodeText(row.B);
    case 3: return row.Data.Str();
    default: return {};
    }
}

TfmReportFrm::TfmReportFrm() : TForm(kReportForm)
{
    tmRedraw_.SetInterval(kReportRedrawMs);
    tmRedraw_.OnTimer = [this] { ShowRows(); };
    tmStall_.SetInterval(kReportStallMs / 5);
    tmStall_.OnTimer = [this] {
        if (TrayApp().ReportRows.Stalled(GetTickCount())) ShowRows();
    };
}

TfmReportFrm::~TfmReportFrm()
{
    if (TrayApp().ReportRows.OnChanged) TrayApp().ReportRows.OnChanged = nullptr;
}

void TfmReportFrm::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    params.Width = kReportClientWidth;
    params.Height = kReportClientHeight;
    params.CenterOnDesktop = true;
    params.Font.Height = 11;  // Tahoma 8
}

void TfmReportFrm::OnCreate()
{
    sbReport = Make<gui::TStatusBar>();
    sbReport->AddPanel(300, gui::TAlignment::Center);
    sbReport->AddPanel(200);
    sbReport->SetPanelText(1, kReportSite);
    sbReport->SetAlign(gui::TAlign::Bottom);

    lvReport = Make<gui::TListView>(true);
    lvReport->SetAlign(gui::TAlign::Client);
    lvReport->SetColumns({{"", 110}, {"", 200}, {"", 210}, {"", 410}});
    lvReport->OnData = [](int item, int column) {
        if (item < 0 || item >= static_cast<int>(TrayApp().ReportRows.Records.size())) return std::string();
        return ReportColumnText(TrayApp().ReportRows.Records[static_cast<size_t>(item)], column);
    };
    lvReport->OnDblClick = [this] { OpenProperties(); };
    lvReport->OnKeyDown = [this](WORD key) {
        if (key == VK_RETURN) OpenProperties();
    };

    mnClear = mmReport.Add(GetLangText(kLangGui, "repmn_clear"), [this] { mnClearClick(); });
    mnRefresh = mmReport.Add(GetLangText(kLangGui, "repmn_refresh"), [this] { mnRefreshClick(); });
    mnExit = mmReport.Add(GetLangText(kLangGui, "repmn_close"), [this] { Close(); });
    mmReport.AttachTo(Handle());
    Load();
}

void TfmReportFrm::Load()
{
    for (int column = 0; column < 4; ++column)
        lvReport->SetColumnCaption(column, GetLangText(kColumnKeys[column].Section, kColumnKeys[column].Key));
    SetCaption(GetLangText(kLangGui, "rep_cap"));
    TrayApp().ReportRows.BeginLoad();
    TrayApp().ReportRows.Status = GetLangText(kLangGui, "rep_st");
    TrayApp().ReportRows.OnChanged = [this] { RowsChanged(); };
    tmRedraw_.SetEnabled(false);
    lvReport->SetItemCount(0);
    ShowRows();
    SendTypeOnly(proto::kReport);
}

void TfmReportFrm::RowsChanged()
{
    if (TrayApp().ReportRows.Loading && GetTickCount() - lastShown_ < kReportRedrawMs) {
        if (!tmRedraw_.Enabled()) tmRedraw_.SetEnabled(true);  // the rest shows on its tick
        return;
    }
    ShowRows();
}

void TfmReportFrm::ShowRows()
{
    tmRedraw_.SetEnabled(false);
    lastShown_ = GetTickCount();
    const TReportRows& rows = TrayApp().ReportRows;
    // Within a dump rows only come at the end: the ones on show need no
    // redraw. A new dump may have changed every row.
    const bool sameDump = rows.Dumps == shownDump_;
    shownDump_ = rows.Dumps;
    ListView_SetItemCountEx(lvReport->Handle(), rows.ItemCount,
                            LVSICF_NOSCROLL | (sameDump ? LVSICF_NOINVALIDATEALL : 0));
    sbReport->SetPanelText(0, rows.Status);
    if (rows.Loading != hourglass_) {
        hourglass_ = rows.Loading;
        lvReport->SetCursor(hourglass_ ? IDC_WAIT : nullptr);
        // Only a dump under way can stall.
        tmStall_.SetEnabled(hourglass_);
    }
}

void TfmReportFrm::mnClearClick()
{
    SendTypeOnly(proto::kClearReport);
    Sleep(kAfterDeleteMs);
    Load();
}

void TfmReportFrm::mnRefreshClick() { Load(); }

void TfmReportFrm::OpenProperties()
{
    const int index = lvReport->SelectedIndex();
    if (index < 0 || index >= static_cast<int>(TrayApp().ReportRows.Records.size())) return;
    ShowReportProperties(TrayApp().ReportRows.Records[static_cast<size_t>(index)], Handle());
}

void TfmReportFrm::OnClose(gui::TCloseAction& action)
{
    // Rows still due from this dump are skipped, never listed in a later window.
    TrayApp().ReportRows.Reset();
    TrayApp().ReportRows.OnChanged = nullptr;
    tmRedraw_.SetEnabled(false);
    tmStall_.SetEnabled(false);
    action = gui::TCloseAction::Free;
}

void RegisterReportForm()
{
    gui::RegisterFormClass(kReportForm, [] { return std::make_unique<TfmReportFrm>(); });
}
