#pragma once
// The simulator's command language: one command per line, used both for scenario files
// read at start and for commands appended live to a control file. The parser is total:
// every line gives a command, nothing (blank or comment) or an error with its reason.
// The command list is in sim/README.md.

#include "sim/SimUnit.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int SIM_MAX_UNITS = 32;
constexpr std::size_t SIM_MAX_SEND_BYTES = 256;
// The value of a "bridge host" command.
constexpr std::uint32_t HOST_BRIDGE = 0xFFFFFFFF;

enum class SIM_VERB : std::uint8_t
{
    Units,     // units N
    Fps,       // fps F (every unit)
    Seed,      // seed N
    Log,       // log PATH
    Replay,    // replay [fast] PATH
    Minor,     // unit U minor M
    PenDown,   // unit U pen P X Y [WEIGHT]
    PenUp,     // unit U pen P up
    PensUp,    // unit U pens up
    Fault,     // unit U fault NAME [on|off]
    FaultNone, // unit U fault none
    Store,     // unit U store PATH
    Set,       // unit U set ADDRESS VALUE
    UnitFps,   // unit U fps F
    Screen,    // unit U screen X0 Y0 X1 Y1 X2 Y2 X3 Y3
    Send,      // unit U send HEX...
    Monitor,   // unit U monitor LEFT TOP RIGHT BOTTOM
    View,      // unit U view FILL KEYSTONE [DX DY]
    Lens,      // unit U lens K1 [K2 [K3]]
    Mount,     // unit U mount CEILING REAR
    Bridge,    // unit U bridge LATENCY_MS [EVENT_CHAR] | unit U bridge host
};

struct SIM_COMMAND
{
    SIM_VERB verb = SIM_VERB::Units;
    int unit = 0;
    int pen = 0;
    std::uint32_t value = 0;  // units, seed, minor, address; mount: ceiling; bridge: timer;
                              // replay: 1 fast
    std::uint32_t value2 = 0; // set: the byte; mount: rear projection; bridge: event character
    double number = 0.0;      // fps
    double x = 0.0;
    double y = 0.0;
    std::uint32_t weight = CSimUnit::DEFAULT_WEIGHT;
    SIM_FAULT fault = SIM_FAULT::Stall;
    bool on = true;
    bool refuse = false; // bridge: the host's calls fail
    std::array<double, 8> quad{};
    std::array<double, 4> numbers{}; // monitor edges, view, lens coefficients
    std::vector<std::uint8_t> bytes;
    std::string path; // UTF-8, as written
};

enum class SIM_LINE_RESULT : std::uint8_t
{
    Empty,
    Command,
    Error
};

struct SIM_SCENARIO_ERROR
{
    int line = 0; // 1-based
    std::string message;
};

struct SIM_SCENARIO
{
    std::vector<SIM_COMMAND> commands;
    std::vector<SIM_SCENARIO_ERROR> errors;
};

// One line, without its line break. On error, `error` says why.
SIM_LINE_RESULT ParseSimLine(std::string_view line, SIM_COMMAND& command, std::string& error);
// A whole text: commands in order, and every bad line with its number.
SIM_SCENARIO ParseSimScenario(std::string_view text);
