#pragma once
// The device lifecycle the main window drives: start-up, pen tracking, the image stream of
// the alignment view, the setting store of camera 0, and shutdown. Owns the monitor table
// and the camera link.

#include "device/CameraLink.h"
#include "device/ScreenAreas.h"
#include "device/UnitIdentity.h"

#include <cstdint>
#include <vector>

// What the rest of the driver lends the device layer, which knows nothing of pens, models or
// pictures: the reader callbacks it registers and the steps its lifecycle runs on the
// calibration tables and the decoders. The program fills it once (shell/DriverWiring.h); a
// null entry is skipped.
struct DEVICE_CALLBACKS
{
    PFN_TABLE_CALLBACK pfnPenByte = nullptr;
    PFN_RECORD_CALLBACK pfnImageByte = nullptr;
    void (*pfnResetStallWatch)() = nullptr;
    // Lifts every pen, whichever camera holds it (the stall watch, before it gives up).
    void (*pfnReleasePens)() = nullptr;
    void (*pfnResetImageDecoder)() = nullptr;
    // Makes sure both model tables hold `count` cameras and lays out camera's targets on its
    // monitor rectangle (left, top, right, bottom).
    void (*pfnPrepareCalibration)(std::uint16_t count, std::uint16_t camera,
                                  const std::int32_t rect[4]) = nullptr;
    void (*pfnReleaseCalibration)() = nullptr;
};

// One calibration point as the camera's setting store keeps it: two 16-bit words.
struct STORED_POINT
{
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};

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
    // Ends the reader thread whatever state the link is in; nothing the reader reads may be
    // released before this has returned.
    void StopReaderThread() { m_link.StopReaderThread(); }
    void SetCallbacks(const DEVICE_CALLBACKS& callbacks) { m_callbacks = callbacks; }
    const DEVICE_CALLBACKS& Callbacks() const { return m_callbacks; }
    std::int32_t IsFailed() const { return m_link.m_bFailed; }

    CAMERA_RECORD* GetRecords() { return m_link.GetRecords(); }
    MONITOR_AREA* GetAreas() { return m_areas.GetAreas(); }
    double GetDeviceVersion(std::uint16_t camera);
    std::uint16_t GetDeviceCount() const;
    std::int32_t SettingsInDevice() const;

    // Setting store of camera 0.
    std::uint8_t SettingCommand(int code, std::uint8_t a, std::uint8_t b, std::uint8_t c);
    void WriteOptions();
    void WriteSettings();
    void ReadSettings();
    void WriteWord(std::uint8_t addressHigh, std::uint8_t addressLow, std::uint32_t value);
    // Writes the points in order, x then y, as 16-bit words. True.
    bool WriteCalibration(const std::vector<STORED_POINT>& points);
    // Reads `count` points back in the same order.
    std::vector<STORED_POINT> ReadCalibration(int count);

    CScreenAreas m_areas;
    CCameraLink m_link;
    // The units opened at start-up, as the listing named them: only these are reopened after
    // they were gone. User-interface thread only.
    std::vector<UNIT_IDENTITY> m_openedUnits;
    // A unit's reads failed and the driver waits for it to be listed again (user-interface
    // thread only).
    bool m_bWaitingForUnit = false;

private:
    // Lays out both calibration tables and ties camera i to monitor area i.
    void PrepareCameras();

    DEVICE_CALLBACKS m_callbacks;
};

// The pause between writes to the setting store.
constexpr std::uint32_t SETTING_WRITE_PAUSE_MS = 15;
