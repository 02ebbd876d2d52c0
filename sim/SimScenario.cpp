#include "sim/SimScenario.h"

#include <charconv>
#include <cmath>

namespace
{
constexpr double MAX_COORDINATE = 1e6;
constexpr double MIN_VIEW_FILL = 0.01;
constexpr double MAX_VIEW_FILL = 10.0;
// A keystone of 1 or more leaves no top edge.
constexpr double MAX_KEYSTONE = 0.99;
constexpr double MAX_LENS_COEFFICIENT = 100.0;
constexpr double MIN_FPS = 0.1;
constexpr double MAX_FPS = 10000.0;
constexpr std::uint32_t MAX_WEIGHT = 0xFFFFFF;
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

struct FAULT_NAME
{
    SIM_FAULT fault;
    const char* name;
};

constexpr FAULT_NAME FAULT_NAMES[] = {
    {SIM_FAULT::Stall, "stall"},
    {SIM_FAULT::Garbage, "garbage"},
    {SIM_FAULT::Broken, "broken"},
    {SIM_FAULT::NoVersion, "noversion"},
    {SIM_FAULT::Letters, "letters"},
    {SIM_FAULT::Unplug, "unplug"},
    {SIM_FAULT::FirstVersion, "firstversion"},
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits a line into words; a word starting with '#' ends the line.
class CTokens
{
public:
    explicit CTokens(std::string_view line) : m_rest(line) {}

    bool Next(std::string_view& token)
    {
        m_rest = Trim(m_rest);
        if (m_rest.empty() || m_rest.front() == '#')
            return false;
        std::size_t end = 0;
        while (end < m_rest.size() && !IsBlank(m_rest[end]))
            ++end;
        token = m_rest.substr(0, end);
        m_rest.remove_prefix(end);
        return true;
    }

    // Everything after the words taken so far, trimmed, comment characters included.
    std::string_view Rest() const { return Trim(m_rest); }

private:
    std::string_view m_rest;
};

std::string Quote(std::string_view token)
{
    return "'" + std::string(token) + "'";
}

bool ParseUnsigned(std::string_view token, std::uint64_t max, std::uint64_t& value)
{
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
    {
        base = 16;
        token.remove_prefix(2);
    }
    std::uint64_t parsed = 0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), parsed, base);
    if (token.empty() || result.ec != std::errc() || result.ptr != token.data() + token.size())
        return false;
    if (parsed > max)
        return false;
    value = parsed;
    return true;
}

bool ParseDouble(std::string_view token, double min, double max, double& value)
{
    double parsed = 0.0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), parsed);
    if (token.empty() || result.ec != std::errc() || result.ptr != token.data() + token.size())
        return false;
    if (!std::isfinite(parsed) || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool ParseHexByte(std::string_view token, std::uint8_t& value)
{
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.remove_prefix(2);
    if (token.empty() || token.size() > 2)
        return false;
    unsigned parsed = 0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), parsed, 16);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size())
        return false;
    value = static_cast<std::uint8_t>(parsed);
    return true;
}

