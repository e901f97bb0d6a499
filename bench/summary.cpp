#include "summary.h"

#include <cstdio>

void SummaryReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.error_occurred)
            continue;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type == Run::RT_Aggregate && !median)
            continue;
        const std::string name = run.run_name.function_name;
        const std::size_t slash = name.find('/');
        const std::string row = name.substr(0, slash);
        const std::string column =
            slash == std::string::npos ? std::string() : name.substr(slash + 1);
        // A median, once there, wins over the single repetitions.
        if (fromMedian[row][column] && !median)
            continue;
        double ns;
        const auto counter = run.counters.find(perItemCounter);
        if (counter != run.counters.end())
            ns = counter->second.value * 1e9;
        else
            ns = run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        if (cells.find(row) == cells.end())
            rowOrder.push_back(row);
        cells[row][column] = ns;
        fromMedian[row][column] = median;
    }
}

double SummaryReporter::nanoseconds(const std::string &row, const std::string &column) const
{
    const auto r = cells.find(row);
    if (r == cells.end())
        return -1;
    const auto c = r->second.find(column);
    return c == r->second.end() ? -1 : c->second;
}

void runBenchmarks(SummaryReporter &reporter, int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}

std::string formatNumber(double v)
{
    char text[32];
    if (v < 0)
        return "-";
    std::snprintf(text, sizeof text, v >= 100 ? "%.0f" : v >= 10 ? "%.1f" : "%.2f", v);
    return text;
}
