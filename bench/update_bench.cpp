// An update of 100 cities as the device runs it: the UI program started with
// "Update all" (the plugin library and the weather service library loaded
// through COM, every city fetched from the feed simulator on loopback,
// merged, saved and recorded), against libcurl fetching the same 100
// documents one after another, each on a new connection. The two alternate
// in every iteration so that both see the same machine and the same
// simulator. Reported: the medians, their ratio, the update's time per city
// and the peak resident memory of the update process.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/nls/text_conv.h"
#include "platform/registry/registry.h"
#include "plugin/settings_key.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kCities = 100;

// The scratch device with both libraries registered, 100 cities, the
// simulator answering for them, and the documents the update asks for.
struct Setup {
    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::ScopedEnv fixedState{"SKYVANE_STATE_FIXED", "1"};
    std::unique_ptr<skyvane::test::FeedSim> sim;
    std::vector<std::string> urls;
    std::string error;

    Setup() {
        const std::string bin = skyvane::test::BuildDir() + "/bin/", lib = skyvane::test::BuildDir() + "/lib/";
        for (const char* library : {"libKWeather.so", "libSkyvaneWeather.so"})
            if (std::system((bin + "skyvane-regsvr " + lib + library + " > /dev/null").c_str()) != 0)
                error = std::string("cannot register ") + library;
        const std::string list = std::string(SKYVANE_SOURCE_DIR) + "/data/citydb/cities.tsv";
        sim = std::make_unique<skyvane::test::FeedSim>(std::vector<std::string>{"--cities", list});
        skyvane::test::SetServiceHosts(sim->host16(), sim->host16(), sim->host16(), sim->host16());

        // Every 300th city of the shipped list.
        skyvane::plugin::SettingsKey key(u"Weather", u"Skyvane");
        std::ifstream in(list);
        size_t line = 0, written = 0;
        for (std::string text; written < kCities && std::getline(in, text); ++line) {
            if (line % 300 != 0 || text.empty() || text[0] == '#') continue;
            const size_t tab = text.find('\t'), tab2 = text.find('\t', tab + 1);
            const std::u16string index = skyvane::FromUtf8(std::to_string(written++));
            key.WriteText(u"CityCode" + index, skyvane::FromUtf8(text.substr(0, tab)));
            key.WriteText(u"CityName" + index, skyvane::FromUtf8(text.substr(tab + 1, tab2 - tab - 1)));
        }
        skyvane::plugin::SettingsKey device(u"Device", u"Skyvane", HKEY_LOCAL_MACHINE);
        device.WriteNumber(u"ConnectionStatus", 0x10);  // the network is up
        if (written != kCities) error = "the city list is too short";
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

// Runs the UI program with "Update all"; false when it failed. peakKiB: the
// process's peak resident memory.
bool RunUpdate(long& peakKiB) {
    const std::string program = skyvane::test::BuildDir() + "/bin/SkyvaneWeatherUI";
    std::string update = "Update", all = "all";
    char* argv[] = {const_cast<char*>(program.c_str()), update.data(), all.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    peakKiB = std::max(peakKiB, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The documents one after another, each with a new handle and connection.
size_t CurlFetchAll(const std::vector<std::string>& urls) {
    size_t bytes = 0;
    for (const std::string& url : urls) {
        CURL* curl = curl_easy_init();  // initialises libcurl the first time
        if (!curl) return 0;
        std::string out;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &out);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        const bool ok = curl_easy_perform(curl) == CURLE_OK;
        curl_easy_cleanup(curl);
        if (!ok || out.empty()) return 0;
        bytes += out.size();
    }
    return bytes;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_UpdateAll100Cities(benchmark::State& state) {
    Setup& setup = Shared();
    if (!setup.error.empty()) {
        state.SkipWithError(setup.error.c_str());
        return;
    }
    long peakKiB = 0;
    // A first update stores every city and shows which documents it asks for.
    if (!RunUpdate(peakKiB)) {
        state.SkipWithError("the update failed");
        return;
    }
    std::vector<std::string> urls;
    for (const std::string& target : setup.sim->Targets())
        urls.push_back("http://" + setup.sim->host() + target);
    if (urls.size() != kCities) {
        state.SkipWithError("the update did not ask once per city");
        return;
    }
    std::vector<double> ours, theirs;
    for (auto _ : state) {
        auto t0 = Clock::now();
        bool updated = RunUpdate(peakKiB);
        auto t1 = Clock::now();
        size_t bytes = CurlFetchAll(urls);
        auto t2 = Clock::now();
        if (!updated || bytes == 0) {
            state.SkipWithError(updated ? "libcurl failed" : "the update failed");
            break;
        }
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        theirs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    const double m1 = Median(ours), m2 = Median(theirs), ratio = m2 > 0 ? m1 / m2 : 0;
    state.counters["update_ms"] = m1;
    state.counters["curl_ms"] = m2;
    state.counters["ratio"] = ratio;
    state.counters["ms_per_city"] = m1 / kCities;
    state.counters["peak_rss_KiB"] = double(peakKiB);
    std::fprintf(stderr,
                 "Update all, %zu cities: %.1f ms (%.2f ms a city), libcurl %.1f ms, ratio %.2f, "
                 "peak memory of the update process %.1f MiB (medians of %zu)\n",
                 kCities, m1, m1 / kCities, m2, ratio, peakKiB / 1024.0, ours.size());
}

BENCHMARK(BM_UpdateAll100Cities)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
