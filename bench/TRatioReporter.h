#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Console reporter that also keeps the mean time per iteration of each benchmark, so a
// benchmark program can print the ratios its goals are stated in.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (run.iterations > 0)
                Seconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations;
        ConsoleReporter::ReportRuns(runs);
    }

    // Mean seconds of the first benchmark whose name starts with prefix; 0 when none ran.
    double Time(const std::string& prefix) const {
        for (const auto& [name, seconds] : Seconds)
            if (name.rfind(prefix, 0) == 0)
                return seconds;
        return 0.0;
    }

    std::map<std::string, double> Seconds;
};
