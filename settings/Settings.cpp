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
#include <cwctype>
#include <string>
#include <string_view>

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

bool WriteStateValue(CDriverState& state, const wchar_t* key, int value)
{
    return state.m_iniConfig.WriteString(STATE_SECTION, key, std::to_wstring(value).c_str());
}

// The copy a save writes before it replaces the settings file: "Config.new" beside
// "Config.ini", as long as the file's own path so that it fits wherever that path fits.
std::wstring StagingPath(const std::wstring& path)
{
    constexpr std::wstring_view EXTENSION = L".ini";
    const bool bIni = path.size() > EXTENSION.size() &&
                      std::equal(EXTENSION.begin(), EXTENSION.end(),
                                 path.end() - static_cast<std::ptrdiff_t>(EXTENSION.size()),
                                 [](wchar_t a, wchar_t b)
                                 { return static_cast<std::wint_t>(a) == std::towlower(b); });
    return (bIni ? path.substr(0, path.size() - EXTENSION.size()) : path) + L".new";
}

// Starts the copy from the current file, or from nothing when there is none yet.
bool StartStagingCopy(const std::wstring& path, const std::wstring& staging)
{
    if (Platform().FileExists(path))
        return Platform().CopyFileOver(path, staging);
    return !Platform().FileExists(staging) || Platform().RemoveFile(staging);
}

// The "State" keys and the current model's calibration, into the file m_iniConfig names.
bool WriteSettingsValues(CDriverState& state)
{
    const SCREEN_SIZE screen = PrimaryScreenSize();
    bool bWritten = WriteStateValue(state, L"Save", state.m_bCalibrated);
    bWritten &= WriteStateValue(state, L"Check Ceiling", state.m_bCeilingMount);
    bWritten &= WriteStateValue(state, L"Check Rear", state.m_bRearProjection);
    bWritten &= WriteStateValue(state, L"Lens Angles", state.m_nCalibModel);
    bWritten &= WriteStateValue(state, L"Inkora", state.m_nInkoraPenMode);
    bWritten &= WriteStateValue(state, L"Start Program", state.m_bStartProgram);
    bWritten &= WriteStateValue(state, L"Select Server", state.m_nSelectServer);
    bWritten &= WriteStateValue(state, L"Radio Server", state.m_nRadioServer);

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
                bWritten &= state.m_iniConfig.WriteString(section.c_str(), KeyName(L'v', i).c_str(),
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
                bWritten &= state.m_iniConfig.WriteString(section.c_str(), KeyName(L'p', i).c_str(),
                                                          FixedText(calib->m_dParam[i]).c_str());
            }
        }
    }
    return bWritten;
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
    // The file is never rewritten in place: the save goes to a copy beside it, which then
    // replaces it in one step, so a crash, a kill or a power cut at any moment leaves the old
    // settings or the new ones, whole. A copy that could not be written whole is dropped.
    const std::wstring staging = StagingPath(state.m_strConfigPath);
    if (StartStagingCopy(state.m_strConfigPath, staging))
    {
        state.m_iniConfig.SetPath(staging.c_str());
        const bool bWritten = WriteSettingsValues(state);
        if (!bWritten || !Platform().MoveFileOver(staging, state.m_strConfigPath))
            (void)Platform().RemoveFile(staging);
    }
    state.m_iniConfig.SetPath(state.m_strConfigPath.c_str());
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
