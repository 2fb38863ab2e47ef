// The daily HTML log as files on disk: the day's file with its header, rows
// and one footer, escaping and cutting of messages, restarts, and several
// processes appending at once.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/test_clock.h"
#include "plugin/settings_key.h"
#include "ui/html_log.h"
#include "test_util/test_util.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using skyvane::ui::WriteLog;

const std::string kFooter =
    "            </table><a name=\"BookmarkEnd\" href=#BookmarkBegin>goto begin</a></body></html>"
    "                                             ";

class HtmlLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
        SYSTEMTIME t{2026, 3, 6, 7, 9, 5, 7, 0};  // Saturday, 7 March 2026 09:05:07
        ASSERT_TRUE(skyvane::testclock::SetLocalTime(t));
        ASSERT_TRUE(skyvane::testclock::Freeze(true));
        fs::create_directories(Folder());
    }
    fs::path Folder() { return fs::path(root.path()) / "Application Data" / "SkyvaneWeather"; }
    fs::path Today() { return Folder() / "SkyvaneLog2026-03-07.htm"; }
    // The file as UTF-8, after checking that it is UTF-16 with a byte-order mark.
    std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        EXPECT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
        EXPECT_EQ(bytes.size() % 2, 0u);
        std::u16string text(bytes.size() / 2 - 1, u'\0');
        memcpy(text.data(), bytes.data() + 2, text.size() * 2);
        return skyvane::ToUtf8(text);
    }
    static size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    skyvane::test::ScopedDeviceRoot root;
};

TEST_F(HtmlLogTest, TheFirstMessageOfTheDayMakesItsFile) {
    std::ofstream(Folder() / "SkyvaneLog2026-03-02.htm") << "old";
    std::ofstream(Folder() / "SkyvaneLog2026-03-03.htm") << "kept";
    WriteLog(false, u"Initialize");
    WriteLog(true, u"Cannot connect");
    ASSERT_TRUE(fs::exists(Today()));
    EXPECT_FALSE(fs::exists(Folder() / "SkyvaneLog2026-03-02.htm"));
    EXPECT_TRUE(fs::exists(Folder() / "SkyvaneLog2026-03-03.htm"));
    std::string text = Read(Today());
    EXPECT_EQ(text.rfind("<html><head><title>skyvane log</title></head><body bgcolor=\"aqua\">\r\n"
                         "<h3>report from Saturday, March 07, 2026</h3>\r\n"
                         "<a name=\"BookmarkBegin\" href=#BookmarkEnd>goto bottom</a><br>"
                         "<a href=SkyvaneLog2026-03-06.htm>goto previous day</a><br><table width=\"100%\">\r\n",
                         0),
              0u);
    char pid[16];
    snprintf(pid, sizeof pid, "%08x", unsigned(getpid()));
    EXPECT_NE(text.find(std::string("<tr><td>09:05:07 PID=") + pid + " Initialize</td></tr>\r\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("<tr><td style=\"color: red\">09:05:07 PID=") + pid + " Cannot connect</td></tr>\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(text, kFooter), 1u);
    EXPECT_EQ(text.substr(text.size() - kFooter.size()), kFooter);
    EXPECT_EQ(skyvane::plugin::SettingsKey(u"Weather", u"Skyvane").ReadText(u"LastLogFile", u""),
              u"\\Application Data\\SkyvaneWeather\\SkyvaneLog2026-03-07.htm");
}

TEST_F(HtmlLogTest, MessagesAreEscapedAndCut) {
    struct Case {
        std::u16string message;
        std::u16string logged;
    } cases[] = {
        {u"a<b>c", u"a&lt;b&gt;c"},
        {u"Fish & Chips", u"Fish &amp; Chips"},
        {std::u16string(400, u'x'), std::u16string(300, u'x')},
        // A cut never splits an escape: the "<" that would end past 300 goes whole.
        {std::u16string(298, u'x') + u"<b", std::u16string(298, u'x')},
        {std::u16string(296, u'x') + u"<b", std::u16string(296, u'x') + u"&lt;"},
        // Nor a character outside the basic plane.
        {std::u16string(299, u'x') + u"\U0001F326", std::u16string(299, u'x')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(skyvane::ui::EscapeLogMessage(c.message), c.logged) << skyvane::ToUtf8(c.message.substr(0, 20));
    WriteLog(false, u"a<b>c");
    EXPECT_NE(Read(Today()).find("a&lt;b&gt;c</td>"), std::string::npos);
}

TEST_F(HtmlLogTest, AFileGrownTooLargeStartsAgainWithoutHeader) {
    std::ofstream(Today(), std::ios::binary) << std::string("\xFF\xFE") + std::string(599998, 'a');
    WriteLog(false, u"after the restart");
    std::string text = Read(Today());
    EXPECT_EQ(text, "<tr><td>09:05:07 PID=" + [] {
        char pid[16];
        snprintf(pid, sizeof pid, "%08x", unsigned(getpid()));
        return std::string(pid);
    }() + " after the restart</td></tr>\r\n" + kFooter);
}

TEST_F(HtmlLogTest, WritersAtOnceKeepEveryRowOnceAndOneFooter) {
    const std::string writer = skyvane::test::BuildDir() + "/bin/ui_log_writer";
    constexpr int kWriters = 8, kRows = 200;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        std::string id = std::to_string(w), rows = std::to_string(kRows);
        char* argv[] = {const_cast<char*>(writer.c_str()), id.data(), rows.data(), nullptr};
        pid_t pid;
        ASSERT_EQ(posix_spawn(&pid, writer.c_str(), nullptr, nullptr, argv, environ), 0);
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string text = Read(Today());
    EXPECT_EQ(Count(text, "<h3>"), 1u);
    EXPECT_EQ(Count(text, kFooter), 1u);
    EXPECT_EQ(text.substr(text.size() - kFooter.size()), kFooter);
    std::multiset<std::string> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find(" writer ");
        if (at != std::string::npos) rows.insert(line.substr(at + 1, line.find("</td>") - at - 1));
    }
    EXPECT_EQ(rows.size(), size_t(kWriters * kRows));
    for (int w = 0; w < kWriters; ++w)
        for (int r = 0; r < kRows; ++r)
            EXPECT_EQ(rows.count("writer " + std::to_string(w) + " row " + std::to_string(r)), 1u) << w << " " << r;
}

}  // namespace
