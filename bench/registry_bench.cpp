// The cost of the plugin's registry poll: every process reads ~200 REG_DWORD
// change stamps once a second through one open key.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/device_root.h"
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
    skyvane::SetDeviceRoot(*root);
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

// How a read learns that another process changed the database, once per
// value read: SQLite's data version (what the registry asks), against reading
// the WAL index header from the -shm file (what it did before, relying on
// SQLite's file format).
std::string g_root;

void BM_ChangeCheckDataVersion(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_open_v2((g_root + "/registry.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &s, nullptr) != SQLITE_OK)
        std::abort();
    for (auto _ : state) {
        if (sqlite3_step(s) != SQLITE_ROW) std::abort();
        benchmark::DoNotOptimize(sqlite3_column_int64(s, 0));
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
}
BENCHMARK(BM_ChangeCheckDataVersion);

void BM_ChangeCheckWalIndexHeader(benchmark::State& state) {
    int fd = open((g_root + "/registry.db-shm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    unsigned char both[96];
    for (auto _ : state) {
        if (pread(fd, both, sizeof both, 0) != ssize_t(sizeof both)) std::abort();
        benchmark::DoNotOptimize(std::memcmp(both, both + 48, 48));
    }
    close(fd);
}
BENCHMARK(BM_ChangeCheckWalIndexHeader);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string& root = g_root;
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
