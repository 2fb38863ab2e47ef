// The cost of the plugin's registry poll: every process reads ~200 REG_DWORD
// change stamps once a second through one open key.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace {

constexpr int kValues = 200;
constexpr const char16_t* kKeyPath = u"Software\\Skyvane\\Weather";

std::vector<std::u16string>& Names() {
    static std::vector<std::u16string> names;
    return names;
}

// A device of its own with the settings key holding 200 per-city stamps.
bool Prepare(std::string* root) {
    std::string templ = (std::filesystem::temp_directory_path() / "skyvane-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return false;
    *root = templ;
    setenv("SKYVANE_ROOT", root->c_str(), 1);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    for (int i = 0; i < kValues; ++i) {
        std::string name = "CityUpdateTime_RSXX" + std::to_string(1000 + i);
        Names().emplace_back(name.begin(), name.end());
        DWORD stamp = DWORD(123456 + i);
        if (RegSetValueExW(key, Names().back().c_str(), 0, REG_DWORD, (const BYTE*)&stamp, 4) != ERROR_SUCCESS)
            return false;
    }
    RegCloseKey(key);
    return true;
}

DWORD ReadStamp(HKEY key, const std::u16string& name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, (BYTE*)&value, &size) != ERROR_SUCCESS) std::abort();
    return value;
}

void BM_ReadDwordByOpenKey(benchmark::State& state) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadStamp(key, Names()[i]));
        i = (i + 1) % kValues;
    }
    RegCloseKey(key);
}
BENCHMARK(BM_ReadDwordByOpenKey);

void BM_Poll200ByOpenKey(benchmark::State& state) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key);
    for (auto _ : state) {
        DWORD sum = 0;
        for (const auto& name : Names()) sum += ReadStamp(key, name);
        benchmark::DoNotOptimize(sum);
    }
    RegCloseKey(key);
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_Poll200ByOpenKey)->Unit(benchmark::kMicrosecond);

void BM_Poll200WithFreshOpen(benchmark::State& state) {
    for (auto _ : state) {
        DWORD sum = 0;
        for (const auto& name : Names()) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) std::abort();
            sum += ReadStamp(key, name);
            RegCloseKey(key);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_Poll200WithFreshOpen)->Unit(benchmark::kMicrosecond);

// The poll in a second in which something changed: every value is read from
// the database again (one stamp written, then the 200 reads).
void BM_Poll200AfterAChange(benchmark::State& state) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ | KEY_WRITE, &key);
    DWORD stamp = 0;
    for (auto _ : state) {
        ++stamp;
        RegSetValueExW(key, u"CityListTime", 0, REG_DWORD, (const BYTE*)&stamp, 4);
        DWORD sum = 0;
        for (const auto& name : Names()) sum += ReadStamp(key, name);
        benchmark::DoNotOptimize(sum);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_Poll200AfterAChange)->Unit(benchmark::kMicrosecond);

// For scale: one change stamp written (one write transaction).
void BM_WriteDword(benchmark::State& state) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_WRITE, &key);
    DWORD stamp = 0;
    for (auto _ : state) {
        ++stamp;
        if (RegSetValueExW(key, u"LastOptionTime", 0, REG_DWORD, (const BYTE*)&stamp, 4) != ERROR_SUCCESS)
            std::abort();
    }
    RegCloseKey(key);
}
BENCHMARK(BM_WriteDword)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string root;
    if (!Prepare(&root)) {
        std::fprintf(stderr, "registry_bench: cannot prepare the registry in %s\n", root.c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
