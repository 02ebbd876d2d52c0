#pragma once
// The tray icon's popup menu as data: its items top to bottom and the flags the language
// layout gives them. The Win32 tray icon builds the real menu from it.

#include <cstdint>
#include <string>
#include <vector>

class CDriverState;

struct TRAY_MENU_ITEM
{
    // 0 for a separator.
    std::uint32_t id = 0;
    std::wstring text;
    // Menu item type flags (right-to-left order and alignment), 0 for a separator.
    std::uint32_t typeFlags = 0;
};

// MFT_RIGHTJUSTIFY | MFT_RIGHTORDER, the item flags of the right-to-left layout.
constexpr std::uint32_t TRAY_ITEM_RIGHT_TO_LEFT = 0x6000;
// TPM_BOTTOMALIGN, and with TPM_RIGHTALIGN for the right-to-left layout.
constexpr std::uint32_t TRAY_TRACK_FLAGS = 0x20;
constexpr std::uint32_t TRAY_TRACK_FLAGS_RIGHT_TO_LEFT = 0x28;

// Nine entries: configuration, wizard, calibration, separator, companion program, keyboard,
// separator, About, Exit; texts T1 to T7. The first entry is the default item.
std::vector<TRAY_MENU_ITEM> TrayMenuItems(const CDriverState& state);
std::uint32_t TrayTrackFlags();
