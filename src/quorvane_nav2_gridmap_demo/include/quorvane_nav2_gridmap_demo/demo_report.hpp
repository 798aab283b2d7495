#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_REPORT_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_REPORT_HPP_

// The host's report: what it asked the grid maps and what they answered, in full and as a
// one-line summary per step.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

namespace quorvane_nav2_gridmap_demo
{

struct NamedPoint
{
  std::string name;
  double x;
  double y;
};

// Cells of every obstacle category and zone bit, as getObstacleType reports them.
struct CategoryCounts
{
  std::size_t peril{0};
  std::size_t category_300{0};
  std::size_t category_103{0};
  std::size_t category_105{0};
  std::size_t narrow_passage{0};
  std::size_t priority_passage{0};
};

// The zones as the passage queries see them.
struct ZoneSummary
{
  std::size_t narrow_cells{0};
  std::size_t priority_cells{0};
  bool has_priority_passage{false};
  float widest_priority_boundary_cells{0.0F};
  std::vector<bool> narrow_at_point;
  std::vector<bool> priority_at_point;
};

CategoryCounts countCategories(const quorvane_nav2_gridmap::MultiGridMap & maps);
ZoneSummary summariseZones(
  quorvane_nav2_gridmap::MultiGridMap & maps, const std::vector<NamedPoint> & points);

void printPlugins(std::ostream & out, const std::vector<std::string> & plugins);
void printPluginSummary(std::ostream & out, const std::vector<std::string> & plugins);
void printUpdateSummary(
  std::ostream & out, const std::string & map_id, const quorvane_nav2_gridmap::MultiGridMap & maps,
  const std::vector<double> & update_ms, std::size_t camera_frames, const CategoryCounts & counts);
void printZoneChangeSummary(
  std::ostream & out, const std::string & after_map, const ZoneSummary & before,
  const ZoneSummary & after);
void printUpdateTimes(std::ostream & out, const std::vector<double> & update_ms);
void printCategoryCounts(std::ostream & out, const CategoryCounts & counts);
void printZones(std::ostream & out, const ZoneSummary & zones);
void printNamedPoints(
  std::ostream & out, quorvane_nav2_gridmap::MultiGridMap & maps,
  const std::vector<NamedPoint> & points);
void printZoneChange(
  std::ostream & out, const std::string & before_map, const ZoneSummary & before,
  const std::string & after_map, const ZoneSummary & after, const std::vector<NamedPoint> & points);

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_REPORT_HPP_
