// A large site's zone file, 30,000 narrow-corridor and priority-passage zones (some 7 MB):
// - loaded as the zone factory loads it, against yaml-cpp parsing the same file once;
// - reloaded by the obstacle-type plugin in the update after load_map, against that parse;
// - the memory that reload takes at its peak, against the file's size.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <yaml-cpp/yaml.h>

#include "rclcpp/rclcpp.hpp"

#include "large_site.hpp"
#include "obstacle_type_host.hpp"
#include "paired_timing.hpp"

namespace
{

using quorvane_bench::LargeSite;
using quorvane_bench::ObstacleTypeHost;

// A 100 m square window in the site's middle.
constexpr double kWindowOrigin = 50.0;

void zoneFileLoad(benchmark::State & state)
{
  const LargeSite site;
  const auto zones = site.loadZones();
  if (zones.size() != 2 || zones[0].size() + zones[1].size() != LargeSite::kZones) {
    state.SkipWithError("the site's zone file did not load every zone");
    return;
  }
  state.counters["file_mb"] =
    static_cast<double>(std::filesystem::file_size(site.zoneFile())) / 1e6;
  quorvane_bench::runPaired(
    state, "zone_file_load_30k",
    [&site]() {benchmark::DoNotOptimize(site.loadZones());},
    [&site]() {benchmark::DoNotOptimize(YAML::LoadFile(site.zoneFile().string()));});
}

void zoneReloadUpdate(benchmark::State & state)
{
  const LargeSite site;
  ObstacleTypeHost reloading(
    "bench_zone_reload", site.path().string(), kWindowOrigin, kWindowOrigin);
  reloading.update();
  if (!reloading.plugin().hasPriorityPassage()) {
    state.SkipWithError("the site's zones put no priority passage into the window");
    return;
  }
  quorvane_bench::runPaired(
    state, "zone_reload_update_30k",
    [&reloading]() {reloading.plugin().callbackOnMapChange("");},
    [&reloading]() {reloading.update();},
    [&site]() {benchmark::DoNotOptimize(YAML::LoadFile(site.zoneFile().string()));});
}

// One field of /proc/self/status, in kB.
std::optional<double> statusKb(const std::string & field)
{
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stod(line.substr(field.size() + 1));
    }
  }
  return std::nullopt;
}

// Starts the peak resident size afresh from the present one (Linux 4.0 and later).
bool resetPeakResidentSize()
{
  std::ofstream clear_refs("/proc/self/clear_refs");
  clear_refs << "5";
  clear_refs.flush();
  return static_cast<bool>(clear_refs);
}

// The resident memory a reload adds at its peak, from a plugin holding no zones to one holding
// the site's: the parse, the zones and what the update keeps of them, freed memory given back
// to the system before it starts.
void zoneReloadMemory(benchmark::State & state)
{
  const LargeSite site;
  const double file_mb = static_cast<double>(std::filesystem::file_size(site.zoneFile())) / 1e6;
  double peak_mb = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    site.select("bare");
    std::optional<ObstacleTypeHost> host;
    host.emplace("bench_zone_memory", site.path().string(), kWindowOrigin, kWindowOrigin);
    host->update();
    site.select("site");
    host->plugin().callbackOnMapChange("");
    ::malloc_trim(0);
    const std::optional<double> before_kb = statusKb("VmRSS");
    if (!resetPeakResidentSize() || !before_kb) {
      state.SkipWithError("the peak resident size can not be reset or read here");
      return;
    }
    state.ResumeTiming();
    host->update();
    state.PauseTiming();
    const std::optional<double> peak_kb = statusKb("VmHWM");
    if (!peak_kb || !host->plugin().hasPriorityPassage()) {
      state.SkipWithError("the reload did not take place");
      return;
    }
    peak_mb = std::max(peak_mb, (*peak_kb - *before_kb) * 1024.0 / 1e6);
    host.reset();
    state.ResumeTiming();
  }
  state.counters["ours_mb"] = peak_mb;
  state.counters["baseline_mb"] = file_mb;
  state.counters["ratio"] = peak_mb / file_mb;
  state.SetLabel("figure=zone_reload_memory_30k");
}

// Each pair takes two seconds or more: a few pairs give a steady minimum.
BENCHMARK(zoneFileLoad)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(zoneReloadUpdate)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(zoneReloadMemory)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  // Every zone of a load is logged: 30,000 lines a load, some 1 % of its time here, and tens of
  // megabytes of console for the whole run.
  setenv("SPDLOG_STDOUT", "false", 0);
  rclcpp::init(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rclcpp::shutdown();
  return 0;
}