bool ValidPath(std::string_view path)
{
    if (path.empty())
        return false;
    for (char c : path)
    {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// Reads the words of one command; every method reports its own error.
class CLineParser
{
public:
    CLineParser(std::string_view line, SIM_COMMAND& command, std::string& error)
        : m_tokens(line), m_command(command), m_error(error)
    {
    }

    SIM_LINE_RESULT Parse()
    {
        std::string_view verb;
        if (!m_tokens.Next(verb))
            return SIM_LINE_RESULT::Empty;
        bool ok = false;
        if (verb == "units")
            ok = Units();
        else if (verb == "fps")
            ok = Fps(SIM_VERB::Fps);
        else if (verb == "seed")
            ok = Seed();
        else if (verb == "log")
            ok = Path(SIM_VERB::Log);
        else if (verb == "replay")
            ok = Replay();
        else if (verb == "unit")
            ok = Unit();
        else
            ok = Fail("unknown command " + Quote(verb));
        return ok ? SIM_LINE_RESULT::Command : SIM_LINE_RESULT::Error;
    }

private:
    bool Fail(std::string message)
    {
        m_error = std::move(message);
        return false;
    }

    bool Word(std::string_view& token, const char* what)
    {
        if (m_tokens.Next(token))
            return true;
        m_error = std::string("missing ") + what;
        return false;
    }

    bool End()
    {
        std::string_view extra;
        if (m_tokens.Next(extra))
            return Fail("unexpected " + Quote(extra));
        return true;
    }

    bool Unsigned(const char* what, std::uint64_t max, std::uint64_t& value)
    {
        std::string_view token;
        if (!Word(token, what))
            return false;
        if (!ParseUnsigned(token, max, value))
            return Fail(std::string("bad ") + what + " " + Quote(token));
        return true;
    }

    bool Real(const char* what, double min, double max, double& value)
    {
        std::string_view token;
        if (!Word(token, what))
            return false;
        if (!ParseDouble(token, min, max, value))
            return Fail(std::string("bad ") + what + " " + Quote(token));
        return true;
    }

    bool Units()
    {
        std::uint64_t count = 0;
        m_command.verb = SIM_VERB::Units;
        if (!Unsigned("unit count", SIM_MAX_UNITS, count))
            return false;
        m_command.value = std::uint32_t(count);
        return End();
    }

    bool Fps(SIM_VERB verb)
    {
        m_command.verb = verb;
        return Real("frame rate", MIN_FPS, MAX_FPS, m_command.number) && End();
    }

    bool Seed()
    {
        std::uint64_t seed = 0;
        m_command.verb = SIM_VERB::Seed;
        if (!Unsigned("seed", 0xFFFFFFFF, seed))
            return false;
        m_command.value = std::uint32_t(seed);
        return End();
    }

    bool Path(SIM_VERB verb)
    {
        m_command.verb = verb;
        const std::string_view path = m_tokens.Rest();
        if (!ValidPath(path))
            return Fail(path.empty() ? "missing path" : "bad path");
        m_command.path = std::string(path);
        return true;
    }

    // The path is the rest of the line, so "fast" can only come first.
    bool Replay()
    {
        std::string_view rest = m_tokens.Rest();
        constexpr std::string_view FAST = "fast ";
        m_command.value = rest.substr(0, FAST.size()) == FAST ? 1 : 0;
        if (m_command.value != 0)
            rest.remove_prefix(FAST.size());
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        m_command.verb = SIM_VERB::Replay;
        if (!ValidPath(rest))
            return Fail(rest.empty() ? "missing path" : "bad path");
        m_command.path = std::string(rest);
        return true;
    }

    bool Unit()
    {
        std::uint64_t unit = 0;
        if (!Unsigned("unit index", SIM_MAX_UNITS - 1, unit))
            return false;
        m_command.unit = int(unit);
        std::string_view what;
        if (!Word(what, "unit command"))
            return false;
        if (what == "minor")
            return Minor();
        if (what == "pen")
            return Pen();
        if (what == "pens")
            return PensUp();
        if (what == "fault")
            return Fault();
        if (what == "store")
            return Path(SIM_VERB::Store);
        if (what == "set")
            return Set();
        if (what == "fps")
            return Fps(SIM_VERB::UnitFps);
        if (what == "screen")
            return Screen();
        if (what == "send")
            return Send();
        if (what == "monitor")
            return Monitor();
        if (what == "view")
            return View();
        if (what == "lens")
            return Lens();
        if (what == "mount")
            return Mount();
        if (what == "bridge")
            return Bridge();
        return Fail("unknown unit command " + Quote(what));
    }

    bool Minor()
    {
        std::uint64_t minor = 0;
        m_command.verb = SIM_VERB::Minor;
        if (!Unsigned("minor version", 0xFF, minor))
            return false;
        m_command.value = std::uint32_t(minor);
        return End();
    }

    bool Pen()
    {
        std::uint64_t pen = 0;
        if (!Unsigned("pen index", SIM_MAX_PENS - 1, pen))
            return false;
        m_command.pen = int(pen);
        std::string_view first;
        if (!Word(first, "pen position or 'up'"))
            return false;
        if (first == "up")
        {
            m_command.verb = SIM_VERB::PenUp;
            return End();
        }
        m_command.verb = SIM_VERB::PenDown;
        if (!ParseDouble(first, -MAX_COORDINATE, MAX_COORDINATE, m_command.x))
            return Fail("bad pen x " + Quote(first));
        if (!Real("pen y", -MAX_COORDINATE, MAX_COORDINATE, m_command.y))
            return false;
        std::string_view weight;
        if (m_tokens.Next(weight))
        {
            std::uint64_t value = 0;
            if (!ParseUnsigned(weight, MAX_WEIGHT, value))
                return Fail("bad pen weight " + Quote(weight));
            m_command.weight = std::uint32_t(value);
        }
        return End();
    }

    bool PensUp()
    {
        std::string_view up;
        m_command.verb = SIM_VERB::PensUp;
        if (!Word(up, "'up'"))
            return false;
        if (up != "up")
            return Fail("expected 'up', not " + Quote(up));
        return End();
    }

    bool Fault()
    {
        std::string_view name;
        if (!Word(name, "fault name"))
            return false;
        if (name == "none")
        {
            m_command.verb = SIM_VERB::FaultNone;
            return End();
        }
        m_command.verb = SIM_VERB::Fault;
        bool known = false;
        for (const FAULT_NAME& entry : FAULT_NAMES)
        {
            if (name == entry.name)
            {
                m_command.fault = entry.fault;
                known = true;
            }
        }
        if (!known)
            return Fail("unknown fault " + Quote(name));
        std::string_view state;
        if (m_tokens.Next(state))
        {
            if (state != "on" && state != "off")
                return Fail("expected 'on' or 'off', not " + Quote(state));
            m_command.on = state == "on";
        }
        return End();
    }

    bool Set()
    {
        std::uint64_t address = 0;
        std::uint64_t value = 0;
        m_command.verb = SIM_VERB::Set;
        if (!Unsigned("address", 0xFF, address) || !Unsigned("value", 0xFF, value))
            return false;
        m_command.value = std::uint32_t(address);
        m_command.value2 = std::uint32_t(value);
        return End();
    }

    bool Screen()
    {
        m_command.verb = SIM_VERB::Screen;
        for (double& corner : m_command.quad)
        {
            if (!Real("screen corner", -MAX_COORDINATE, MAX_COORDINATE, corner))
                return false;
        }
        return End();
    }

    bool Monitor()
    {
        m_command.verb = SIM_VERB::Monitor;
        for (double& edge : m_command.numbers)
        {
            std::string_view token;
            if (!Word(token, "monitor edge"))
                return false;
            if (!ParseDouble(token, -MAX_COORDINATE, MAX_COORDINATE, edge) ||
                std::floor(edge) != edge)
                return Fail("bad monitor edge " + Quote(token));
        }
        return End();
    }

    bool View()
    {
        m_command.verb = SIM_VERB::View;
        double* n = m_command.numbers.data();
        if (!Real("view fill", MIN_VIEW_FILL, MAX_VIEW_FILL, n[0]) ||
            !Real("keystone", -MAX_KEYSTONE, MAX_KEYSTONE, n[1]))
            return false;
        std::string_view dx;
        if (!m_tokens.Next(dx))
            return true;
        if (!ParseDouble(dx, -MAX_COORDINATE, MAX_COORDINATE, n[2]))
            return Fail("bad view shift " + Quote(dx));
        return Real("view shift", -MAX_COORDINATE, MAX_COORDINATE, n[3]) && End();
    }

    bool Lens()
    {
        m_command.verb = SIM_VERB::Lens;
        double* k = m_command.numbers.data();
        if (!Real("lens coefficient", -MAX_LENS_COEFFICIENT, MAX_LENS_COEFFICIENT, k[0]))
            return false;
        for (int i = 1; i < 3; ++i)
        {
            std::string_view token;
            if (!m_tokens.Next(token))
                return true;
            if (!ParseDouble(token, -MAX_LENS_COEFFICIENT, MAX_LENS_COEFFICIENT, k[i]))
                return Fail("bad lens coefficient " + Quote(token));
        }
        return End();
    }

    bool Mount()
    {
        std::uint64_t ceiling = 0;
        std::uint64_t rear = 0;
        m_command.verb = SIM_VERB::Mount;
        if (!Unsigned("ceiling flag", 1, ceiling) || !Unsigned("rear flag", 1, rear))
            return false;
        m_command.value = std::uint32_t(ceiling);
        m_command.value2 = std::uint32_t(rear);
        return End();
    }

    // "host": the bridge takes the host's settings again; "refuse": the bridge as units come
    // (16 ms, no event character) failing the host's calls to change it; otherwise a latency
    // timer (0: no wait at all) and an optional event character that the host's settings no
    // longer change.
    bool Bridge()
    {
        m_command.verb = SIM_VERB::Bridge;
        std::string_view first;
        if (!Word(first, "latency timer or 'host'"))
            return false;
        m_command.on = false;
        m_command.refuse = false;
        if (first == "host")
        {
            m_command.value = HOST_BRIDGE;
            return End();
        }
        if (first == "refuse")
        {
            m_command.value = SIM_BRIDGE_SETTINGS{}.latencyMs;
            m_command.refuse = true;
            return End();
        }
        std::uint64_t ms = 0;
        if (!ParseUnsigned(first, CSimBridge::MAX_LATENCY_MS, ms) ||
            (ms != 0 && ms < CSimBridge::MIN_LATENCY_MS))
            return Fail("bad latency timer " + Quote(first));
        m_command.value = std::uint32_t(ms);
        std::string_view eventChar;
        if (m_tokens.Next(eventChar))
        {
            std::uint8_t byte = 0;
            if (!ParseHexByte(eventChar, byte))
                return Fail("bad event character " + Quote(eventChar));
            m_command.value2 = byte;
            m_command.on = true;
        }
        return End();
    }

    bool Send()
    {
        m_command.verb = SIM_VERB::Send;
        std::string_view token;
        while (m_tokens.Next(token))
        {
            std::uint8_t byte = 0;
            if (!ParseHexByte(token, byte))
                return Fail("bad byte " + Quote(token));
            if (m_command.bytes.size() == SIM_MAX_SEND_BYTES)
                return Fail("more than 256 bytes");
            m_command.bytes.push_back(byte);
        }
        if (m_command.bytes.empty())
            return Fail("missing bytes");
        return true;
    }

    CTokens m_tokens;
    SIM_COMMAND& m_command;
    std::string& m_error;
};
} // namespace

SIM_LINE_RESULT ParseSimLine(std::string_view line, SIM_COMMAND& command, std::string& error)
{
    command = SIM_COMMAND{};
    error.clear();
    return CLineParser(line, command, error).Parse();
}

SIM_SCENARIO ParseSimScenario(std::string_view text)
{
    SIM_SCENARIO scenario;
    if (text.substr(0, UTF8_BOM.size()) == UTF8_BOM)
        text.remove_prefix(UTF8_BOM.size());
    int number = 0;
    while (!text.empty())
    {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        SIM_COMMAND command;
        std::string error;
        switch (ParseSimLine(line, command, error))
        {
        case SIM_LINE_RESULT::Empty:
            break;
        case SIM_LINE_RESULT::Command:
            scenario.commands.push_back(std::move(command));
            break;
        case SIM_LINE_RESULT::Error:
            scenario.errors.push_back({number, std::move(error)});
            break;
        }
    }
    return scenario;
}
