// The weather service as its callers meet it: the library registered in a
// scratch device root and created by ProgID through the COM runtime.
//   - BeginCityByCountry on the shipped database for the largest letter
//     section and for a one-section country (the section index already read,
//     as in a chooser session);
//   - a full Weather call for Moscow against the feed simulator on loopback,
//     and its two halves: the download (WeatherAsXML) and the reading
//     (WeatherAsDocument, WeatherAsArray and a walk over the records), all
//     three by the wall clock, so that the halves add up to the whole; the
//     summary puts their sum beside the full call.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/median_reporter.h"
#include "platform/oleaut/bstr.h"
#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"
#include "weather/service_interfaces.h"

using skyvane::Bstr;
using skyvane::ComPtr;

namespace {

const std::string kData = std::string(SKYVANE_SOURCE_DIR) + "/data/citydb/";

// The device root, the registered library and the simulator, shared by all
// benchmarks of the run.
struct Setup {
    skyvane::test::ScopedDeviceRoot root;
    std::unique_ptr<skyvane::test::FeedSim> sim;
    bool ok = false;

    Setup() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::string library = skyvane::test::BuildDir() + "/lib/libKWeather.so";
        void* h = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) return;
        auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(h, "DllRegisterServer"));
        ok = reg && reg() == S_OK;
        dlclose(h);
        sim = std::make_unique<skyvane::test::FeedSim>();
        skyvane::test::SetServiceHosts(sim->host16(), sim->host16(), sim->host16(), sim->host16());
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

ComPtr<IKWeatherService4> NewService(benchmark::State& state) {
    ComPtr<IKWeatherService4> service;
    CLSID clsid{};
    if (!Shared().ok || FAILED(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service))))
        state.SkipWithError("the weather service library is not registered");
    return service;
}

struct Section {
    std::string country;
    std::string letter;
    long lines = -1;
};

// The largest section of either kind, from the index ("usa-b.txt;503524(308)").
Section Largest(bool byLetter) {
    Section best;
    std::ifstream in(kData + "kweather.idx", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        size_t semi = line.find(';'), paren = line.find('(');
        if (semi == std::string::npos || paren == std::string::npos || semi < 4) continue;
        std::string base = line.substr(0, semi - 4);  // without ".txt"
        long lines = std::atol(line.c_str() + paren + 1);
        bool letterSection = base.size() > 2 && base[base.size() - 2] == '-';
        if (letterSection != byLetter || lines <= best.lines) continue;
        best = {letterSection ? base.substr(0, base.size() - 2) : base,
                letterSection ? std::string(1, base.back()) : "_", lines};
    }
    return best;
}

void BeginCityByCountry(benchmark::State& state, bool byLetter) {
    ComPtr<IKWeatherService4> service = NewService(state);
    if (!service) return;
    Section section = Largest(byLetter);
    service->put_DatabasePath(Bstr(skyvane::FromUtf8(kData)));
    Bstr country(skyvane::FromAnsi(section.country, 1252)), letter(skyvane::FromAnsi(section.letter, 1252));
    for (auto _ : state) {
        if (service->BeginCityByCountry(country, letter) != S_OK) {
            state.SkipWithError("BeginCityByCountry failed");
            break;
        }
    }
    state.SetLabel(section.country + " " + section.letter + ", " + std::to_string(section.lines) + " lines");
}

void BM_Service_BeginCityByCountry_LargestLetterSection(benchmark::State& state) {
    BeginCityByCountry(state, true);
}
void BM_Service_BeginCityByCountry_LargestOneSectionCountry(benchmark::State& state) {
    BeginCityByCountry(state, false);
}

// Walks the records as the plugin does, reading each one's kind.
int WalkRecords(IUnknown* unknown) {
    ComPtr<IEnumUnknown> records;
    if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&records)))) return -1;
    int count = 0;
    for (ComPtr<IUnknown> item; records->Next(1, &item, nullptr) == S_OK; ++count) {
        ComPtr<IKWeatherInfo8> record;
        KWeatherType type = KWUnknown;
        if (FAILED(item.As(record)) || FAILED(record->get_Type(&type))) return -1;
        benchmark::DoNotOptimize(type);
    }
    return count;
}

ComPtr<IKWeatherService4> MoscowService(benchmark::State& state) {
    ComPtr<IKWeatherService4> service = NewService(state);
    if (service) {
        service->put_RequestDayCount(10);
        service->put_RequestCityCode(Bstr(u"RSXX0091"));
    }
    return service;
}

void BM_Weather_Full(benchmark::State& state) {
    ComPtr<IKWeatherService4> service = MoscowService(state);
    if (!service) return;
    int records = 0;
    for (auto _ : state) {
        ComPtr<IUnknown> list;
        if (service->get_Weather(&list) != S_OK) {
            state.SkipWithError("Weather failed");
            break;
        }
        records = WalkRecords(list.Get());
    }
    state.SetLabel(std::to_string(records) + " records");
}

void BM_Weather_Download(benchmark::State& state) {
    ComPtr<IKWeatherService4> service = MoscowService(state);
    if (!service) return;
    size_t size = 0;
    for (auto _ : state) {
        Bstr xml;
        if (service->get_WeatherAsXML(xml.Out()) != S_OK) {
            state.SkipWithError("WeatherAsXML failed");
            break;
        }
        size = xml.Length();
    }
    state.SetLabel(std::to_string(size) + " characters");
}

void BM_Weather_Reading(benchmark::State& state) {
    ComPtr<IKWeatherService4> service = MoscowService(state);
    if (!service) return;
    Bstr xml;
    if (service->get_WeatherAsXML(xml.Out()) != S_OK) {
        state.SkipWithError("WeatherAsXML failed");
        return;
    }
    int records = 0;
    for (auto _ : state) {
        ComPtr<IUnknown> document, list;
        if (service->get_WeatherAsDocument(xml, &document) != S_OK ||
            service->get_WeatherAsArray(document.Get(), &list) != S_OK) {
            state.SkipWithError("reading failed");
            break;
        }
        records = WalkRecords(list.Get());
    }
    state.SetLabel(std::to_string(records) + " records");
}

BENCHMARK(BM_Service_BeginCityByCountry_LargestLetterSection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Service_BeginCityByCountry_LargestOneSectionCountry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Weather_Full)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Weather_Download)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Weather_Reading)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    skyvane::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto* full = reporter.Find("BM_Weather_Full");
    const auto* download = reporter.Find("BM_Weather_Download");
    const auto* reading = reporter.Find("BM_Weather_Reading");
    if (full && download && reading) {
        std::printf("\nWeather by the wall clock: download %.2f ms + reading %.2f ms = %.2f ms; full call %.2f ms\n",
                    download->Real(), reading->Real(), download->Real() + reading->Real(),
                    full->Real());
    }
    benchmark::Shutdown();
    return 0;
}
