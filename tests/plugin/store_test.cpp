// City weather files: files built byte by byte for every layout that is read,
// damaged and oversized files, the store's save and load in a device, and
// saves killed at random moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/kernel/files.h"
#include "platform/kernel/nls/text_conv.h"
#include "plugin/plugin_settings.h"
#include "plugin/store_format.h"
#include "plugin/weather_store.h"
#include "store_bytes.h"
#include "test_util/test_util.h"

extern char** environ;

namespace {

using skyvane::plugin::CityEntry;
using skyvane::plugin::ParseStore;
using skyvane::plugin::StoreError;
using skyvane::plugin::WeatherRecord;
using skyvane::test::StoreBytes;

// One record of the given version with a distinct value in every field, in
// the order of the layout; the values are those Expected() checks.
void AppendRecord(StoreBytes& b, uint32_t v, int32_t uvFirst = 3, int32_t uvSecond = 3) {
    b.Str(u"Sunny").F64(40838.0).F64(21.5).F64(11.25).U32(2).U32(13).Str(u"kept").Str(u"NNW").Str(u"rising");
    b.U32(32).U32(45).U32(18).U32(337).F64(1014.6);
    if (v >= 3) b.U32(10).U32(uint32_t(uvFirst)).F64(40838.25).Str(u"Moderate");
    if (v >= 4) b.U32(30);
    if (v >= 5) b.Str(u"Sunny, a light wind");
    if (v >= 6) b.F64(40839.0).Str(u"Storm").Str(u"Winds up to 30 m/s");
    if (v >= 7) b.Str(u"Moscow region");
    if (v >= 8) b.F64(40838.29).F64(40838.71);
    if (v >= 9) b.F64(23.5).F64(9.5);
    if (v >= 10) b.U32(16).U32(3).U32(1013).U32(6).U32(1011);
    if (v >= 11) b.U32(uint32_t(uvSecond));
    if (v >= 12) b.F64(40838.8).F64(40838.3).U32(4).Str(u"Waxing Gibbous");
    if (v == 19) b.U32(7);
    if (v >= 20) b.Str(u"http://maps.example/1.jpg").Str(u"Radar").U32(2).U32(9);
}

WeatherRecord Expected(uint32_t v) {
    WeatherRecord r;
    r.text = u"Sunny";
    r.date = 40838.0;
    r.tempHigh = 21.5;
    r.tempLow = 11.25;
    r.type = 2;
    r.units = 13;
    r.reservedText = u"kept";
    r.windText = u"NNW";
    r.pressureText = u"rising";
    r.icon = 32;
    r.humidity = 45;
    r.windSpeed = 18;
    r.windDirection = 337;
    r.pressure = 1014.6;
    if (v >= 3) r.visibility = 10, r.uvIndex = 3, r.received = 40838.25, r.uvText = u"Moderate";
    if (v >= 4) r.precipitation = 30;
    if (v >= 5) r.description = u"Sunny, a light wind";
    if (v >= 6) r.alertEnd = 40839.0, r.alertType = u"Storm", r.bulletin = u"Winds up to 30 m/s";
    if (v >= 7) r.alertLocation = u"Moscow region";
    if (v >= 8) r.sunrise = 40838.29, r.sunset = 40838.71;
    if (v >= 9) r.heatIndex = 23.5, r.windChill = 9.5;
    if (v >= 10) r.archive = {3, 1013, 6, 1011};
    if (v >= 12) r.moonRise = 40838.8, r.moonSet = 40838.3, r.moonPhaseIndex = 4, r.moonPhaseText = u"Waxing Gibbous";
    if (v == 19) r.icon2 = 7;
    if (v >= 20) r.mapUrl = u"http://maps.example/1.jpg", r.mapName = u"Radar", r.mapIndex = 2, r.icon2 = 9;
    return r;
}

TEST(StoreFormat, EveryReadVersionTakesItsFieldGroups) {
    for (uint32_t v : {2u, 3u, 9u, 12u, 13u, 14u, 19u, 20u}) {
        StoreBytes b;
        b.Header(v, 2);
        AppendRecord(b, v);
        AppendRecord(b, v);
        auto parsed = ParseStore(b.bytes);
        ASSERT_TRUE(parsed.ok()) << "version " << v << ": " << skyvane::plugin::StoreErrorText(parsed.error);
        EXPECT_EQ(parsed.contents.name, u"Moscow");
        EXPECT_EQ(parsed.contents.code, u"RSXX0091");
        EXPECT_EQ(parsed.contents.lastUpdate, 40838.5);
        ASSERT_EQ(parsed.contents.records.size(), 2u);
        EXPECT_EQ(*parsed.contents.records[1], Expected(v)) << "version " << v;
    }
}

TEST(StoreFormat, RefusedFiles) {
    for (uint32_t v : {0u, 1u, 15u, 16u, 18u, 21u, 0xFFFFFFFFu}) {
        StoreBytes b;
        b.Header(v, 1);
        AppendRecord(b, 20);
        EXPECT_EQ(ParseStore(b.bytes).error, StoreError::BadVersion) << "version " << v;
    }
    StoreBytes wrongMarker;
    wrongMarker.Str(u"CityCode Stream").U32(20);
    EXPECT_EQ(ParseStore(wrongMarker.bytes).error, StoreError::BadMarker);
    EXPECT_EQ(ParseStore({}).error, StoreError::Truncated);
}

TEST(StoreFormat, EveryCutOfAFileIsTruncatedAndReadsNothing) {
    StoreBytes b;
    b.Header(20, 2);
    AppendRecord(b, 20);
    AppendRecord(b, 20);
    for (size_t n = 0; n < b.bytes.size(); ++n) {
        auto parsed = ParseStore(std::span(b.bytes).first(n));
        ASSERT_FALSE(parsed.ok()) << n;
        EXPECT_TRUE(parsed.contents.records.empty()) << n;
    }
    EXPECT_TRUE(ParseStore(b.bytes).ok());
}

TEST(StoreFormat, OversizedTextsAndArchivesReadEmpty) {
    StoreBytes b;
    b.Header(20, 1);
    b.RawStr(50000);  // text: over 49999 bytes
    b.F64(40838.0).F64(1).F64(2).U32(2).U32(2).RawStr(49998).Str(u"N").Str(u"");
    b.U32(1).U32(2).U32(3).U32(4).F64(5);
    b.U32(6).U32(7).F64(8).U32(1);  // uvText: a byte count of 1 and no bytes
    b.U32(30).Str(u"").F64(0).Str(u"").Str(u"").Str(u"").F64(0).F64(0).F64(0).F64(0);
    b.U32(100004);  // an archive of over 100000 bytes is skipped
    for (int i = 0; i < 100004 / 4; ++i) b.U32(uint32_t(i));
    b.U32(7).F64(0).F64(0).U32(0).Str(u"").Str(u"http://m").Str(u"").U32(0).U32(0);
    auto parsed = ParseStore(b.bytes);
    ASSERT_TRUE(parsed.ok()) << skyvane::plugin::StoreErrorText(parsed.error);
    const WeatherRecord& r = *parsed.contents.records[0];
    EXPECT_EQ(r.text, u"");
    EXPECT_EQ(r.reservedText.size(), 24999u);  // 49998 bytes: kept
    EXPECT_EQ(r.uvText, u"");
    EXPECT_TRUE(r.archive.empty());
    EXPECT_EQ(r.uvIndex, 7);  // the second uvIndex replaces the first
    EXPECT_EQ(r.mapUrl, u"http://m");
}

TEST(StoreFormat, TheWriterWritesVersion20ByteForByte) {
    StoreBytes expected;
    expected.Header(20, 1, 40838.5);
    AppendRecord(expected, 20);
    skyvane::plugin::CityWeather::Records records;
    records.push_back(std::make_unique<WeatherRecord>(Expected(20)));
    EXPECT_EQ(skyvane::plugin::SerializeStore(u"Moscow", u"RSXX0091", 40838.5, records), expected.bytes);
    // Records made without any value also go through whole.
    records.push_back(std::make_unique<WeatherRecord>());
    auto bytes = skyvane::plugin::SerializeStore(u"", u"X", 0, records);
    auto parsed = ParseStore(bytes);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(*parsed.contents.records[1], WeatherRecord());
}

// --- The store in a device ---------------------------------------------------

class StoreInDevice : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root;
    std::shared_ptr<skyvane::plugin::SettingsKey> key =
        std::make_shared<skyvane::plugin::SettingsKey>(u"Weather", u"Skyvane");

