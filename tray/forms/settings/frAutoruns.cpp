#include "frAutoruns.h"

#include "fmSetting.h"
#include "uFormUtils.h"

namespace {

constexpr int kGap = 6;
constexpr int kButtonRow = 32;

}  // namespace

TfrmAutorun::TfrmAutorun(gui::TContainer& host) : TSwitchPage(host)
{
    pcAutorun = Body->Make<gui::TPageControl>(true);
    pcAutorun->SetAlign(gui::TAlign::Client);
    tsAll = pcAutorun->AddPage({});
    tsSys = pcAutorun->AddPage({});
    tsUser = pcAutorun->AddPage({});
    AddText("arn_all", [this](const std::string& text) { pcAutorun->SetPageCaption(tsAll, text); });
    AddText("arn_sys", [this](const std::string& text) { pcAutorun->SetPageCaption(tsSys, text); });
    AddText("arn_user", [this](const std::string& text) { pcAutorun->SetPageCaption(tsUser, text); });

    int top = kGap;
    gbAutorunFolder = AddGroup(*tsAll, "arn_gbfolder", top, 2);
    top += GroupHeight(2) + kGap;
    gbAutorunReg = AddGroup(*tsAll, "arn_gbreg", top, 2);
    top += GroupHeight(2) + kGap;
    gbSetting = AddGroup(*tsAll, "arn_gbset", top, 3, kButtonRow);
    top += GroupHeight(3, kButtonRow) + kGap;
    gbMbr = AddGroup(*tsAll, "mbr_group", top, 1);
    gbSystem = AddGroup(*tsSys, "arn_gbsys", kGap, 4);
    gbUser = AddGroup(*tsUser, "arn_gbuser", kGap, 5);

    // In the order the load reads them.
    cbFolderAll = AddSwitch(*gbAutorunFolder, 1, "arn_cfa", "arn_all_folder");
    cbFolderUser = AddSwitch(*gbAutorunFolder, 2, "arn_cfu", "arn_user_folder");
    cbSystemReg = AddSwitch(*gbAutorunReg, 1, "arn_csr", "arn_all_reg");
    cbUserReg = AddSwitch(*gbAutorunReg, 2, "arn_cur", "arn_user_reg");
    cbUseTrustList = AddSwitch(*gbSetting, 1, "arn_cutl", "arn_use_trustlist");
    cbSysRun = AddSwitch(*gbSystem, 1, "arn_csrun", "arn_all_run");
    cbSysRunOnce = AddSwitch(*gbSystem, 2, "arn_csro", "arn_all_runonce");
    cbSysRunOnceEx = AddSwitch(*gbSystem, 3, "arn_csroe", "arn_all_runonceex");
    cbSysPoliceRun = AddSwitch(*gbSystem, 4, "arn_cspr", "arn_all_polices");
    cbUserRun = AddSwitch(*gbUser, 1, "arn_curun", "arn_user_run");
    cbUserRunOnce = AddSwitch(*gbUser, 2, "arn_curo", "arn_user_runonce");
    cbUserPoliceRun = AddSwitch(*gbUser, 3, "arn_cupr", "arn_user_polices");
    cbUserRunNT = AddSwitch(*gbUser, 5, "arn_curnt", "arn_user_ntrun");
    cbUserLoadNT = AddSwitch(*gbUser, 4, "arn_cul", "arn_user_ntload");
    cbCloseThread = AddSwitch(*gbSetting, 2, "arn_cct", "arn_close_thread");
    cbOffUnrec = AddSwitch(*gbSetting, 3, "arn_off_cmd", "arn_disable_cmd");
    cbMBR = AddSwitch(*gbMbr, 1, "mbr_check", "mbr_guard");

    const int buttonTop = kGroupCaption + 3 * kRowHeight + 4;
    const int buttonWidth = (gbSetting->Width() - 36) / 2;
    btTrustList = gbSetting->Make<gui::TButton>();
    btTrustList->SetBounds(12, buttonTop, buttonWidth, 25);
    btAutorunMan = gbSetting->Make<gui::TButton>();
    btAutorunMan->SetBounds(gbSetting->Width() - 12 - buttonWidth, buttonTop, buttonWidth, 25);
    AddText("arn_btl", [this](const std::string& text) { btTrustList->SetCaption(text); });
    AddText("arn_bam", [this](const std::string& text) { btAutorunMan->SetCaption(text); });
    btTrustList->OnClick = [] { OpenTrustListFromSettings(); };
    btAutorunMan->OnClick = [this] { btAutorunManClick(); };
}

void TfrmAutorun::btAutorunManClick() { OpenAutorunManager(0, {}); }

void RegisterAutorunPage()
{
    RegisterSettingsPage(kPageAutoruns, [](gui::TContainer& host) { return host.Make<TfrmAutorun>(); });
}
