#include "settings/Settings.h"

#include "calibration/CaptureSequence.h"
#include "device/DeviceController.h"

#include "calibration/CalibTables.h"
#include "calibration/CameraCalibStore.h"
#include "core/DriverState.h"
#include "device/DeviceGlobals.h"
#include "platform/Platform.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace
{
constexpr const wchar_t* STATE_SECTION = L"State";

// Large enough for any double in "%.18f": 309 integer digits, sign, point and 18 decimals.
constexpr std::size_t FIXED_TEXT_CHARS = 400;

std::wstring Format(const wchar_t* pattern, int a, int b, int c)
{
    wchar_t text[64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), pattern, a, b, c);
    return text;
}

// "v%d" or "p%d".
std::wstring KeyName(wchar_t letter, int index)
{
    wchar_t text[16];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%lc%d", static_cast<wint_t>(letter),
                  index);
    return text;
}

std::wstring FixedText(double value)
{
    char text[FIXED_TEXT_CHARS];
    std::snprintf(text, sizeof(text), "%.18f", value);
    return std::wstring(text, text + std::strlen(text));
}

int ReadStateValue(const CDriverState& state, const wchar_t* key)
{
    wchar_t text[STATE_VALUE_CHARS];
    state.m_iniConfig.ReadString(STATE_SECTION, key, nullptr, text, STATE_VALUE_CHARS);
    return TextToInt(text);
}

void WriteStateValue(CDriverState& state, const wchar_t* key, int value)
{
    state.m_iniConfig.WriteString(STATE_SECTION, key, std::to_wstring(value).c_str());
}

enum class CALIB_READ
{
    ABSENT,
    ACCEPTED,
    REFUSED,
};

// Parses one calibration value into target. An absent or unparsable value assigns nothing; a
// value that no calibration can hold (not finite, or too large to be written back whole) is
// refused and assigns nothing either.
CALIB_READ ReadCalibValue(const CDriverState& state, const std::wstring& section,
                          const std::wstring& key, double& target)
{
    wchar_t text[CALIB_VALUE_CHARS];
    state.m_iniConfig.ReadString(section.c_str(), key.c_str(), nullptr, text, CALIB_VALUE_CHARS);
    double value = 0.0;
    if (std::swscanf(text, L"%lf", &value) != 1)
        return CALIB_READ::ABSENT;
    if (!IsStorableCalibValue(value))
        return CALIB_READ::REFUSED;
    target = value;
    return CALIB_READ::ACCEPTED;
}

bool AllStorable(const double* values, int count)
{
    return std::all_of(values, values + count, IsStorableCalibValue);
}

struct SCREEN_SIZE
{
    int width;
    int height;
};

SCREEN_SIZE PrimaryScreenSize()
{
    return {Platform().GetSystemMetric(METRIC_CXSCREEN),
            Platform().GetSystemMetric(METRIC_CYSCREEN)};
}

// True when no value of the sections read was refused.
bool LoadNinePointTables(const CDriverState& state, SCREEN_SIZE screen)
{
    bool usable = true;
    for (int camera = 0; camera < CameraCount(); ++camera)
    {
        CNinePointCalib* model = NinePointCalibAt(static_cast<std::uint16_t>(camera));
        if (model == nullptr)
            continue;
        const std::wstring section = Format(L"%d_%d_Vector%d", screen.width, screen.height, camera);
        bool received = false;
        bool refused = false;
        for (int i = 0; i < 9; ++i)
        {
            const CALIB_READ read =
                ReadCalibValue(state, section, KeyName(L'v', i), model->m_dH[i]);
            received |= read == CALIB_READ::ACCEPTED;
            refused |= read == CALIB_READ::REFUSED;
        }
        if (refused)
            model->SetModelValid(false);
        else if (received)
            model->SetModelValid(true);
        usable = usable && !refused;
    }
    return usable;
}

bool LoadSixteenPointTables(const CDriverState& state, SCREEN_SIZE screen)
{
    bool usable = true;
    for (int camera = 0; camera < CameraCount(); ++camera)
    {
        CSixteenPointCalib* model = SixteenPointCalibAt(static_cast<std::uint16_t>(camera));
        if (model == nullptr)
            continue;
        const std::wstring section = Format(L"%d_%d_Param%d", screen.width, screen.height, camera);
        bool received = false;
        bool refused = false;
        for (int i = 0; i < PARAM_COUNT; ++i)
        {
            const CALIB_READ read =
                ReadCalibValue(state, section, KeyName(L'p', i), model->m_dParam[i]);
            received |= read == CALIB_READ::ACCEPTED;
            refused |= read == CALIB_READ::REFUSED;
        }
        if (refused)
            model->SetModelValid(false);
        else if (received)
            model->SetModelValid(true);
        usable = usable && !refused;
    }
    return usable;
}

bool IsWhiteSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}
} // namespace

