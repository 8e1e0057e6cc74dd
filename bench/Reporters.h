#pragma once

// What the benchmark programs share: reporters that keep the figures a program compares at its
// end, and a private home for programs that touch settings and documents.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

/// Keeps each benchmark's real and CPU seconds per iteration, to print ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            m_seconds[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)]
                = { run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit };
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const char* what, const std::string& measured, const std::string& baseline)
    {
        if (!m_seconds.count(measured) || !m_seconds.count(baseline))
            return;
        auto [realA, cpuA] = m_seconds[measured];
        auto [realB, cpuB] = m_seconds[baseline];
        std::printf("%-44s real %8.3f / %8.3f ms = %5.2fx   cpu %8.3f / %8.3f ms = %5.2fx\n", what, realA * 1e3, realB * 1e3,
            realA / realB, cpuA * 1e3, cpuB * 1e3, cpuA / cpuB);
    }
    double realMilliseconds(const std::string& name) { return m_seconds.count(name) ? m_seconds[name].first * 1e3 : 0; }

private:
    std::map<std::string, std::pair<double, double>> m_seconds;
};

/// Keeps the median of each benchmark's repetitions (in its time unit) to print the ratio at
/// the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    /// 0 for a benchmark that did not run.
    double median(const std::string& name) const { return m_medians.count(name) ? m_medians.at(name) : 0; }

private:
    std::map<std::string, double> m_medians;
};

/// Points HOME and the XDG directories at a fresh temporary directory, so that a benchmark
/// never touches the user's settings or memos, and the resources at the build's own unless
/// PARLIVO_RESOURCES says otherwise. Returns the directory, or nothing when it could not be
/// made.
inline std::optional<std::string> useTemporaryHome()
{
    std::string root = (std::filesystem::temp_directory_path() / "parlivo-bench-XXXXXX").string();
    if (!mkdtemp(root.data()))
        return std::nullopt;
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    if (!std::getenv("PARLIVO_RESOURCES")) {
        auto resources = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "resources";
        setenv("PARLIVO_RESOURCES", resources.c_str(), 1);
    }
    return root;
}

} // namespace bench
