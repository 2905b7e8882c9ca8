#pragma once
// A page of the settings window (TfmSetting): a panel that fills the area
// right of the window's tree (487 x 473 pixels at the window's design size),
// with a heading panel at its top (41 pixels, bold Tahoma 12, money green)
// whose text the window sets, and a Body panel under it (487 x 432) that
// holds the page's controls (positions are Body's client pixels).
//
// The window creates every page once, when it is created, by page index, and
// hides all but the selected one. Each time a page's tree entry is selected
// the window calls LoadPage: set every text from the language file, then read
// every switch from the service into its control with SetChecked /
// SetItemIndex / SetText (which call no handler), so loading sends nothing.
// A change by the user writes at once from the control's handler.
// ApplyLock(unlocked) runs after the password gate: by default it enables or
// disables the whole page (its container: a control inside cannot be enabled
// again by a later load); a page with parts that stay usable overrides it.
//
// Registering a page: its unit defines a function that registers a factory
// under the page's index, and that function is called from
// RegisterSettingsPages() (frSettingsPages.cpp, the one list of page units):
//     void RegisterInetPage()
//     {
//         RegisterSettingsPage(kPageInet, [](gui::TContainer& host) { return host.Make<TfrmInet>(); });
//     }
// An index without a factory shows nothing when selected.
//
// Helpers: TSwitchPage (frSwitchPage.h) is a page of yes/no switches (a check
// box per setting, read on load, written on click). The settings window's own
// button handlers are functions of fmSetting.h: OpenMakerDownloadPage (the
// update page's site button), OpenTrustListFromSettings; TrayApp().Session.SettingsUnlocked
// tells whether the password let the user in.
//
// Page indices (the tree's entries; callers open the window at these):
//   0 about (frAbout, TfrmAbout)            5 update (frUpdate, TfrmUpdate)
//   1 shell (frShell, TfrmShell)            6 language and tray (frLocalization, TfrLocal)
//   2 admin tools (frAdmin, TfAdmin)        7 network (frInet, TfrmInet)
//   3 autoruns (frAutoruns, TfrmAutorun)
//   4 hijacks, files (frChangeFile, TfrmChangeFile)
// Pages 1 to 4 are this unit's neighbours (protection pages); 0, 5, 6 and 7
// are the network, update, language and about pages.
#include <functional>

#include "qvControls.h"

enum TSettingsPageIndex : int {
    kPageAbout = 0,
    kPageShell = 1,
    kPageAdmin = 2,
    kPageAutoruns = 3,
    kPageChangeFile = 4,
    kPageUpdate = 5,
    kPageLocal = 6,
    kPageInet = 7,
    kSettingsPageCount = 8
};

class TSettingsPage : public gui::TPanel {
public:
    explicit TSettingsPage(gui::TContainer& host);

    gui::TPanel* Heading = nullptr;  // the window sets its text
    gui::TPanel* Body = nullptr;     // the page's controls

    // Texts, then every switch from the service; sends nothing.
    virtual void LoadPage() = 0;
    // The settings password's verdict: may the protected controls change?
    virtual void ApplyLock(bool unlocked) { SetEnabled(unlocked); }
};

using TSettingsPageFactory = std::function<TSettingsPage*(gui::TContainer& host)>;

void RegisterSettingsPage(int index, TSettingsPageFactory factory);
// A new page of that index on the host; nullptr when none is registered.
TSettingsPage* CreateSettingsPage(int index, gui::TContainer& host);

// Registers every page unit's page (frSettingsPages.cpp).
void RegisterSettingsPages();
