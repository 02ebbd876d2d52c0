#pragma once
// What the configuration dialog decides: which controls are enabled, which server entry is
// selected, what OK changes (a changed mapping clears the calibrated state and asks M11), and
// what its opener applies after OK. The dialog itself only moves these values between its
// controls and these rules.

#include <cstdint>
#include <functional>

class CDriverState;

// The values the dialog edits, copied in from the state record before it opens.
struct CONFIG_VALUES
{
    // 0 sixteen-point model, 1 nine-point model.
    std::int32_t model = 0;
    // 0 the default update server, 1 the server picked in the list.
    std::int32_t serverChoice = 0;
    std::int32_t ceiling = 0;
    std::int32_t startProgram = 0;
    std::int32_t rear = 0;
    // 1-based position in the sorted server list, 0 for none.
    std::int32_t serverNumber = 0;
};

CONFIG_VALUES ConfigValuesFrom(const CDriverState& state);

// Ceiling mount and rear projection mean nothing to the nine-point model.
bool MountingOptionsEnabled(const CONFIG_VALUES& values);
bool ServerListEnabled(const CONFIG_VALUES& values);
// The Update button and its text: only while a newer version has been reported.
bool UpdateEnabled(const CDriverState& state);
// The list entry to select when the dialog opens, or -1 for none.
int ServerListSelection(const CONFIG_VALUES& values);

void ChooseDefaultServer(CONFIG_VALUES& values);
void ChooseListedServer(CONFIG_VALUES& values);
void SelectListedServer(CONFIG_VALUES& values, int selectionIndex);

// OK pressed with these values. The start-with-Windows choice goes into the record at once;
// a change of mounting or model clears the calibrated state; while the board is not
// calibrated the user is asked (M11) whether to calibrate now: Yes posts WM_CALIBRATE_NEXT
// and closes, No keeps the dialog open and marks the board calibrated, so that OK with
// unchanged values then closes. True when the dialog closes.
bool ConfirmConfiguration(CDriverState& state, const CONFIG_VALUES& values);

// The Update button: M8 answered Yes.
bool ConfirmUpdate(const CDriverState& state);

// After OK: the values go back into the record (setAutostart registers or removes the
// program's start with Windows in between), then the settings are saved by camera count.
void ApplyConfiguration(CDriverState& state, const CONFIG_VALUES& values,
                        const std::function<void(bool enable)>& setAutostart);
