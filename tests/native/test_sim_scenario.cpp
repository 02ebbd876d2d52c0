#include "sim/SimScenario.h"

#include <gtest/gtest.h>

namespace
{
SIM_COMMAND One(const std::string& line)
{
    SIM_COMMAND command;
    std::string error;
    EXPECT_EQ(ParseSimLine(line, command, error), SIM_LINE_RESULT::Command)
        << line << ": " << error;
    return command;
}

std::string ErrorOf(const std::string& line)
{
    SIM_COMMAND command;
    std::string error;
    EXPECT_EQ(ParseSimLine(line, command, error), SIM_LINE_RESULT::Error) << line;
    return error;
}
} // namespace

TEST(SimScenario, GoodLinesGiveTheirCommands)
{
    SIM_COMMAND c = One("units 3");
    EXPECT_EQ(c.verb, SIM_VERB::Units);
    EXPECT_EQ(c.value, 3u);

    c = One("  unit 1 minor 0x2A   # letters");
    EXPECT_EQ(c.verb, SIM_VERB::Minor);
    EXPECT_EQ(c.unit, 1);
    EXPECT_EQ(c.value, 0x2Au);

    c = One("unit 0 pen 3 320.5 -12");
    EXPECT_EQ(c.verb, SIM_VERB::PenDown);
    EXPECT_EQ(c.pen, 3);
    EXPECT_DOUBLE_EQ(c.x, 320.5);
    EXPECT_DOUBLE_EQ(c.y, -12.0);
    EXPECT_EQ(c.weight, CSimUnit::DEFAULT_WEIGHT);
    EXPECT_EQ(One("unit 0 pen 0 1 2 0x200").weight, 0x200u);
    EXPECT_EQ(One("unit 0 pen 2 up").verb, SIM_VERB::PenUp);
    EXPECT_EQ(One("unit 0 pens up").verb, SIM_VERB::PensUp);

    c = One("unit 2 fault firstversion off");
    EXPECT_EQ(c.verb, SIM_VERB::Fault);
    EXPECT_EQ(c.fault, SIM_FAULT::FirstVersion);
    EXPECT_FALSE(c.on);
    EXPECT_TRUE(One("unit 2 fault unplug").on);
    EXPECT_EQ(One("unit 2 fault none").verb, SIM_VERB::FaultNone);

    c = One("unit 0 store  C:\\Program Files\\Tavelo\\unit 0.bin  ");
    EXPECT_EQ(c.verb, SIM_VERB::Store);
    EXPECT_EQ(c.path, "C:\\Program Files\\Tavelo\\unit 0.bin");
    EXPECT_EQ(One("log logs/#1.txt").path, "logs/#1.txt");

    c = One("unit 0 send 24 0x37 ff 6");
    EXPECT_EQ(c.bytes, (std::vector<std::uint8_t>{0x24, 0x37, 0xFF, 0x06}));

    c = One("unit 0 screen 1 2 3 4 5 6 7 8.5");
    EXPECT_DOUBLE_EQ(c.quad[7], 8.5);
    EXPECT_DOUBLE_EQ(One("fps 12.5").number, 12.5);
    c = One("unit 0 set 255 0x26");
    EXPECT_EQ(c.value, 255u);
    EXPECT_EQ(c.value2, 0x26u);
}

TEST(SimScenario, BadLinesSayWhyAndAWholeTextKeepsTheGoodOnes)
{
    EXPECT_EQ(ErrorOf("frobnicate"), "unknown command 'frobnicate'");
    EXPECT_EQ(ErrorOf("units 33"), "bad unit count '33'");
    EXPECT_EQ(ErrorOf("unit 32 minor 1"), "bad unit index '32'");
    EXPECT_EQ(ErrorOf("unit 0 pen 4 1 1"), "bad pen index '4'");
    EXPECT_EQ(ErrorOf("unit 0 pen 0 nan 3"), "bad pen x 'nan'");
    EXPECT_EQ(ErrorOf("unit 0 pen 0 1"), "missing pen y");
    EXPECT_EQ(ErrorOf("unit 0 fault melt"), "unknown fault 'melt'");
    EXPECT_EQ(ErrorOf("unit 0 send 1G"), "bad byte '1G'");
    EXPECT_EQ(ErrorOf("unit 0 explode"), "unknown unit command 'explode'");
    EXPECT_EQ(ErrorOf("unit"), "missing unit index");

    // A whole text keeps its good lines and numbers its bad ones.
    const std::string text = "\xEF\xBB\xBF# scenario\r\n"
                             "units 2\r\n"
                             "\r\n"
                             "unit 0 pen 9 1 1\r\n"
                             "unit 1 minor 0x15\r\n"
                             "nonsense here\n"
                             "unit 0 fault stall";
    const SIM_SCENARIO scenario = ParseSimScenario(text);
    ASSERT_EQ(scenario.commands.size(), 3u);
    EXPECT_EQ(scenario.commands[0].verb, SIM_VERB::Units);
    EXPECT_EQ(scenario.commands[1].verb, SIM_VERB::Minor);
    EXPECT_EQ(scenario.commands[2].verb, SIM_VERB::Fault);
    ASSERT_EQ(scenario.errors.size(), 2u);
    EXPECT_EQ(scenario.errors[0].line, 4);
    EXPECT_EQ(scenario.errors[1].line, 6);
}
