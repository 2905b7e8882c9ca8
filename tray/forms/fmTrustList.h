#pragma once
// The trust list TfmTrustList: the service's list of trusted files ("path|MD5"
// entries of the setting trustList), with adding (by the two fields, or by
// choosing a file whose digest the service computes) and deleting. The service
// keeps the list (commands 21, 22, 23, 42); the window asks for it when it is
// created and enables its buttons once the whole list has arrived. It opens
// with a record (Data a path, Mess1 an MD5 hex, both possibly empty) whose
// entry it shows ready to be added. Main thread only.
#include <functional>
#include <string>

#include "TrustEntries.h"
#include "qvControls.h"
#include "qvForms.h"
#include "uMailSlots.h"

class TfmTrustList : public gui::TForm {
public:
    TfmTrustList();

    // The list is complete: the list box takes it and the held entry is selected.
    void ShowTrustList();
    void AppendReceived(const std::string& entry);
    int RequestId() const { return requestId_; }
    bool Loaded() const { return loaded_; }

    void lbTrustClick();
    void btAddToTrustClick();
    void btDelFromTrustClick();

    // Asks the user for a file; false when none was chosen. Tests replace it.
    std::function<bool(std::string& fileName)> ChooseFile;

    gui::TListBox* lbTrust = nullptr;
    gui::TPanel* pnTrust = nullptr;
    gui::TEdit* lePath = nullptr;
    gui::TEdit* leMd5hash = nullptr;
    gui::TButton* btAddToTrust = nullptr;
    gui::TButton* btDelFromTrust = nullptr;
    gui::TLabel* lbMessage = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnShow() override;
    void OnClose(gui::TCloseAction& action) override;
    void OnDestroy() override;

private:
    void FillListBox();
    void ClearFields();
    bool ChooseFileByDialog(std::string& fileName);
    void AskDigestOfChosenFile();

    TMSlotMessage held_{};
    TStringList received_;  // as the service sent them, until complete
    TStringList entries_;   // what the list box shows
    int requestId_ = -1;
    bool loaded_ = false;
};

// One record of the service's answer to 21 (Type 21, or the empty answer),
// from the receiver, on the main thread: counted off against the requests of
// trust-list windows and handed to the window that asked, if still open.
void TrustListRowArrived(const TMSlotMessage& record);

// Registers TfmTrustList with the form classes (at program start).
void RegisterTrustListForm();
