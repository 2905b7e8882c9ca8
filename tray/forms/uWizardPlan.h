#pragma once
// What the first-run wizard writes, as a list of setting writes in the order
// they go to the service, so that the list can be checked apart from the
// window. The wizard's Start button sends the list with ApplySettingWrites.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TSettingWrite {
    enum TKind { Bool, Int, Text } Kind = Bool;
    std::string Name;
    bool BoolValue = false;
    int32_t IntValue = 0;
    std::string TextValue;
};

// The six switch groups, in the order they are written.
enum TWizardGroup : int { kGroupWinlogon, kGroupAutorun, kGroupAdmin, kGroupHijack, kGroupFiles, kGroupHosts };
constexpr int kWizardGroupCount = 6;
using TWizardBoxes = std::array<bool, kWizardGroupCount>;

// The choices of the wizard's radio group.
enum TWizardChoice : int { kChooseAll = 0, kChooseSettings = 1, kChooseGroups = 2 };

// One group's switches, all set to `on`; the hosts group adds its two
// integers as 0 whatever `on` is.
void AppendGroupWrites(int group, bool on, std::vector<TSettingWrite>& writes);

// Everything the Start button writes for the choice. With kChooseSettings no
// group is written (the settings window opens instead).
std::vector<TSettingWrite> WizardStartWrites(int choice, const TWizardBoxes& boxes, bool killerBanner);

// Sends the writes in order (commands 38, 47, 39); the number delivered. It
// stops at the first write that cannot be delivered.
size_t ApplySettingWrites(const std::vector<TSettingWrite>& writes);
