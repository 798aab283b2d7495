// A large site's map directory in a temporary directory: one map, "site", a 200 m square at 5 cm
// whose zone file holds 30,000 narrow-corridor and priority-passage zones in block style (some
// 7 MB), and an empty map, "bare", without zones. The history file names "site" unless told
// otherwise; everything is removed with the object.

#ifndef QUORVANE_NAV2_GRIDMAP__BENCH__LARGE_SITE_HPP_
#define QUORVANE_NAV2_GRIDMAP__BENCH__LARGE_SITE_HPP_

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"

namespace quorvane_bench
{

class LargeSite
{
public:
  static constexpr int kZones = 30000;
  static constexpr int kImagePixels = 4000;
  static constexpr double kResolution = 0.05;

  LargeSite()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench_site_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    writeMap("site", true);
    writeMap("bare", false);
    select("site");
  }
  ~LargeSite() {std::filesystem::remove_all(path_);}
  LargeSite(const LargeSite &) = delete;
  LargeSite & operator=(const LargeSite &) = delete;

  const std::filesystem::path & path() const {return path_;}
  std::filesystem::path zoneFile() const {return path_ / "site" / "mark.yaml";}

  // Names the map the next load reads.
  void select(const std::string & map_id) const
  {
    std::ofstream(path_ / "history.map") << map_id << "\n";
  }

  // Both kinds in one load, as the obstacle-type plugin asks for them.
  std::vector<plane_object::Zones> loadZones() const
  {
    return plane_object::PlaneObjectFactory(
      path_, "history.map", "map.yaml", "mark.yaml",
      {static_cast<std::uint32_t>(plane_object::MarkType::NARROW_CORRIDOR),
        static_cast<std::uint32_t>(plane_object::MarkType::PRIORITY_PASSAGE)});
  }

private:
  // Zone i: a polygon of four to six vertices, or every fourth a list of three discs, of either
  // kind, a few metres across and scattered over the site.
  static std::string zone(int i)
  {
    const double x = 50.5 + i * 37 % (kImagePixels - 150);
    const double y = 50.5 + i * 53 % (kImagePixels - 150);
    const auto point = [](double px, double py) {
        return fmt::format("      - x: {}\n        y: {}\n", px, py);
      };
    std::string zone = fmt::format(
      "  - type: {}\n    id: {}\n", i % 2 == 0 ? "narrow corridor" : "priority passage",
      100000 + i);
    if (i % 4 == 3) {
      return zone + "    desctype: circle\n    radius: 8\n    points:\n" + point(x, y) +
             point(x + 12, y + 4) + point(x + 24, y + 8);
    }
    zone += "    desctype: block\n    rectangle:\n" + point(x, y) + point(x + 60, y) +
      point(x + 60, y + 24);
    if (i % 4 > 0) {
      zone += point(x + 40, y + 30);
    }
    if (i % 4 > 1) {
      zone += point(x + 20, y + 30);
    }
    return zone + point(x, y + 24);
  }

  void writeMap(const std::string & map_id, bool with_zones) const
  {
    std::filesystem::create_directories(path_ / map_id);
    std::ofstream(path_ / map_id / "map.yaml")
      << "image: map.pgm\nresolution: " << kResolution << "\norigin: [0.0, 0.0, 0.0]\n"
      << "negate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n";
    std::ofstream(path_ / map_id / "map.pgm")
      << "P5\n" << kImagePixels << " " << kImagePixels << "\n255\n";
    std::ofstream zones(path_ / map_id / "mark.yaml");
    zones << (with_zones ? "editlayout:\n" : "editlayout: []\n");
    for (int i = 0; with_zones && i < kZones; ++i) {
      zones << zone(i);
    }
  }

  std::filesystem::path path_;
};

}  // namespace quorvane_bench

#endif  // QUORVANE_NAV2_GRIDMAP__BENCH__LARGE_SITE_HPP_
