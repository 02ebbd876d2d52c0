#include "device/DeviceController.h"

#include "core/DriverState.h"
#include "device/DeviceGlobals.h"
#include "device/Protocol.h"

#include <algorithm>

namespace
{
std::uint8_t LowByte(std::int32_t value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}
} // namespace

CDeviceController::~CDeviceController()
{
    if (m_link.m_bFailed == 0)
    {
        m_link.StopReader();
        m_link.CloseAll();
    }
    // A failed link keeps its cameras as they are, but its reader still reads the tables
    // released below: it must be gone first.
    m_link.StopReaderThread();
    if (m_callbacks.pfnReleaseCalibration)
        m_callbacks.pfnReleaseCalibration();
    g_pMonitorAreas = nullptr;
}

bool CDeviceController::StartDevices()
{
    if (!m_link.IsBound())
        (void)m_link.BindLibrary();
    std::uint32_t locations[LOCATION_SLOTS] = {};
    std::uint16_t count = 0;
    const FT_STATUS status = m_link.ListDevices(locations, &count);
    g_nDeviceCount = count;
    const bool usable = status == FT_OK && count < 3 &&
                        int{count} <= Platform().GetSystemMetric(METRIC_CMONITORS) &&
                        m_link.OpenAll(locations, count);
    if (!usable)
    {
        m_link.m_bFailed = 1;
        return false;
    }
    if (count == 0)
        return false;
    m_openedUnits = ListUnitIdentities(m_link);
    // Every reply ends in '&' too: the bridge hands each one over at once rather than after
    // its latency timer, which the many setting reads of start-up would otherwise wait for.
    m_link.SetLowLatency();
    PrepareCameras();
    return true;
}

void CDeviceController::PrepareCameras()
{
    m_areas.Init();
    m_areas.Enumerate();
    g_pMonitorAreas = m_areas.GetAreas();
    const std::uint16_t count = g_nDeviceCount;
    MONITOR_AREA* areas = m_areas.GetAreas();
    for (std::uint16_t i = 0; i < count; ++i)
    {
        // A camera without a monitor of its own keeps an empty rectangle.
        std::int32_t rect[4] = {0, 0, 0, 0};
        if (i < m_areas.GetCapacity())
            std::copy(areas[i].rect, areas[i].rect + 4, rect);
        m_link.SetMonitor(i, rect[0], rect[1], rect[2], rect[3]);
        if (m_callbacks.pfnPrepareCalibration)
            m_callbacks.pfnPrepareCalibration(count, i, rect);
    }
}

bool CDeviceController::RefreshDevices()
{
    m_link.Reconfigure();
    if (g_nDeviceCount == 0)
        return false;
    PrepareCameras();
    return true;
}

bool CDeviceController::DetectFirmware()
{
    return m_link.DetectFirmware();
}

bool CDeviceController::StartPenTracking()
{
    const std::uint16_t count = m_link.GetCount();
    // Deliberate: the reader is stopped once per camera, and the last camera is left current.
    for (std::uint16_t i = 0; i < count; ++i)
    {
        m_link.StopReader();
        m_link.SetCurrentDevice(i);
    }
    if (m_callbacks.pfnResetStallWatch)
        m_callbacks.pfnResetStallWatch();
    if (!RefreshDevices())
        return false;
    m_link.SetLowLatency();
    for (std::uint16_t i = 0; i < count; ++i)
    {
        for (const protocol::COMMAND_PACKET& packet : protocol::TRACKING_SETUP)
            m_link.WritePacket(i, packet.data(), protocol::COMMAND_LENGTH, nullptr);
    }
    for (std::uint16_t i = 0; i < count; ++i)
        m_link.WritePacket(i, protocol::IMAGE_MODE_OFF.data(), protocol::COMMAND_LENGTH, nullptr);
    m_link.SetCallback(1, m_callbacks.pfnPenByte);
    m_link.StartReader();
    return true;
}

bool CDeviceController::StartImageStream(std::uint16_t camera)
{
    m_link.StopReader();
    m_link.SetCurrentDevice(camera);
    if (!RefreshDevices())
        return false;
    m_link.SetCallback(0, m_callbacks.pfnImageByte);
    m_link.StartReader();
    m_link.SendCommand(camera, protocol::CMD_NUM_IMAGE_160);
    m_link.SendCommand(camera, protocol::CMD_NUM_IMAGE_STREAM_ON);
    return true;
}

int CDeviceController::StopImageStream()
{
    m_link.StopReader();
    if (m_callbacks.pfnResetImageDecoder)
        m_callbacks.pfnResetImageDecoder();
    return 1;
}

bool CDeviceController::StopDevices()
{
    if (m_link.m_bFailed == 0)
        m_link.StopReader();
    else
        m_link.StopReaderThread();
    return true;
}

double CDeviceController::GetDeviceVersion(std::uint16_t camera)
{
    CAMERA_RECORD* records = m_link.GetRecords();
    if (records == nullptr || camera >= m_link.GetCount())
        return 0.0;
    return records[camera].firmwareVersion;
}

std::uint16_t CDeviceController::GetDeviceCount() const
{
    return g_nDeviceCount;
}

std::int32_t CDeviceController::SettingsInDevice() const
{
    return g_bSettingsInDevice;
}

std::uint8_t CDeviceController::SettingCommand(int code, std::uint8_t a, std::uint8_t b,
                                               std::uint8_t c)
{
    if (code == protocol::CMD_SETTING_WRITE)
    {
        const auto packet = protocol::MakeCommand(protocol::CMD_SETTING_WRITE, a, b, c);
        m_link.WritePacket(0, packet.data(), protocol::COMMAND_LENGTH, nullptr);
        return 0;
    }
    if (code == protocol::CMD_SETTING_READ)
    {
        const auto packet = protocol::MakeCommand(protocol::CMD_SETTING_READ, a, b, 0);
        m_link.WritePacket(0, packet.data(), protocol::COMMAND_LENGTH, nullptr);
        return m_link.ReadReply(0);
    }
    return 0;
}