    std::shared_ptr<CityEntry> City(std::u16string code) {
        auto city = std::make_shared<CityEntry>(key);
        city->SetCode(std::move(code));
        city->SetName(u"Moscow");
        return city;
    }
    std::filesystem::path Folder() { return std::filesystem::path(root.path()) / "Application Data" / "SkyvaneWeather"; }
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(Folder() / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    }
};

TEST_F(StoreInDevice, SavedWeatherLoadsBackAndStampsTheCity) {
    auto city = City(u"RSXX0091");
    city->Weather().FindOrAddRecord(40838.0, KWDay)->tempHigh = 21.5;
    city->Weather().SetLastUpdate(40838.5);
    ASSERT_TRUE(skyvane::plugin::SaveWeather(*city));
    EXPECT_TRUE(std::filesystem::exists(Folder() / "RSXX0091.bin"));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "RSXX0091.bin.tmp"));
    EXPECT_NE(key->ReadStamp(u"CityUpdateDay_RSXX0091", 0), 0u);

    auto other = City(u"RSXX0091");
    EXPECT_TRUE(other->DataChanged());
    ASSERT_TRUE(skyvane::plugin::LoadWeather(*other));
    EXPECT_FALSE(other->DataChanged());  // the load remembered the stamp
    ASSERT_EQ(other->Weather().Count(), 1u);
    EXPECT_EQ(other->Weather().records()[0]->tempHigh, 21.5);
    EXPECT_EQ(other->Weather().LastUpdate(), 40838.5);
}

