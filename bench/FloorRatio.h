#pragma once

// Runs the benchmarks like Google Benchmark's own main, then prints each measured path's real time
// as a multiple of its floor's from the same run: the least the machine needs for the same work,
// measured beside it so that a loaded or slow machine moves both alike. With repetitions the
// medians are compared, otherwise the single figures.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace FloorRatio {

struct Pair
{
    std::string benchmark; // a family name, e.g. "BM_FadeFrameOpaque"
    std::string floor; // its floor's family; instances are matched by their arguments
};

class Reporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            Figures &figures = m_figures[key(run.run_name.function_name, run.run_name.args)];
            if (run.run_type == Run::RT_Iteration)
                figures.times.push_back(run.GetAdjustedRealTime());
            else if (run.aggregate_name == "median")
                figures.median = run.GetAdjustedRealTime();
        }
    }

    // The median of `family/args`, or a negative value when it did not run.
    double median(const std::string &family, const std::string &args) const
    {
        const auto found = m_figures.find(key(family, args));
        if (found == m_figures.end())
            return -1;
        if (found->second.median >= 0)
            return found->second.median;
        std::vector<double> times = found->second.times;
        if (times.empty())
            return -1;
        std::sort(times.begin(), times.end());
        const size_t middle = times.size() / 2;
        return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
    }

    // The argument lists measured for `family`, in the order they ran.
    std::vector<std::string> argumentsOf(const std::string &family) const
    {
        std::vector<std::string> arguments;
        for (const auto &[name, figures] : m_figures)
            if (name.first == family)
                arguments.push_back(name.second);
        return arguments;
    }

private:
    struct Figures
    {
        std::vector<double> times;
        double median = -1;
    };
    static std::pair<std::string, std::string> key(const std::string &family, const std::string &args)
    {
        return {family, args};
    }
    std::map<std::pair<std::string, std::string>, Figures> m_figures;
};

// Google Benchmark's main with the ratios printed after the figures. Returns the process's exit code.
// Unless the command line says otherwise, every benchmark runs five times with the runs of all of them
// shuffled together, so that a burst of load on a shared machine falls on a path and its floor alike.
inline int run(int argc, char **argv, const std::vector<Pair> &pairs)
{
    std::vector<char *> arguments {argv[0]};
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    arguments.push_back(repetitions);
    arguments.push_back(interleaving);
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    arguments.push_back(nullptr);
    argc = int(arguments.size()) - 1;
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    bool printedHeading = false;
    for (const Pair &pair : pairs) {
        for (const std::string &args : reporter.argumentsOf(pair.benchmark)) {
            const double measured = reporter.median(pair.benchmark, args);
            const double floor = reporter.median(pair.floor, args);
            if (measured < 0 || floor <= 0)
                continue;
            if (!printedHeading) {
                std::printf("\n%-48s %12s %12s %8s\n", "ratio to the floor (medians, real time)", "measured",
                            "floor", "ratio");
                printedHeading = true;
            }
            const std::string name = args.empty() ? pair.benchmark : pair.benchmark + "/" + args;
            std::printf("%-48s %12.3f %12.3f %7.2fx\n", name.c_str(), measured, floor, measured / floor);
        }
    }
    std::fflush(stdout);
    return 0;
}

} // namespace FloorRatio
