// Downloads from nginx on loopback with HttpClient (navigate, then the inflate
// the XML download applies to a gzip body) and with libcurl (decoding gzip
// itself),
// alternating the two in every iteration so that both see the same machine
// state. Like for like: each download sets its client up and tears it down
// inside the timing (the XML download makes a new HttpClient every time, so
// libcurl gets a new easy handle every time) and opens a new connection.
// Each benchmark reports the median time of both and their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/document_body.h"
#include "net/inflate.h"
#include "net/http_client.h"
#include "platform/base/wide_string.h"
#include "servers/processes.h"

namespace {

using Clock = std::chrono::steady_clock;

skyvane::test::NginxServer* Server() {
    static std::unique_ptr<skyvane::test::NginxServer> server = [] {
        std::string error;
        auto s = skyvane::test::NginxServer::Start(&error);
        if (!s) {
            std::fprintf(stderr, "nginx could not be started: %s\n", error.c_str());
            std::exit(1);
        }
        // A weather-like text that gzip packs to about 1 MiB.
        std::mt19937 rng(7);
        std::string big = "<weather>\n";
        while (skyvane::test::GzipBytes(big).size() < (1u << 20)) {
            for (int i = 0; i < 20000; ++i)
                big += "<hour h=\"" + std::to_string(rng() % 48) + "\" t=\"" + std::to_string(rng() % 61 - 30) +
                       "\" w=\"" + std::to_string(rng() % 100) + "\">partly cloudy</hour>\n";
        }
        big += "</weather>\n";
        s->AddDocument("big.xml", big, true);
        std::string small = "<weather>\n";
        while (small.size() < 40 * 1024 - 20) small += "<day d=\"1\">mostly sunny</day>\n";
        small.resize(40 * 1024 - 11);
        small += "</weather>\n";
        s->AddDocument("small.xml", small);
        return s;
    }();
    return server.get();
}

size_t OurDownload(const std::string& url, bool gzip) {
    using namespace skyvane::net;
    HttpClient client;
    NavigateRequest request;
    request.timeout = 60000;
    if (!client.Navigate(skyvane::W(url), &request).ok()) return 0;
    const HttpResponse& response = client.Response();
    if (!gzip) return response.bodyLength;
    InflateResult inflated = Inflate(response.Body(), InflateFormat::Gzip, response.buffer.size() * kInflateGrowth,
                                     kInflateAttempts, kMaxDocumentBytes);
    return inflated.status == InflateStatus::Ok ? inflated.output().size() : 0;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

size_t CurlDownload(const std::string& url) {
    CURL* curl = curl_easy_init();
    if (!curl) return 0;
    std::string out;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &out);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    // A new connection every time, as every download of ours makes one.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    const bool ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_cleanup(curl);
    return ok ? out.size() : 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Compare(benchmark::State& state, const std::string& path, bool gzip) {
    const std::string url = "http://127.0.0.1:" + std::to_string(Server()->port()) + path;
    std::vector<double> ours, theirs;
    const size_t expected = CurlDownload(url);
    for (auto _ : state) {
        auto t0 = Clock::now();
        size_t a = OurDownload(url, gzip);
        auto t1 = Clock::now();
        size_t b = CurlDownload(url);
        auto t2 = Clock::now();
        if (expected == 0 || a != expected || b != expected) {
            state.SkipWithError("download failed or differs");
            break;
        }
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        theirs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    const double m1 = Median(ours), m2 = Median(theirs);
    state.counters["httpclient_ms"] = m1;
    state.counters["curl_ms"] = m2;
    state.counters["ratio"] = m2 > 0 ? m1 / m2 : 0;
    state.counters["bytes"] = static_cast<double>(expected);
    std::fprintf(stderr, "%s: HttpClient %.3f ms, libcurl %.3f ms, ratio %.2f (medians of %zu)\n", path.c_str(), m1,
                 m2, m2 > 0 ? m1 / m2 : 0.0, ours.size());
}

void BM_Gzip1MiB(benchmark::State& state) { Compare(state, "/gz/big.xml", true); }
void BM_Plain40KiB(benchmark::State& state) { Compare(state, "/small.xml", false); }

BENCHMARK(BM_Gzip1MiB)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Plain40KiB)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
