#pragma once
// What a language choice does (settings page and wizard). Files compare by
// name without regard to case, not by their place in the list; with nothing
// chosen nothing happens (an empty `language` is never written).
#include <string>

enum class TLanguageAction {
    None,           // nothing to write
    Rewrite,        // the current language again: write it, close nothing (wizard only)
    Change,         // another language: write it and restart the tray in it
};

TLanguageAction SettingsPageLanguageAction(const std::string& chosen, const std::string& current);
TLanguageAction WizardLanguageAction(const std::string& chosen, const std::string& current);

// Sends `language` (command 16, text kind) and then the restart order
// (command 32) to the service without waiting; false when the first could
// not be delivered.
bool SendLanguageChange(const std::string& fileName);
