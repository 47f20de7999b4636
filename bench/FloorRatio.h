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

// A family and its floor's family, whose instances are matched by their arguments ("BM_Frame" and
// "BM_Floor"), or two instances named with their arguments ("BM_Create/1000" and "BM_Create/8").
// With a counter named, that counter's medians are compared instead of the real times.
struct Pair
{
    std::string benchmark;
    std::string floor;
    std::string counter = {};
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
            if (run.run_type == Run::RT_Iteration) {
                figures.times.push_back(run.GetAdjustedRealTime());
                for (const auto &[name, counter] : run.counters)
                    figures.counters[name].push_back(counter.value);
            } else if (run.aggregate_name == "median") {
                figures.median = run.GetAdjustedRealTime();
            }
        }
    }

    // The median real time of `family/args`, or of its counter when one is named; a negative value
    // when it did not run.
    double median(const std::string &family, const std::string &args, const std::string &counter = {}) const
    {
        const auto found = m_figures.find(key(family, args));
        if (found == m_figures.end())
            return -1;
        if (!counter.empty()) {
            const auto values = found->second.counters.find(counter);
            return values == found->second.counters.end() ? -1 : middleOf(values->second);
        }
        if (found->second.median >= 0)
            return found->second.median;
        return middleOf(found->second.times);
    }

    // The argument lists measured for `family`, in name order.
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
        std::map<std::string, std::vector<double>> counters;
        double median = -1;
    };
    static double middleOf(std::vector<double> values)
    {
        if (values.empty())
            return -1;
        std::sort(values.begin(), values.end());
        const size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }
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
    const auto split = [](const std::string &name) {
        const size_t slash = name.find('/');
        return slash == std::string::npos ? std::pair {name, std::string()}
                                          : std::pair {name.substr(0, slash), name.substr(slash + 1)};
    };
    for (const Pair &pair : pairs) {
        const auto [family, instance] = split(pair.benchmark);
        const auto [floorFamily, floorInstance] = split(pair.floor);
        const std::vector<std::string> measuredArguments =
            instance.empty() ? reporter.argumentsOf(family) : std::vector<std::string> {instance};
        for (const std::string &args : measuredArguments) {
            const double measured = reporter.median(family, args, pair.counter);
            const double floor =
                reporter.median(floorFamily, floorInstance.empty() ? args : floorInstance, pair.counter);
            if (measured < 0 || floor <= 0)
                continue;
            if (!printedHeading) {
                std::printf("\n%-48s %12s %12s %8s\n", "ratio to the floor (medians; real time or [counter])",
                            "measured", "floor", "ratio");
                printedHeading = true;
            }
            std::string name = args.empty() ? family : family + "/" + args;
            if (!pair.counter.empty())
                name += " [" + pair.counter + "]";
            std::printf("%-48s %12.3f %12.3f %7.2fx\n", name.c_str(), measured, floor, measured / floor);
        }
    }
    std::fflush(stdout);
    return 0;
}

} // namespace FloorRatio