TEST_F(StoreInDevice, AFailedLoadKeepsWhatWasShown) {
    auto city = City(u"RSXX0091");
    city->Weather().FindOrAddRecord(40838.0, KWDay)->tempHigh = 5;
    skyvane::plugin::DataFolder(*key);
    StoreBytes damaged;
    damaged.Header(20, 3);
    AppendRecord(damaged, 20);  // two records short
    WriteFile("RSXX0091.bin", damaged.bytes);
    EXPECT_FALSE(skyvane::plugin::LoadWeather(*city));
    ASSERT_EQ(city->Weather().Count(), 1u);
    EXPECT_EQ(city->Weather().records()[0]->tempHigh, 5);

    std::vector<uint8_t> large(skyvane::plugin::kMaxStoreFileSize + 1, 0);
    WriteFile("RSXX0091.bin", large);
    EXPECT_FALSE(skyvane::plugin::LoadWeather(*city));
    EXPECT_EQ(city->Weather().Count(), 1u);
    // A missing file fails at once, without the retries meant for a writer.
    EXPECT_FALSE(skyvane::plugin::LoadWeather(*City(u"USNY0996")));
}

TEST_F(StoreInDevice, CodesThatCannotNameAFileGetNoFile) {
    for (const char16_t* code : {u"../RSXX0091", u"a/b", u"a\\b", u"C:x", u"..", u"RS\nXX", u"\x7f"}) {
        auto city = City(code);
        city->Weather().FindOrAddRecord(40838.0, KWDay);
        EXPECT_FALSE(skyvane::plugin::SaveWeather(*city));
        EXPECT_FALSE(skyvane::plugin::LoadWeather(*city));
    }
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        EXPECT_NE(entry.path().extension(), ".bin") << entry.path();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(root.path()) / "Application Data" / "RSXX0091.bin"));
    for (const char16_t* code : {u"RSXX0091", u"USNY0996", u"12345", u"city.with.dots", u"a b"})
        EXPECT_TRUE(skyvane::plugin::CodeFitsFileName(code)) << skyvane::ToUtf8(code);
}

// A saver process killed at random moments never leaves a file that does not
// load: each load gives one whole save, all its records alike.
TEST_F(StoreInDevice, SavesKilledAtRandomMomentsLeaveALoadableFile) {
    const std::string saver = skyvane::test::BuildDir() + "/bin/plugin_store_saver";
    std::mt19937 random(20261208);
    int loads = 0;
    for (int round = 0; round < 40; ++round) {
        char* argv[] = {const_cast<char*>(saver.c_str()), nullptr};
        pid_t pid;
        ASSERT_EQ(posix_spawn(&pid, saver.c_str(), nullptr, nullptr, argv, environ), 0);
        if (round == 0) {
            // Let the first save finish so there is a file to keep.
            for (int i = 0; i < 500 && !std::filesystem::exists(Folder() / "RSXX0091.bin"); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        kill(pid, SIGKILL);
        int status;
        waitpid(pid, &status, 0);
        auto city = City(u"RSXX0091");
        ASSERT_TRUE(skyvane::plugin::LoadWeather(*city)) << "round " << round;
        const auto& records = city->Weather().records();
        ASSERT_EQ(records.size(), 400u) << "round " << round;
        for (const auto& r : records) ASSERT_EQ(r->tempHigh, records[0]->tempHigh) << "round " << round;
        ++loads;
    }
    EXPECT_EQ(loads, 40);
}

}  // namespace
