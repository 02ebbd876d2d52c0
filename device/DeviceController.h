#pragma once
// The device lifecycle the main window drives: start-up, pen tracking, the image stream of
// the alignment view, the setting store of camera 0, and shutdown. Owns the monitor table
// and the camera link.

#include "device/CameraLink.h"
#include "tracking/ScreenAreas.h"

#include <atomic>
#include <cstdint>

class CDeviceController
{
public:
    CDeviceController() = default;
    virtual ~CDeviceController();
    CDeviceController(const CDeviceController&) = delete;
    CDeviceController& operator=(const CDeviceController&) = delete;

    [[nodiscard]] bool StartDevices();
    bool RefreshDevices();
    [[nodiscard]] bool DetectFirmware();
    bool StartPenTracking();
    bool StartImageStream(std::uint16_t camera);
    int StopImageStream();
    bool StopDevices();
    std::int32_t IsFailed() const { return m_link.m_bFailed; }

    CAMERA_RECORD* GetRecords() { return m_link.GetRecords(); }
    MONITOR_AREA* GetAreas() { return m_areas.GetAreas(); }
    double GetDeviceVersion(std::uint16_t camera);
    std::uint16_t GetDeviceCount() const;
    std::int32_t SettingsInDevice() const;

    // Setting store of camera 0.
    std::uint8_t SettingCommand(int code, std::uint8_t a, std::uint8_t b, std::uint8_t c);
    bool WriteOptions();
    bool WriteSettings();
    bool ReadSettings();
    void WriteWord(std::uint8_t addressHigh, std::uint8_t addressLow, std::uint32_t value);
    bool WriteCalibration();
    bool ReadCalibration();

    CScreenAreas m_areas;
    CCameraLink m_link;

private:
    // Lays out both calibration tables and ties camera i to monitor area i.
    void PrepareCameras();
};

// The alignment view's byte callback for the image stream; none until that view exists.
extern std::atomic<PFN_RECORD_CALLBACK> g_pfnImageByteCallback;

// The pause between writes to the setting store.
constexpr std::uint32_t SETTING_WRITE_PAUSE_MS = 15;
