// Load document plus Build records of the realistic answer (79 records) in one
// run with three baselines: a plain pugixml parse of the same text (as UTF-8,
// and as the UTF-16 the reader receives), and the fair one, a pugixml parse
// of the UTF-8 text walked into plain records with the same fields and value
// readers but no DOM objects and no COM records. Prints the times and every
// ratio; the reader's aim is at most 1.5 against the fair baseline and at
// most 2 against the plain parse.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <malloc.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/median_reporter.h"
#include "bench/weather_plain_walk.h"
#include "platform/oleaut/bstr.h"
#include "platform/kernel/nls/text_conv.h"
#include "weather/weather_reader.h"

namespace {

const std::string& Utf8Text() {
    static const std::string text = [] {
        std::ifstream in(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/weather_moscow.xml", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }();
    return text;
}

// The text as the service hands it to the reader: a BSTR.
const skyvane::Bstr& WideText() {
    static const skyvane::Bstr text(skyvane::FromUtf8(Utf8Text()));
    return text;
}

void PlainPugixmlParse(benchmark::State& state) {
    const std::string& text = Utf8Text();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(result);
        if (!result) state.SkipWithError("pugixml refused the document");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// The same parse of the text as the reader receives it, UTF-16, with pugixml
// converting it itself.
void PlainPugixmlParseUtf16(benchmark::State& state) {
    const skyvane::Bstr& text = WideText();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_parse_result result =
            doc.load_buffer(text.get(), size_t(text.Length()) * sizeof(char16_t), pugi::parse_default,
                            pugi::encoding_utf16_le);
        benchmark::DoNotOptimize(result);
        if (!result) state.SkipWithError("pugixml refused the document");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Utf8Text().size()));
}

// The fair baseline: parse and walk into plain records.
void PlainPugixmlParseAndWalk(benchmark::State& state) {
    const std::string& text = Utf8Text();
    std::vector<skyvane::weather::WeatherFields> records;
    for (auto _ : state) {
        if (!skyvane::weather::bench::PlainRead(text, records)) {
            state.SkipWithError("pugixml refused the document");
            break;
        }
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["records"] = double(records.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void LoadAndBuildRecords(benchmark::State& state) {
    const skyvane::Bstr& text = WideText();
    ULONG count = 0;
    for (auto _ : state) {
        IXMLDOMDocument* doc = nullptr;
        IEnumUnknown* records = nullptr;
        if (FAILED(skyvane::weather::LoadWeatherDocument(text, &doc)) ||
            FAILED(skyvane::weather::BuildWeatherRecords(doc, &records))) {
            state.SkipWithError("the reader refused the document");
            break;
        }
        benchmark::DoNotOptimize(records);
        doc->Release();
        records->Release();
    }
    // One more, to report how many records each run made.
    IXMLDOMDocument* doc = nullptr;
    IEnumUnknown* records = nullptr;
    if (SUCCEEDED(skyvane::weather::LoadWeatherDocument(text, &doc)) &&
        SUCCEEDED(skyvane::weather::BuildWeatherRecords(doc, &records))) {
        IUnknown* item = nullptr;
        while (records->Next(1, &item, nullptr) == S_OK) {
            item->Release();
            ++count;
        }
        records->Release();
    }
    if (doc) doc->Release();
    state.counters["records"] = double(count);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Utf8Text().size()));
}

BENCHMARK(PlainPugixmlParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainPugixmlParseUtf16)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainPugixmlParseAndWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadAndBuildRecords)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // Neither side should pay for handing memory back to the system after
    // every run (glibc trims the heap top once a run frees its buffers, and the
    // next run faults the pages in again): keep the heap.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    // By default both benchmarks run as interleaved repetitions, so that a
    // busy machine weighs on both alike; the summary takes the medians.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=15";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char minTime[] = "--benchmark_min_time=0.2";
    if (argc == 1) args.insert(args.end(), {repetitions, interleave, minTime});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    skyvane::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto* plain = reporter.Find("PlainPugixmlParse");
    const auto* plain16 = reporter.Find("PlainPugixmlParseUtf16");
    const auto* fair = reporter.Find("PlainPugixmlParseAndWalk");
    const auto* reader = reporter.Find("LoadAndBuildRecords");
    if (plain && reader) {
        const double readerCpu = reader->Cpu(), readerReal = reader->Real();
        std::printf("\nmedians of %zu runs each\n", reader->cpu.size());
        std::printf("weather reader (Load document + Build records): %7.1f us CPU, %7.1f us wall\n", readerCpu,
                    readerReal);
        auto line = [&](const char* what, const skyvane::bench::MedianReporter::Times& t) {
            const double cpu = t.Cpu(), real = t.Real();
            std::printf("%-47s %7.1f us CPU, %7.1f us wall; ratio %.2f by CPU, %.2f by wall\n", what, cpu, real,
                        readerCpu / cpu, readerReal / real);
        };
        if (fair) line("pugixml parse and walk into plain records:", *fair);
        line("plain pugixml parse of the UTF-8 text:", *plain);
        if (plain16) line("plain pugixml parse of the UTF-16 text:", *plain16);
        std::printf("(aim: a ratio of at most 1.5 against the parse and walk, at most 2 against the plain parse)\n");
    }
    benchmark::Shutdown();
    return 0;
}
