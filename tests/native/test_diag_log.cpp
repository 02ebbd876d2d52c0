// The diagnostic log as a supporter meets it: stamped lines in the order things happened, never
// more than its two files, and a folder it cannot write to costs the driver nothing.

#include "core/DiagLog.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace
{
std::vector<std::string> Lines(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The event text of a log line, after its time stamp; "" when the line is not stamped as
// "YYYY-MM-DD hh:mm:ss.mmm " and ended by CR LF.
std::string EventOf(const std::string& line)
{
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)\r$)");
    std::smatch match;
    return std::regex_match(line, match, stamped) ? match[1].str() : std::string();
}

class DiagLogTest : public ::testing::Test
{
protected:
    CFakePlatform m_platform;
    CScopedPlatform m_scope{m_platform};
    CTempFolder m_folder;
    const std::filesystem::path m_dir{m_folder.Path()};
    CDiagLog m_log;

    void OpenIn(const std::filesystem::path& folder) { m_log.Open(folder.wstring() + L"/"); }
};
} // namespace

TEST_F(DiagLogTest, LinesAreStampedInOrderAcrossRunsAndOnlyTwoFilesOfTheNewestAreKept)
{
    OpenIn(m_dir);
    m_log.Write("Tavelo started");
    m_log.Printf("Unit %u: firmware %.2f", 0u, 1.23);
    m_log.Write("two\nlines");
    // A second run goes on in the same file.
    CDiagLog next;
    next.Open(m_dir.wstring() + L"/");
    next.Write("Shutdown: Exit chosen from the tray menu");

    std::vector<std::string> events;
    for (const std::string& line : Lines(m_dir / "Tavelo.log"))
        events.push_back(EventOf(line));
    EXPECT_EQ(events,
              (std::vector<std::string>{"Tavelo started", "Unit 0: firmware 1.23", "two lines",
                                        "Shutdown: Exit chosen from the tray menu"}));

    // Three limits' worth later: never more than two files, and the newest lines kept.
    const std::string filler(200, 'x');
    constexpr int LINES = 15000;
    for (int n = 0; n < LINES; ++n)
        next.Printf("line %d %s", n, filler.c_str());

    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir))
    {
        ++files;
        EXPECT_LE(static_cast<std::int64_t>(entry.file_size()), DIAG_LOG_LIMIT) << entry.path();
    }
    EXPECT_EQ(files, 2u);
    // The newest line closes the current file, and the old file ends just before the current
    // one starts: nothing between them was lost.
    const std::vector<std::string> current = Lines(m_dir / "Tavelo.log");
    const std::vector<std::string> old = Lines(m_dir / "Tavelo.log.1");
    ASSERT_FALSE(current.empty());
    ASSERT_FALSE(old.empty());
    auto number = [](const std::string& line)
    {
        std::istringstream words(EventOf(line));
        std::string word;
        int n = -1;
        words >> word >> n;
        return n;
    };
    EXPECT_EQ(number(current.back()), LINES - 1);
    EXPECT_EQ(number(old.back()) + 1, number(current.front()));
    // The old file was filled to within a line of the limit before it was moved aside.
    EXPECT_GT(static_cast<std::int64_t>(std::filesystem::file_size(m_dir / "Tavelo.log.1")),
              DIAG_LOG_LIMIT - 300);
}

TEST_F(DiagLogTest, AFolderThatCannotBeWrittenGivesNoLogAndNoBox)
{
    // A regular file where the folder should be: no one, not even root, can create the log.
    const std::filesystem::path notAFolder = m_dir / "settings";
    std::ofstream(notAFolder) << "a file";
    OpenIn(notAFolder);
    for (int n = 0; n < 3000; ++n)
        m_log.Write("an event nobody will read");
    EXPECT_TRUE(m_platform.m_boxes.empty());
    EXPECT_TRUE(m_platform.m_mainMessages.empty());
    EXPECT_EQ(std::filesystem::file_size(notAFolder), 6u);
}
