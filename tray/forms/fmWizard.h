#pragma once
// The first-run wizard TfmWizard: opened when the service reports that its
// settings key is not yet populated. The user picks the language and one of
// three ways to set up the protection (everything on, the settings window, or
// chosen groups); Start writes the switches through the service (the list
// comes from uWizardPlan). When the service cannot be reached the wizard says
// so and stays open, since nothing was set.
#include <string>

#include "qvControls.h"
#include "qvForms.h"

class TfmWizard : public gui::TForm {
public:
    TfmWizard();

    // For tests and the main job: the controls a user works with.
    gui::TComboBox* LanguageBox() const { return cbLang; }
    gui::TButton* LanguageButton() const { return btLang; }
    gui::TRadioGroup* Choice() const { return rgChoose; }
    gui::TGroupBox* Fields() const { return gbFields; }
    gui::TCheckBox* GroupBox(int group) const;
    gui::TCheckBox* KillerBanner() const { return cbKillerBanner; }
    gui::TButton* StartButton() const { return btStart; }

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    void initForm();
    void SetTexts();
    void rgChooseClick();
    void btLangClick();
    void btStartClick();
    void btHostsManClick();
    void btAutorunManClick();
    void ReportNoService();

    gui::TLabel* lbLang = nullptr;
    gui::TComboBox* cbLang = nullptr;
    gui::TButton* btLang = nullptr;
    gui::TPanel* pnWizard = nullptr;
    gui::TRadioGroup* rgChoose = nullptr;
    gui::TGroupBox* gbFields = nullptr;
    gui::TCheckBox* cbWinlogon = nullptr;
    gui::TCheckBox* cbAutorun = nullptr;
    gui::TCheckBox* cbAdmins = nullptr;
    gui::TCheckBox* cbHiJack = nullptr;
    gui::TCheckBox* cbChange = nullptr;
    gui::TCheckBox* cbInet = nullptr;
    gui::TGroupBox* gbKiller = nullptr;
    gui::TCheckBox* cbKillerBanner = nullptr;
    gui::TButton* btStart = nullptr;
    gui::TButton* btHostsMan = nullptr;
    gui::TButton* btAutorunMan = nullptr;
};

// Registers the setup windows (wizard, password dialog) by class name.
void RegisterSetupForms();
void UnregisterSetupForms();
