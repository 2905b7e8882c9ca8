#pragma once
// The hosts manager TfmHostsManager: the user views and edits the hosts file
// and the hosts guard's allow-list. The tray has no rights on the hosts file:
// it works on the transfer copy the service wrote for it (the name the tray
// asked for, kept by the hidden window), hands every saved text back to the
// service (13/17) and asks it for a fresh copy (13/15); the allow-list
// "hostlist.qrv" is read from the data folder once per reload and changed
// only through the service (43, 44, 45). The copy is deleted when the window
// closes. Main thread only; opened by the form manager with the service's
// result code as Tag. While a reload waits for the service's fresh copy
// nothing writes the copy; each failure is named in the status line.
#include <string>
#include <vector>

#include "HostsEditing.h"
#include "qvApplication.h"
#include "qvForms.h"
#include "qvListControls.h"
#include "qvMenus.h"
#include "qvPageControl.h"

constexpr int kHostsClientWidth = 619;
constexpr int kHostsClientHeight = 465;
constexpr int kHostsMinWidth = 560;
constexpr int kHostsMinHeight = 300;
constexpr int kHostsSettingsPage = 7;
constexpr TColor kAllowedRowColor = RGB(144, 238, 144);

class TfmHostsManager : public gui::TForm {
public:
    TfmHostsManager();
    ~TfmHostsManager() override;

    // 777 copied: show the copy; 666 no hosts file: say so; else empty.
    void SetStatus(int code);
    void ReloadHostsView();
    // The service's 13/15 answer that reached the tray while the window is open.
    void CopyAnswered(const std::string& fileName, int code);

    // Handlers, as a user reaches them.
    void btLoadHostsClick();
    void btSaveHostsClick();
    void btRestoreHostsClick();
    void btSettingClick();
    void btAddToListClick();
    void pcHostsChange();
    // The redirect row or allow-list row the pop-up menus act on.
    void AddSelectedToHostList();
    void RemoveSelectedFromHostList();
    void CommentOutSelectedPair();
    void FindSelectedHost();
    void InsertAllowedEntry();
    void DeleteAllowedEntry();

    const std::string& CopyName() const { return copyName_; }
    const std::vector<THostsRow>& RedirectList() const { return rows_; }
    const std::vector<THostsRow>& AllowList() const { return allowRows_; }
    bool LoadPending() const { return wait_.Waiting(); }
    std::string StatusText() const;
    TStringList MemoLines() const;
    void SetMemoLines(const TStringList& lines);

    gui::TPageControl* pcHosts = nullptr;
    gui::TTabSheet* tsEditHosts = nullptr;
    gui::TTabSheet* tsViewHosts = nullptr;
    gui::TTabSheet* tsAllRecHosts = nullptr;
    gui::TMemo* meHosts = nullptr;
    gui::TListView* lvHosts = nullptr;
    gui::TListView* lvGoodListHost = nullptr;
    gui::TPanel* pnEdit = nullptr;
    gui::TEdit* edSite = nullptr;
    gui::TEdit* edIp = nullptr;
    gui::TButton* btAddToList = nullptr;
    gui::TPanel* pnHosts = nullptr;
    gui::TButton* btSaveHosts = nullptr;
    gui::TButton* btRestoreHosts = nullptr;
    gui::TButton* btLoadHosts = nullptr;
    gui::TButton* btSetting = nullptr;
    gui::TLabel* lbStatus = nullptr;
    gui::TPopupMenu pmHosts;
    gui::TPopupMenu pmListGood;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnShow() override;
    void OnClose(gui::TCloseAction& action) override;
    void OnDestroy() override;

private:
    void init();
    void MakeEditorTab();
    void MakeRedirectTab();
    void MakeAllowListTab();
    void MakeButtonPanel();
    void pmHostsPopup();
    void pmListGoodPopup();
    // Writes the editor's text to the copy; says so when it cannot, and
    // writes nothing while a reload waits.
    bool SaveMemo();
    // Shows what failed below the lists, and logs it.
    void Fail(const char* key, const std::string& logLine);
    void LoadAllowList(const TStringList& lines);
    void WaitTick();
    void EndWait(THostsCopyWait::TState state);
    bool SelectedPair(const gui::TListView* list, const std::vector<THostsRow>& rows, std::string& pair) const;
    void DeleteHostsCopy();
    void SetButtonsEnabled(bool enabled);

    std::string copyName_;
    std::vector<THostsRow> rows_;
    std::vector<THostsRow> allowRows_;
    THostsCopyWait wait_;
    gui::TTimer waitTimer_;
    gui::TMenuItem* miAllow_ = nullptr;
    gui::TMenuItem* miComment_ = nullptr;
    gui::TMenuItem* miFind_ = nullptr;
    gui::TMenuItem* miInsert_ = nullptr;
    gui::TMenuItem* miDelete_ = nullptr;
};

// The data folder's allow-list, "hostlist.qrv".
std::string HostListFilePath();
// The user's temporary folder, where the transfer copies are made.
std::string TransferFolder();

// The report's "Show" on a jailed hosts copy: the jailed file is copied to a
// new transfer name and the service asked (13/16) to open the manager on it.
// The copy's name; empty when the manager is open already or the copy cannot
// be made or sent.
std::string ShowJailedHostsCopy(const std::string& jailedFile);

// Registers TfmHostsManager with the form classes (at program start).
void RegisterHostsManagerForm();