int TextToInt(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    while (IsWhiteSpace(*text))
        ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-')
    {
        negative = *text == L'-';
        ++text;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    while (*text >= L'0' && *text <= L'9')
    {
        if (magnitude < limit)
            magnitude = std::min(limit, magnitude * 10 + (*text - L'0'));
        ++text;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

bool IsStorableCalibValue(double value)
{
    return std::isfinite(value) && std::fabs(value) < CALIB_VALUE_LIMIT;
}

void LoadSettings(CDriverState& state)
{
    state.m_iniConfig.SetPath(state.m_strConfigPath.c_str());
    // Only a single camera has its settings read back from its own store; with two cameras
    // the file is the one place that keeps them.
    const bool bInCamera =
        g_bSettingsInDevice.load(std::memory_order_relaxed) != 0 && CameraCount() == 1;
    if (!bInCamera)
    {
        state.m_bCalibrated = ReadStateValue(state, L"Save");
        state.m_bCeilingMount = ReadStateValue(state, L"Check Ceiling");
        state.m_bRearProjection = ReadStateValue(state, L"Check Rear");
        state.m_nCalibModel = ReadStateValue(state, L"Lens Angles");
        state.m_nInkoraPenMode = ReadStateValue(state, L"Inkora");
    }
    state.m_bStartProgram = ReadStateValue(state, L"Start Program");
    state.m_nRadioServer = ReadStateValue(state, L"Radio Server");
    state.m_nSelectServer = ReadStateValue(state, L"Select Server");
}

void SaveSettings(CDriverState& state)
{
    state.m_iniConfig.SetPath(state.m_strConfigPath.c_str());
    const SCREEN_SIZE screen = PrimaryScreenSize();

    WriteStateValue(state, L"Save", state.m_bCalibrated);
    WriteStateValue(state, L"Check Ceiling", state.m_bCeilingMount);
    WriteStateValue(state, L"Check Rear", state.m_bRearProjection);
    WriteStateValue(state, L"Lens Angles", state.m_nCalibModel);
    WriteStateValue(state, L"Inkora", state.m_nInkoraPenMode);
    WriteStateValue(state, L"Start Program", state.m_bStartProgram);
    WriteStateValue(state, L"Select Server", state.m_nSelectServer);
    WriteStateValue(state, L"Radio Server", state.m_nRadioServer);

    const int model = state.m_nCalibModel;
    for (int camera = 0; camera < CameraCount(); ++camera)
    {
        const auto index = static_cast<std::uint16_t>(camera);
        if (model == CALIB_MODEL_NINE)
        {
            const CNinePointCalib* calib = NinePointCalibAt(index);
            if (calib == nullptr || !AllStorable(calib->m_dH, 9))
                continue;
            const std::wstring section =
                Format(L"%d_%d_Vector%d", screen.width, screen.height, camera);
            for (int i = 0; i < 9; ++i)
            {
                state.m_iniConfig.WriteString(section.c_str(), KeyName(L'v', i).c_str(),
                                              FixedText(calib->m_dH[i]).c_str());
            }
        }
        else if (model == CALIB_MODEL_SIXTEEN)
        {
            const CSixteenPointCalib* calib = SixteenPointCalibAt(index);
            if (calib == nullptr || !AllStorable(calib->m_dParam, PARAM_COUNT))
                continue;
            const std::wstring section =
                Format(L"%d_%d_Param%d", screen.width, screen.height, camera);
            for (int i = 0; i < PARAM_COUNT; ++i)
            {
                state.m_iniConfig.WriteString(section.c_str(), KeyName(L'p', i).c_str(),
                                              FixedText(calib->m_dParam[i]).c_str());
            }
        }
    }
}

bool LoadCalibration(CDriverState& state)
{
    state.m_iniConfig.SetPath(state.m_strConfigPath.c_str());
    const SCREEN_SIZE screen = PrimaryScreenSize();
    const bool nineUsable = LoadNinePointTables(state, screen);
    const bool sixteenUsable = LoadSixteenPointTables(state, screen);
    const int model = state.m_nCalibModel;
    return model == CALIB_MODEL_NINE ? nineUsable : model != CALIB_MODEL_SIXTEEN || sixteenUsable;
}

bool LoadCurrentModelCalibration(CDriverState& state)
{
    state.m_iniConfig.SetPath(state.m_strConfigPath.c_str());
    const SCREEN_SIZE screen = PrimaryScreenSize();
    const int model = state.m_nCalibModel;
    if (model == CALIB_MODEL_NINE)
        return LoadNinePointTables(state, screen);
    if (model == CALIB_MODEL_SIXTEEN)
        return LoadSixteenPointTables(state, screen);
    return true;
}

void ReloadSettingsAfterDisplayChange(CDriverState& state)
{
    LoadSettings(state);
    LoadCurrentModelCalibration(state);
}

bool SaveSettingsFile()
{
    CDriverState* state = g_pMainDlg;
    if (state == nullptr)
        return false;
    SaveSettings(*state);
    return true;
}

void ReloadCalibrationAfterCancel()
{
    if (g_pMainDlg != nullptr)
        LoadCalibration(*g_pMainDlg);
}

namespace
{
void WriteCameraStore()
{
    if (g_pMainDlg != nullptr)
        (void)WriteCalibrationToCamera(g_pMainDlg->m_controller);
}
} // namespace

void AddCalibrationSettingsHooks(CALIBRATION_HOOKS& hooks)
{
    hooks.pfnSaveSettings = &SaveSettingsFile;
    hooks.pfnWriteCameraStore = &WriteCameraStore;
    hooks.pfnReloadCalibration = &ReloadCalibrationAfterCancel;
}
