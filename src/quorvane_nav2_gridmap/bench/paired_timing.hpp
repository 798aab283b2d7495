// Wall-clock timing of a subject beside its baseline, alternating in one loop so that both see the
// same machine load; only the ratio of the two is meaningful on a shared, noisy machine.
//
// Every figure that scripts/bench reports comes from a benchmark that calls runPaired(): it sets the
// counters "ours_ms", "baseline_ms" and "ratio" (minimum wall time per side over all iterations) and
// the label "figure=<name>", which scripts/bench reads from the JSON output. Register such a
// benchmark with ->UseManualTime(): the iteration time it records is the pair's wall time.

#ifndef QUORVANE_NAV2_GRIDMAP__BENCH__PAIRED_TIMING_HPP_
#define QUORVANE_NAV2_GRIDMAP__BENCH__PAIRED_TIMING_HPP_

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>

namespace quorvane_bench
{

// `prepare` runs untimed before every subject call: for a subject that needs a fresh state each
// time, such as a camera frame that has just arrived before a map update.
template<typename Prepare, typename Subject, typename Baseline>
void runPaired(
  benchmark::State & state, const std::string & figure, Prepare && prepare, Subject && subject,
  Baseline && baseline)
{
  using Clock = std::chrono::steady_clock;
  double best_ours = std::numeric_limits<double>::infinity();
  double best_baseline = std::numeric_limits<double>::infinity();
  const auto millisecondsOf = [](auto && work) {
      const auto start = Clock::now();
      work();
      return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
  for (auto _ : state) {
    prepare();
    const double ours = millisecondsOf(subject);
    const double base = millisecondsOf(baseline);
    best_ours = std::min(best_ours, ours);
    best_baseline = std::min(best_baseline, base);
    state.SetIterationTime((ours + base) / 1000.0);
  }
  state.counters["ours_ms"] = best_ours;
  state.counters["baseline_ms"] = best_baseline;
  state.counters["ratio"] = best_baseline > 0.0 ? best_ours / best_baseline : 0.0;
  state.SetLabel("figure=" + figure);
}

template<typename Subject, typename Baseline>
void runPaired(
  benchmark::State & state, const std::string & figure, Subject && subject, Baseline && baseline)
{
  runPaired(state, figure, [] {}, subject, baseline);
}

}  // namespace quorvane_bench

#endif  // QUORVANE_NAV2_GRIDMAP__BENCH__PAIRED_TIMING_HPP_