void CDeviceController::WriteOptions()
{
    CDriverState& state = *g_pMainDlg;
    CPlatform& platform = Platform();
    platform.Sleep(SETTING_WRITE_PAUSE_MS);
    m_link.WritePacket(0, protocol::STREAM_OFF.data(), protocol::COMMAND_LENGTH, nullptr);
    platform.Sleep(SETTING_WRITE_PAUSE_MS);
    const std::pair<std::uint8_t, std::int32_t> writes[] = {
        {protocol::ADDR_CEILING, state.m_bCeilingMount},
        {protocol::ADDR_CALIB_MODEL, state.m_nCalibModel},
        {protocol::ADDR_REAR, state.m_bRearProjection},
        {protocol::ADDR_CALIBRATED, state.m_bCalibrated},
    };
    for (const auto& [address, value] : writes)
    {
        SettingCommand(protocol::CMD_SETTING_WRITE, 0, address, LowByte(value));
        platform.Sleep(SETTING_WRITE_PAUSE_MS);
    }
}

void CDeviceController::WriteSettings()
{
    CDriverState& state = *g_pMainDlg;
    CPlatform& platform = Platform();
    m_link.WritePacket(0, protocol::STREAM_OFF.data(), protocol::COMMAND_LENGTH, nullptr);
    platform.Sleep(SETTING_WRITE_PAUSE_MS);
    platform.Sleep(SETTING_WRITE_PAUSE_MS);
    const std::pair<std::uint8_t, std::int32_t> writes[] = {
        {protocol::ADDR_DEVICE_SETTING2, state.m_nDeviceSetting2},
        {protocol::ADDR_DEVICE_SETTING3, state.m_nDeviceSetting3},
        {protocol::ADDR_CALIBRATED, state.m_bCalibrated},
        {protocol::ADDR_CEILING, state.m_bCeilingMount},
        {protocol::ADDR_DEVICE_SETTING6, state.m_nDeviceSetting6},
        {protocol::ADDR_CALIB_MODEL, state.m_nCalibModel},
        {protocol::ADDR_INKORA, state.m_nInkoraPenMode},
        {protocol::ADDR_REAR, state.m_bRearProjection},
    };
    for (const auto& [address, value] : writes)
    {
        SettingCommand(protocol::CMD_SETTING_WRITE, 0, address, LowByte(value));
        platform.Sleep(SETTING_WRITE_PAUSE_MS);
    }
}

void CDeviceController::ReadSettings()
{
    CDriverState& state = *g_pMainDlg;
    m_link.StopReader();
    auto read = [this](std::uint8_t address)
    { return std::int32_t{SettingCommand(protocol::CMD_SETTING_READ, 0, address, 0)}; };
    state.m_nDeviceSetting2 = read(protocol::ADDR_DEVICE_SETTING2);
    state.m_nDeviceSetting3 = read(protocol::ADDR_DEVICE_SETTING3);
    state.m_bCalibrated = read(protocol::ADDR_CALIBRATED);
    state.m_bCeilingMount = read(protocol::ADDR_CEILING);
    state.m_nDeviceSetting6 = read(protocol::ADDR_DEVICE_SETTING6);
    state.m_nCalibModel = read(protocol::ADDR_CALIB_MODEL);
    state.m_nInkoraPenMode = read(protocol::ADDR_INKORA);
    state.m_bRearProjection = read(protocol::ADDR_REAR);
    if (state.m_nDeviceSetting3 > 2)
        state.m_nDeviceSetting3 = 0;
    if (state.m_nDeviceSetting6 > 2)
        state.m_nDeviceSetting6 = 0;
}

void CDeviceController::WriteWord(std::uint8_t addressHigh, std::uint8_t addressLow,
                                  std::uint32_t value)
{
    Platform().Sleep(SETTING_WRITE_PAUSE_MS);
    SettingCommand(protocol::CMD_SETTING_WRITE, 0, addressHigh,
                   static_cast<std::uint8_t>((value >> 8) & 0xFF));
    Platform().Sleep(SETTING_WRITE_PAUSE_MS);
    SettingCommand(protocol::CMD_SETTING_WRITE, 0, addressLow,
                   static_cast<std::uint8_t>(value & 0xFF));
}

bool CDeviceController::WriteCalibration(const std::vector<STORED_POINT>& points)
{
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        const int word = 2 * static_cast<int>(i);
        WriteWord(protocol::CalibWordHigh(word), protocol::CalibWordLow(word), points[i].x);
        WriteWord(protocol::CalibWordHigh(word + 1), protocol::CalibWordLow(word + 1), points[i].y);
    }
    return true;
}

std::vector<STORED_POINT> CDeviceController::ReadCalibration(int count)
{
    auto readWord = [this](int word)
    {
        const std::uint32_t high =
            SettingCommand(protocol::CMD_SETTING_READ, 0, protocol::CalibWordHigh(word), 0);
        const std::uint32_t low =
            SettingCommand(protocol::CMD_SETTING_READ, 0, protocol::CalibWordLow(word), 0);
        return high * 256 + low;
    };
    std::vector<STORED_POINT> points(static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        points[i].x = readWord(2 * static_cast<int>(i));
        points[i].y = readWord(2 * static_cast<int>(i) + 1);
    }
    return points;
}
