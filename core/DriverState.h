#pragma once
// The driver's run-time state: the members of the main dialog. The Win32 main dialog
// derives from this record, so portable code reads and writes it without any window.
// Fields that the reader thread and the user-interface thread share are atomic.

#include "core/IniFile.h"

#include <atomic>
#include <cstdint>
#include <string>

class CDeviceController;
class CStartWizardDlg;
class CTrayIcon;

enum : int
{
    RUN_STATE_BUSY = 0,
    RUN_STATE_RUNNING = 1000,
    RUN_STATE_FIRST_WIZARD = 1003,
    RUN_STATE_SUSPENDED = 1004,
};

enum : int
{
    CALIB_MODEL_SIXTEEN = 0,
    CALIB_MODEL_NINE = 1,
};

constexpr int WIZARD_TEXT_COUNT = 16;
constexpr int TRAY_TEXT_COUNT = 7;
constexpr int CONFIG_TEXT_COUNT = 10;
constexpr int CALIB_TEXT_COUNT = 3;
constexpr int MSG_TEXT_COUNT = 12;
constexpr int REPORT_TEXT_COUNT = 10;
constexpr int SERVER_SLOT_COUNT = 255;

class CDriverState
{
public:
    // The controller is the device layer's; the record only names it, so that everything
    // above the device layer reaches it through the one record.
    explicit CDriverState(CDeviceController& controller);
    virtual ~CDriverState();
    CDriverState(const CDriverState&) = delete;
    CDriverState& operator=(const CDriverState&) = delete;

    std::uint16_t m_nSkin = 0;
    std::wstring m_strWizardText[WIZARD_TEXT_COUNT];
    std::wstring m_strTrayText[TRAY_TEXT_COUNT];
    std::wstring m_strConfigText[CONFIG_TEXT_COUNT];
    std::wstring m_strCalibText[CALIB_TEXT_COUNT];
    std::wstring m_strMsgText[MSG_TEXT_COUNT];
    // The calibration report's title, labels, advice and closing hint.
    std::wstring m_strReportText[REPORT_TEXT_COUNT];
    CDeviceController& m_controller;
    std::int32_t m_bStartProgram = 0;
    std::atomic<std::int32_t> m_nInkoraPenMode{0};
    std::atomic<std::int32_t> m_nCalibModel{CALIB_MODEL_SIXTEEN};
    CStartWizardDlg* m_pActiveWizard = nullptr;
    CTrayIcon* m_pTrayIcon = nullptr;
    CIniFile m_iniConfig;
    CIniFile m_iniLanguage;
    std::atomic<std::int32_t> m_bCalibrated{0};
    std::int32_t m_nDeviceSetting2 = 0;
    std::int32_t m_nDeviceSetting3 = 0;
    std::int32_t m_nDeviceSetting6 = 0;
    std::atomic<std::int32_t> m_bGreyImage{0};
    std::atomic<std::int32_t> m_nRunState{RUN_STATE_BUSY};
    std::atomic<std::int32_t> m_cxScreen{0};
    std::atomic<std::int32_t> m_cyScreen{0};
    std::wstring m_strLangCode;
    std::wstring m_strServerAlias[SERVER_SLOT_COUNT];
    std::wstring m_strServerUrl[SERVER_SLOT_COUNT];
    std::int32_t m_bNewVersionAvailable = 0;
    std::int32_t m_nSelectServer = 0;
    std::int32_t m_nRadioServer = 0;
    std::int32_t m_nServerCount = 0;
    std::atomic<double> m_dFirmwareVersion{0.0};
    std::int32_t m_nWizardOrigin = -1;
    std::wstring m_strConfigPath;
    std::atomic<std::int32_t> m_bMoreCameras{0};
    std::atomic<std::int32_t> m_bCeilingMount{0};
    std::atomic<std::int32_t> m_bRearProjection{0};
    void* m_hMutex = nullptr;
    void* m_hIcon = nullptr;
    // Set once the stall of a camera has been reported (user-interface thread only).
    std::int32_t m_bStallReported = 0;
};

// The one driver state record, set at start-up and valid until the process ends.
// Written by the user-interface thread before the reader starts; read by the reader thread.
extern CDriverState* g_pMainDlg;
