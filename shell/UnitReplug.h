#pragma once
// A unit unplugged and plugged in again while the driver runs. The reader reports a unit whose
// reads fail (WM_UNIT_GONE); the driver then looks for it every UNIT_LOOK_MS in the device
// listing and, once the same units are listed again (WM_UNIT_BACK), reopens them and resumes
// tracking with the settings and calibration it holds: no restart, no new calibration. A unit
// that is there but silent is no such case: the stall watch handles it. All of this runs on
// the user-interface thread; the main window owns the timer and the tray tip.

#include <cstdint>

class CDriverState;

// How often the listing is asked while a unit is gone.
constexpr std::uint32_t UNIT_LOOK_MS = 2000;
// The tray icon's tip while a unit is gone.
extern const wchar_t* const UNIT_GONE_TIP;

// WM_UNIT_GONE. Ends the reader (the pens were let go as the reads failed) and starts the
// wait. True when the wait starts now: the caller shows UNIT_GONE_TIP and starts looking.
bool OnUnitGone(CDriverState& state);

// One look while waiting: true when the units are listed again, and WM_UNIT_BACK has been
// posted.
bool LookForGoneUnit(CDriverState& state);

// WM_UNIT_BACK. Reopens the units, reads their firmware and, when the driver was tracking,
// starts tracking again. True when the wait is over: the caller stops looking and restores
// the tray tip. False keeps the wait (the units went again or did not answer).
bool OnUnitBack(CDriverState& state);

// While a unit is gone.
bool IsWaitingForUnit(const CDriverState& state);
