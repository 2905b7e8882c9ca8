#pragma once
// The settings window TfmSetting: a tree of eight entries at the left and the
// settings page of the selected entry at the right (frSettingsPage.h says how
// pages are made and which index is whose). Every page reads its switches
// from the service when selected and writes each change at once; the window
// keeps no settings. When the settings are protected by a password it asks
// for it on showing (the dialog "TfmPass", mode 3) and without it shows the
// protected pages disabled. Opened by the form manager at a page number.
#include <cstdint>
#include <string>

#include "frSettingsPage.h"
#include "qvForms.h"
#include "qvListControls.h"
#include "qvPageControl.h"
#include "uFormUtils.h"

constexpr int32_t kPassModeOpenSettings = 3;
constexpr int kSettingsTreeWidth = 305;
constexpr int kSettingsClientWidth = 792;
constexpr int kSettingsClientHeight = 493;
constexpr int kSettingsMinWidth = 800;
constexpr int kSettingsMinHeight = 520;

// The maker's notice (status bar) and download page (update page's site button).
extern const char* const kMakerNotice;
extern const char* const kMakerDownloadAddress;

// What the answers of the gate's two reads ask for: the password is asked
// when one is set, unless the service said the settings are not protected.
// A `setting_protect` read without an answer asks too: a slow service must
// not open the settings unlocked.
bool SettingsGateAsks(const std::string& password, bool protectAnswered, bool protect);

class TfmSetting : public gui::TForm, public TSettingsPages {
public:
    TfmSetting();

    // Selects tree entry `page` (the page then loads and shows).
    void SelectPage(int page) override;
    // The page of an index (nullptr when its unit registered none).
    TSettingsPage* Page(int index) const;
    // The index of the page on show, -1 when none.
    int ShownPage() const;

    gui::TTreeView* tvSetting = nullptr;
    gui::TStatusBar* sbBar = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnShow() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    void PasswordGate();
    void ApplyLock();
    void tvSettingChange(int index);
    TSettingsPage* pages_[kSettingsPageCount] = {};
};

// Opens the maker's download page in the browser of the system.
void OpenMakerDownloadPage();
// The trust list, as the autorun page's button opens it.
void OpenTrustListFromSettings();

// Registers TfmSetting and every settings page with the form manager.
void RegisterSettingsForm();
