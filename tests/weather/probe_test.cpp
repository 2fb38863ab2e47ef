// kweather-probe as a user runs it: the library registered in a fresh device
// root, the host configuration pointed at a feed simulator, and the probe's
// output and exit status for each command and for failures.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/win_types.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"

namespace {

struct ProbeRun {
    int status = -1;
    std::string out;  // standard output and standard error together
};

std::string Bin(const std::string& name) { return skyvane::test::BuildDir() + "/bin/" + name; }

ProbeRun RunProbe(const std::string& args) {
    ProbeRun run;
    std::string command = Bin("kweather-probe") + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string SmallDatabase() { return std::string(SKYVANE_SOURCE_DIR) + "/tests/data/citydb/small"; }

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string library = std::filesystem::canonical(skyvane::test::BuildDir() + "/lib/libKWeather.so").string();
        void* h = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr) << dlerror();
        auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(h, "DllRegisterServer"));
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
        dlclose(h);
    }

    skyvane::test::ScopedDeviceRoot root_;
};

TEST_F(ProbeTest, WeatherPrintsEveryRecordThenTheRequestStatistics) {
    skyvane::test::FeedSim sim;
    skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
    ProbeRun run = RunProbe("weather RSXX0091 --days 2 --unit 1");
    ASSERT_EQ(run.status, 0) << run.out;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_GT(lines.size(), 20u);
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex("time=\\d+ ms, download size=\\d+ bytes unpacked=\\d+ bytes")))
        << lines.back();
    EXPECT_EQ(lines[lines.size() - 2], "") << "a blank line before the statistics";
    // Records are separated by one blank line; each of the first kinds opens
    // with its heading.
    std::vector<std::string> headings;
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (i == 0 || lines[i - 1].empty()) headings.push_back(lines[i]);
    EXPECT_EQ(headings[0], "Info = KWLocal");
    EXPECT_EQ(headings[1], "Info = KWCurrent");
    EXPECT_EQ(std::count(headings.begin(), headings.end(), "Info = KWDay"), 2);
    EXPECT_EQ(std::count(headings.begin(), headings.end(), "Info = KWNight"), 2);
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    // The options reached the request.
    std::vector<std::string> targets = sim.Targets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_NE(targets[0].find("&dayf=2&"), std::string::npos) << targets[0];
    EXPECT_NE(targets[0].find("&unit=s"), std::string::npos) << targets[0];
}

TEST_F(ProbeTest, XmlAndFind) {
    skyvane::test::FeedSim sim;
    skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
    ProbeRun xml = RunProbe("xml USNY0996");
    ASSERT_EQ(xml.status, 0) << xml.out;
    EXPECT_EQ(xml.out.rfind("<", 0), 0u);
    EXPECT_NE(xml.out.find("<loc id=\"USNY0996\">"), std::string::npos);
    EXPECT_NE(xml.out.find("</weather>"), std::string::npos);

    ProbeRun find = RunProbe("find " + Quote("Russia"));
    ASSERT_EQ(find.status, 0) << find.out;
    EXPECT_EQ(find.out, "RSXX0091\tMoscow, Russia\nRSXX0063\tSaint Petersburg, Russia\n");
}

TEST_F(ProbeTest, CountriesAndCitiesOfTheDatabase) {
    ProbeRun countries = RunProbe("countries --db " + Quote(SmallDatabase()));
    ASSERT_EQ(countries.status, 0) << countries.out;
    EXPECT_EQ(countries.out, "[A]\nAustria\n[C]\nC\xC3\xB4te d'Ivoire\n[R]\nRussia\n[U]\nUSA\n[Other countries]\n");

    // Austria is one section; the b filter leaves the tail of the list empty.
    ProbeRun austria = RunProbe("cities Austria b --db " + Quote(SmallDatabase()));
    ASSERT_EQ(austria.status, 0) << austria.out;
    EXPECT_EQ(austria.out, "AUXX0004\tBregenz\nAUXX0001\tbad Ischl\nAUXX0002\tBaden\n");

    ProbeRun usa = RunProbe("cities usa _ --db " + Quote(SmallDatabase()));
    ASSERT_EQ(usa.status, 0) << usa.out;
    EXPECT_EQ(usa.out, "USNY0014\tAlbany, NY\nUSTX0057\tAustin, TX\n");

    ProbeRun none = RunProbe("cities USA f\\> --db " + Quote(SmallDatabase()));
    EXPECT_EQ(none.status, 0) << none.out;
    EXPECT_EQ(none.out, "");
}

TEST_F(ProbeTest, FailuresPrintTheResultAndTheDescription) {
    std::u16string nowhere = skyvane::test::RefusingHost();
    skyvane::test::SetServiceHosts(nowhere, nowhere, nowhere, nowhere);
    ProbeRun weather = RunProbe("weather RSXX0091");
    EXPECT_EQ(weather.status, 1);
    EXPECT_TRUE(std::regex_search(weather.out, std::regex("^error 0x8[0-9A-F]{7}: Weather update failed\\.")))
        << weather.out;

    ProbeRun database = RunProbe("countries --db /no/such/folder");
    EXPECT_EQ(database.status, 1);
    EXPECT_EQ(database.out,
              "error 0x80070780: Cannot open file /no/such/folder/index.txt. Please check your installation folder "
              "or reinstall Weather.\n");

    ProbeRun usage = RunProbe("weather");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.out.find("usage: kweather-probe"), std::string::npos);
}

TEST(ProbeWithoutRegistration, SaysTheClassIsUnknown) {
    skyvane::test::ScopedDeviceRoot root;
    ProbeRun run = RunProbe("countries");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("error 0x800401F3: ", 0), 0u) << run.out;
}

}  // namespace
