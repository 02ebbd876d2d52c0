// The pen pipeline's cost per received byte: OnPenByte with the parsers, tracker, mapping and
// injector, over a platform that does nothing, for a single-spot stream with one pen and a
// multi-spot stream with four moving pens. One byte takes 21.7 microseconds on the wire
// (460800 baud, 10 bits), so wire_ratio says how many times faster than the wire the
// pipeline runs. Each form runs again with the camera stream being recorded, as the reader
// records every byte it reads (the file goes to the temporary folder).

#include "Bench.h"

#include "device/Protocol.h"
#include "device/StreamRecorder.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenEventDriver.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace
{
constexpr double WIRE_NS_PER_BYTE = 21700.0;

// Answers like a 1024 x 768 desktop and otherwise does nothing; it counts what the pipeline
// sent so the run can show that the pens were really driven.
class CNullPlatform : public CPlatform
{
public:
    int ShowMessageBox(const std::wstring&, std::uint32_t) override { return 1; }
    void SetMessageBoxTitle(const std::wstring&) override {}
    void Sleep(std::uint32_t) override {}
    // A real clock: a recording stamps every byte with it.
    std::uint64_t MonotonicMicros() override
    {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    LibraryHandle LoadAppLibrary(const std::wstring&) override { return nullptr; }
    void* GetLibrarySymbol(LibraryHandle, const char*) override { return nullptr; }
    int GetSystemMetric(int index) override
    {
        return index == METRIC_CXSCREEN ? 1024 : index == METRIC_CYSCREEN ? 768 : 1;
    }
    void EnumerateMonitors(const std::function<bool(const MONITOR_DESC&)>&) override {}
    bool GetCurrentDisplayMode(int& width, int& height) override
    {
        width = 1024;
        height = 768;
        return true;
    }
    void SendMouseInput(const MOUSE_RECORD&) override { ++m_nMouseRecords; }
    void DrainThreadMessages() override {}
    void SetCursorPosition(int, int) override {}
    int ShowMouseCursor(bool) override { return 0; }
    WindowHandle FindWindowByClass(const char*) override { return 0; }
    bool IsWindowShown(WindowHandle) override { return false; }
    bool PostWindowMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override
    {
        ++m_nWindowMessages;
        return true;
    }
    void PostMainMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void QuitFromTray() override {}
    std::uint16_t GetSystemLanguageId() override { return 0x0409; }
    std::wstring GetModuleDirectory() override { return L"."; }
    bool FileExists(const std::wstring&) override { return false; }
    std::wstring ReadProfileText(const std::wstring&, const std::wstring&, const std::wstring&,
                                 const std::wstring& defaultValue, std::size_t) override
    {
        return defaultValue;
    }
    bool WriteProfileText(const std::wstring&, const std::wstring&, const std::wstring&,
                          const std::wstring&) override
    {
        return true;
    }
    bool CopyFileOver(const std::wstring&, const std::wstring&) override { return true; }
    bool MoveFileOver(const std::wstring&, const std::wstring&) override { return true; }
    bool RemoveFile(const std::wstring&) override { return true; }
    std::wstring ReadRegistryText(REGISTRY_ROOT, const std::wstring&, const std::wstring&) override
    {
        return std::wstring();
    }
    bool StartProgramAsUser(const std::wstring&, const std::wstring&, int) override
    {
        return false;
    }

    std::uint64_t m_nMouseRecords = 0;
    std::uint64_t m_nWindowMessages = 0;
};

void Append(std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& packet)
{
    stream.insert(stream.end(), packet.begin(), packet.end());
}

// Pen k's camera point in frame f: each pen circles its own quarter of the image, and every
// pen lifts for a few frames now and then.
bool PenAt(int k, int f, int& x, int& y)
{
    if ((f + 37 * k) % 200 >= 190)
        return false;
    const double angle = 0.02 * f + k;
    x = 160 + 320 * (k % 2) + static_cast<int>(std::lround(90.0 * std::cos(angle)));
    y = 120 + 240 * (k / 2) + static_cast<int>(std::lround(70.0 * std::sin(angle)));
    return true;
}

std::vector<std::uint8_t> SingleSpotStream(int frames)
{
    std::vector<std::uint8_t> stream;
    for (int f = 0; f < frames; ++f)
    {
        int x = 0;
        int y = 0;
        if (!PenAt(0, f, x, y))
            x = y = 0;
        Append(stream, SingleSpotBytes(x, y));
    }
    return stream;
}

std::vector<std::uint8_t> MultiSpotStream(int frames)
{
    static const std::uint8_t types[] = {protocol::TYPE_FIRST_SPOT, protocol::TYPE_SECOND_SPOT,
                                         protocol::TYPE_THIRD_SPOT, protocol::TYPE_FOURTH_SPOT};
    std::vector<std::uint8_t> stream;
    for (int f = 0; f < frames; ++f)
    {
        int spots = 0;
        for (int k = 0; k < 4; ++k)
        {
            int x = 0;
            int y = 0;
            if (PenAt(k, f, x, y))
                Append(stream, MultiSpotBytes(types[spots++], x, y));
        }
        if (spots == 0)
            Append(stream, NoSpotBytes(protocol::TYPE_FIRST_SPOT));
    }
    return stream;
}

int RunForm(const char* form, double firmwareVersion, const std::vector<std::uint8_t>& stream,
            bool record)
{
    CPenWorld world(PEN_WORLD_OPTIONS{1, firmwareVersion});
    CNullPlatform platform;
    CScopedPlatform scope(platform);
    ResetPenPipeline();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "tavelo_bench_pipeline.tvrec";
    RECORDING_HEADER header;
    header.units.resize(1);
    if (record && !StreamRecorder().Start(file.wstring(), header, std::uint64_t{1} << 40))
    {
        std::printf("pipeline form=%s: cannot record to %s\n", form, file.string().c_str());
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    std::uint64_t bytes = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    while (elapsed < std::chrono::milliseconds(800))
    {
        for (std::uint8_t byte : stream)
        {
            RecordReceivedByte(0, byte);
            world.m_records[0].rxByte = byte;
            OnPenByte(world.m_records);
        }
        bytes += stream.size();
        elapsed = Clock::now() - start;
    }
    const double ns =
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    const double nsPerByte = ns / static_cast<double>(bytes);
    StreamRecorder().Stop();
    std::printf("pipeline form=%s recording=%s ns_per_byte=%.2f wire_ratio=%.0f bytes=%llu "
                "mouse_records=%llu companion_messages=%llu",
                form, record ? "on" : "off", nsPerByte, WIRE_NS_PER_BYTE / nsPerByte,
                static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(platform.m_nMouseRecords),
                static_cast<unsigned long long>(platform.m_nWindowMessages));
    if (record)
    {
        std::printf(" recorded=%llu dropped=%llu file_bytes=%llu",
                    static_cast<unsigned long long>(StreamRecorder().BytesRecorded()),
                    static_cast<unsigned long long>(StreamRecorder().BytesDropped()),
                    static_cast<unsigned long long>(StreamRecorder().BytesWritten()));
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    std::printf("\n");
    return platform.m_nMouseRecords > 0 ? 0 : 1;
}

int RunPipeline(const std::vector<std::string>&)
{
    int result = 0;
    for (bool record : {false, true})
    {
        result |= RunForm("single", 1.10, SingleSpotStream(4000), record);
        result |= RunForm("multi", 1.23, MultiSpotStream(4000), record);
    }
    return result;
}

CBenchRegistration g_registration("pipeline",
                                  "cost per byte of the pen pipeline, single- and multi-spot",
                                  RunPipeline);
} // namespace
