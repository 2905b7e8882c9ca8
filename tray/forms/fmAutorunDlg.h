#pragma once
// The new-autorun dialog TfmAutorunDlg: one autorun event that the user
// answered on its pop-up (kind, entry name, path) and two ways on: trust the
// file (the trust list opens with the event's path and digest) or open the
// autorun manager on the event's path. The event is found in the receiver's
// queue by the value of the pop-up answered last; when it is no longer there
// the dialog shows nothing and offers nothing. Main thread only.
#include "qvControls.h"
#include "qvForms.h"
#include "uMailSlots.h"

class TfmAutorunDlg : public gui::TForm {
public:
    TfmAutorunDlg();

    bool HasEvent() const { return hasEvent_; }
    const TMSlotMessage& Event() const { return event_; }

    void btAddTrustClick();
    void btAutorunManClick();

    gui::TGroupBox* gbADLG = nullptr;
    gui::TLabel* lbArnCap = nullptr;
    gui::TLabel* lbSourceCap = nullptr;
    gui::TLabel* lbNameCap = nullptr;
    gui::TLabel* lbPathCap = nullptr;
    gui::TLabel* lbSource = nullptr;
    gui::TLabel* lbName = nullptr;
    gui::TLabel* lbPath = nullptr;
    gui::TButton* btAddTrust = nullptr;
    gui::TButton* btAutorunMan = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    gui::TLabel* Row(int top, const std::string& caption, gui::TLabel*& value);
    void TakeEvent();

    TMSlotMessage event_{};
    bool hasEvent_ = false;
};

// The message the running autorun manager gets for an event: the event record
// as received, Type 20, with the path also in Mess (where the manager reads it).
TMSlotMessage AutorunManagerRecord(const TMSlotMessage& event);

// Registers TfmAutorunDlg with the form classes (at program start).
void RegisterAutorunDialogForm();
