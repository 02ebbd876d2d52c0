#include "shell/TrayMenu.h"

#include "core/DriverState.h"
#include "core/Language.h"
#include "core/Messages.h"
#include "device/StreamRecorder.h"

namespace
{
bool RightToLeft()
{
    return g_nLangLayout == LANG_LAYOUT_RIGHT_TO_LEFT;
}
} // namespace

std::vector<TRAY_MENU_ITEM> TrayMenuItems(const CDriverState& state)
{
    const std::uint32_t flags = RightToLeft() ? TRAY_ITEM_RIGHT_TO_LEFT : 0;
    const TRAY_MENU_ITEM separator;
    std::vector<TRAY_MENU_ITEM> items = {
        {ID_TRAY_CONFIG, state.m_strTrayText[0], flags},
        {ID_TRAY_WIZARD, state.m_strTrayText[1], flags},
        {ID_TRAY_CALIBRATE, state.m_strTrayText[2], flags},
        separator,
        {ID_TRAY_INKORA, state.m_strTrayText[3], flags},
        {ID_TRAY_KEYBOARD, state.m_strTrayText[4], flags},
        separator,
        {ID_TRAY_ABOUT, state.m_strTrayText[5], flags},
        {ID_TRAY_EXIT, state.m_strTrayText[6], flags},
    };
    // A support tool like the log, so in the log's language; only there while it is needed.
    if (StreamRecorder().IsRecording())
        items.insert(items.end() - 2, {ID_TRAY_STOP_RECORDING, L"Stop recording", flags});
    return items;
}

std::uint32_t TrayTrackFlags()
{
    return RightToLeft() ? TRAY_TRACK_FLAGS_RIGHT_TO_LEFT : TRAY_TRACK_FLAGS;
}
