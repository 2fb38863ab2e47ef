// The console reporter of the benchmarks that print a summary after their
// runs: it keeps the time per iteration of every repetition, CPU and wall, so
// that the summary can compare medians.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace skyvane::bench {

class MedianReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        std::vector<double> cpu, real;
        double Cpu() const { return Median(cpu); }
        double Real() const { return Median(real); }
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            Times& t = times_[run.run_name.function_name];
            t.cpu.push_back(run.GetAdjustedCPUTime());
            t.real.push_back(run.GetAdjustedRealTime());
        }
    }
    // The times of one benchmark function; NULL when it did not run.
    const Times* Find(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? nullptr : &it->second;
    }

private:
    static double Median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

    std::map<std::string, Times> times_;
};

}  // namespace skyvane::bench
