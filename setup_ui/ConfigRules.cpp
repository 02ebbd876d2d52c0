#include "setup_ui/ConfigRules.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "platform/Platform.h"
#include "settings/SettingsFlows.h"

namespace
{
constexpr int ANSWER_YES = 6;
} // namespace

CONFIG_VALUES ConfigValuesFrom(const CDriverState& state)
{
    CONFIG_VALUES values;
    values.model = state.m_nCalibModel;
    values.serverChoice = state.m_nRadioServer;
    values.ceiling = state.m_bCeilingMount;
    values.startProgram = state.m_bStartProgram;
    values.rear = state.m_bRearProjection;
    values.serverNumber = state.m_nSelectServer;
    return values;
}

bool MountingOptionsEnabled(const CONFIG_VALUES& values)
{
    return values.model != CALIB_MODEL_NINE;
}

bool ServerListEnabled(const CONFIG_VALUES& values)
{
    return values.serverChoice != 0;
}

bool UpdateEnabled(const CDriverState& state)
{
    return state.m_bNewVersionAvailable != 0;
}

int ServerListSelection(const CONFIG_VALUES& values)
{
    return values.serverNumber != 0 ? values.serverNumber - 1 : -1;
}

void ChooseDefaultServer(CONFIG_VALUES& values)
{
    values.serverChoice = 0;
    values.serverNumber = 0;
}

void ChooseListedServer(CONFIG_VALUES& values)
{
    values.serverChoice = 1;
}

void SelectListedServer(CONFIG_VALUES& values, int selectionIndex)
{
    values.serverNumber = selectionIndex + 1;
}

bool ConfirmConfiguration(CDriverState& state, const CONFIG_VALUES& values)
{
    state.m_bStartProgram = values.startProgram == 1 ? 1 : 0;
    if (values.ceiling != state.m_bCeilingMount || values.rear != state.m_bRearProjection ||
        values.model != state.m_nCalibModel)
    {
        state.m_bCalibrated = 0;
    }
    if (state.m_bCalibrated == 0)
    {
        if (Platform().ShowMessageBox(state.m_strMsgText[10], BOX_YESNO | BOX_ICONINFORMATION) !=
            ANSWER_YES)
        {
            state.m_bCalibrated = 1;
            return false;
        }
        // The calibration starts once the dialog has closed and the main window reads it.
        Platform().PostMainMessage(WM_CALIBRATE_NEXT, 0, 0);
    }
    return true;
}

bool ConfirmUpdate(const CDriverState& state)
{
    return Platform().ShowMessageBox(state.m_strMsgText[7], BOX_YESNO | BOX_ICONINFORMATION) ==
           ANSWER_YES;
}

void ApplyConfiguration(CDriverState& state, const CONFIG_VALUES& values,
                        const std::function<void(bool enable)>& setAutostart)
{
    state.m_bCeilingMount = values.ceiling;
    state.m_bRearProjection = values.rear;
    state.m_nCalibModel = values.model;
    if (setAutostart)
        setAutostart(values.startProgram == 1);
    state.m_bStartProgram = values.startProgram;
    state.m_nRadioServer = values.serverChoice;
    state.m_nSelectServer = values.serverNumber;
    SaveAfterConfiguration(state);
}
