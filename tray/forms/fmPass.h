#pragma once
// The settings password dialog TfmPass: sets, deletes and checks the
// password that guards stopping the protection and opening the settings.
// The caller creates it by class name, sets TrayApp().Session.PassMode, shows
// it modally and frees it; the modal result is 6 once a correct password was
// entered in the confirming modes, 7 otherwise. The decisions are in
// uPassCheck; this unit is the window and the service round trips.
// The dialog is owned by the window that opens it (SetOwnerWindow, or else the
// window active when it shows), so it stays above that window, also above an
// always-on-top settings window.
#include <string>

#include "qvControls.h"
#include "qvForms.h"
#include "uPassCheck.h"

class TfmPass : public gui::TForm {
public:
    TfmPass();

    // For tests: the controls a user works with.
    gui::TEdit* PasswordEdit() const { return lePass; }
    gui::TEdit* RepeatEdit() const { return leRePass; }
    gui::TCheckBox* ShowPassword() const { return cbShowPass; }
    gui::TButton* SetButton() const { return btSet; }
    gui::TButton* OkButton() const { return btOK; }
    gui::TLabel* AnswerLabel() const { return lbPass; }

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnShow() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    void TakeOwner();
    void btSetClick();
    void btOKClick();
    void cbShowPassClick();
    void AnswerWith(const char* key);
    void SetModeTexts();

    gui::TGroupBox* gbSetPass = nullptr;
    gui::TLabel* lbPassLabel = nullptr;
    gui::TEdit* lePass = nullptr;
    gui::TLabel* lbRePassLabel = nullptr;
    gui::TEdit* leRePass = nullptr;
    gui::TCheckBox* cbShowPass = nullptr;
    gui::TButton* btSet = nullptr;
    gui::TGroupBox* gbAnsw = nullptr;
    gui::TLabel* lbPass = nullptr;
    gui::TButton* btOK = nullptr;

    int32_t mode_ = kPassSet;
    int PassResult = IDNO;
    TStoredPassword stored_;
};
