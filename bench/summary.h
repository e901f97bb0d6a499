#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Console output as usual, plus one markdown table at the end: a row per case
// and a column per variant, from benchmarks named "case/variant". Each cell is
// the median over the repetitions (or the single run), in nanoseconds: the
// counter `perItem` when the benchmark sets it (seconds per item), else the
// CPU time per iteration. CPU time, not wall time: the machine is shared, and a
// benchmark that waits for a core should not look slower for it.
class SummaryReporter final : public benchmark::ConsoleReporter
{
public:
    explicit SummaryReporter(std::string perItem)
        : perItemCounter(std::move(perItem))
    {}

    void ReportRuns(const std::vector<Run> &runs) override;

    // ns of one cell, or a negative value when it was not run.
    double nanoseconds(const std::string &row, const std::string &column) const;
    const std::vector<std::string> &rows() const { return rowOrder; }

private:
    std::string perItemCounter;
    std::vector<std::string> rowOrder;
    std::map<std::string, std::map<std::string, double>> cells;
    std::map<std::string, std::map<std::string, bool>> fromMedian;
};

// Runs the benchmarks selected on the command line and returns the reporter's
// collected results.
void runBenchmarks(SummaryReporter &reporter, int argc, char **argv);

// "12.3" style text of a number with a sensible number of digits.
std::string formatNumber(double v);

// For the benchmarks that run one function over a list of scenes: registers
// fn(state, scene) as "<scene name>/<variant>" for each, runs what the command
// line selects, and prints a table of the milliseconds of CPU per run, headed
// `title`.
template<typename Scene, std::size_t N, typename Fn>
void runScenes(int argc, char **argv, const Scene (&scenes)[N], const char *variant, Fn fn,
               const char *title)
{
    for (const Scene &s : scenes)
        benchmark::RegisterBenchmark((std::string(s.name) + "/" + variant).c_str(), fn, s)
            ->Unit(benchmark::kMillisecond);
    SummaryReporter reporter("");
    runBenchmarks(reporter, argc, argv);
    std::printf("\n| scene | %s |\n|---|---:|\n", title);
    for (const Scene &s : scenes)
        std::printf("| %s | %s |\n", s.name,
                    formatNumber(reporter.nanoseconds(s.name, variant) / 1e6).c_str());
}
