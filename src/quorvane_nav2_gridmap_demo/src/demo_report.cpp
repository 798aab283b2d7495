#include "quorvane_nav2_gridmap_demo/demo_report.hpp"

#include <algorithm>
#include <iomanip>
#include <numeric>
#include <sstream>

#include "quorvane_nav2_gridmap_demo/obstacle_bits.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

// Wide enough for the longest named point with its coordinates.
constexpr int kPointColumn = 34;

const char * yesNo(bool value)
{
  return value ? "yes" : "no";
}

template<typename Visit>
void forEachCell(const quorvane_nav2_gridmap::MultiGridMap & maps, Visit && visit)
{
  const unsigned int size_x = maps.costmap_->getSizeInCellsX();
  const unsigned int size_y = maps.costmap_->getSizeInCellsY();
  for (unsigned int my = 0; my < size_y; ++my) {
    for (unsigned int mx = 0; mx < size_x; ++mx) {
      visit(mx, my);
    }
  }
}

std::string bitNames(const quorvane_nav2_gridmap::ObsTypeBitMap & bits)
{
  static const std::vector<std::pair<unsigned int, const char *>> names{
    {kBitPeril, "peril"}, {kBitCategory300, "300"}, {kBitCategory103, "103"},
    {kBitNarrowPassage, "narrow"}, {kBitCategory105, "105"}, {kBitPriorityPassage, "priority"}};
  std::ostringstream text;
  text << "0x" << std::hex << std::setw(3) << std::setfill('0') << bits.bits_ << std::dec;
  const char * separator = " [";
  for (const auto & [bit, name] : names) {
    if (bits.any(bit)) {
      text << separator << name;
      separator = ", ";
    }
  }
  if (bits.any()) {
    text << "]";
  }
  return text.str();
}

double meanOf(const std::vector<double> & values)
{
  return values.empty() ? 0.0 :
         std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

std::string cellText(const NamedPoint & point)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2) << point.name << " (" << point.x << ", " << point.y
       << ")";
  return text.str();
}

}  // namespace

CategoryCounts countCategories(const quorvane_nav2_gridmap::MultiGridMap & maps)
{
  CategoryCounts counts;
  forEachCell(
    maps, [&](unsigned int mx, unsigned int my) {
      quorvane_nav2_gridmap::ObsTypeBitMap bits;
      bits.reset();
      maps.getObstacleType(mx, my, bits);
      counts.peril += bits.any(kBitPeril) ? 1 : 0;
      counts.category_300 += bits.any(kBitCategory300) ? 1 : 0;
      counts.category_103 += bits.any(kBitCategory103) ? 1 : 0;
      counts.category_105 += bits.any(kBitCategory105) ? 1 : 0;
      counts.narrow_passage += bits.any(kBitNarrowPassage) ? 1 : 0;
      counts.priority_passage += bits.any(kBitPriorityPassage) ? 1 : 0;
    });
  return counts;
}

ZoneSummary summariseZones(
  quorvane_nav2_gridmap::MultiGridMap & maps, const std::vector<NamedPoint> & points)
{
  ZoneSummary zones;
  zones.has_priority_passage = maps.hasPriorityPassage();
  forEachCell(
    maps, [&](unsigned int mx, unsigned int my) {
      zones.narrow_cells += maps.inNarrowPassage(mx, my, 0) ? 1 : 0;
      zones.priority_cells += maps.inPriorityPassage(mx, my, 0) ? 1 : 0;
      zones.widest_priority_boundary_cells = std::max(
        zones.widest_priority_boundary_cells, maps.getPriorityPassageBoundaryDist(mx, my));
    });
  for (const auto & point : points) {
    unsigned int mx = 0;
    unsigned int my = 0;
    const bool on_map = maps.costmap_->worldToMap(point.x, point.y, mx, my);
    zones.narrow_at_point.push_back(on_map && maps.inNarrowPassage(mx, my, 0));
    zones.priority_at_point.push_back(on_map && maps.inPriorityPassage(mx, my, 0));
  }
  return zones;
}

void printPlugins(std::ostream & out, const std::vector<std::string> & plugins)
{
  out << "Plugins loaded:\n";
  for (const auto & plugin : plugins) {
    out << "  " << plugin << "\n";
  }
}

void printPluginSummary(std::ostream & out, const std::vector<std::string> & plugins)
{
  out << "Plugins:";
  const char * separator = " ";
  for (const auto & plugin : plugins) {
    out << separator << plugin;
    separator = ", ";
  }
  out << "\n";
}

void printUpdateSummary(
  std::ostream & out, const std::string & map_id, const quorvane_nav2_gridmap::MultiGridMap & maps,
  const std::vector<double> & update_ms, std::size_t camera_frames, const CategoryCounts & counts)
{
  out << std::fixed << std::setprecision(2) << map_id << ": "
      << maps.costmap_->getSizeInCellsX() << " x " << maps.costmap_->getSizeInCellsY()
      << " cells at " << maps.costmap_->getResolution() << " m; " << update_ms.size()
      << " updates (mean " << meanOf(update_ms) << " ms) with " << camera_frames
      << " camera frames; cells seen: 103 person " << counts.category_103 << ", 300 box "
      << counts.category_300 << ", 105 spill " << counts.category_105 << "\n";
}

void printZoneChangeSummary(
  std::ostream & out, const std::string & after_map, const ZoneSummary & before,
  const ZoneSummary & after)
{
  out << "After load_map of " << after_map << ": narrow corridor cells " << before.narrow_cells
      << " -> " << after.narrow_cells << ", priority passage cells " << before.priority_cells
      << " -> " << after.priority_cells << "\n";
}

void printUpdateTimes(std::ostream & out, const std::vector<double> & update_ms)
{
  if (update_ms.empty()) {
    out << "Updates: none\n";
    return;
  }
  const auto [fastest, slowest] = std::minmax_element(update_ms.begin(), update_ms.end());
  out << std::fixed << std::setprecision(2) << "Updates: " << update_ms.size()
      << " x MultiGridMap::updateMap, mean " << meanOf(update_ms)
      << " ms, min " << *fastest << " ms, max " << *slowest << " ms\n";
}

void printCategoryCounts(std::ostream & out, const CategoryCounts & counts)
{
  out << "Cells per obstacle type (getObstacleType):\n"
      << "  103 person (0x008)           " << counts.category_103 << "\n"
      << "  300 box (0x004)              " << counts.category_300 << "\n"
      << "  105 spill (0x020)            " << counts.category_105 << "\n"
      << "  peril (0x002)                " << counts.peril << "\n"
      << "  narrow passage (0x010)       " << counts.narrow_passage << "\n"
      << "  priority passage (0x400)     " << counts.priority_passage << "\n";
}

void printZones(std::ostream & out, const ZoneSummary & zones)
{
  out << std::fixed << std::setprecision(1) << "Passages: narrow " << zones.narrow_cells
      << " cells, priority " << zones.priority_cells << " cells, hasPriorityPassage "
      << yesNo(zones.has_priority_passage) << ", deepest priority cell "
      << zones.widest_priority_boundary_cells << " cells from its boundary\n";
}

void printNamedPoints(
  std::ostream & out, quorvane_nav2_gridmap::MultiGridMap & maps,
  const std::vector<NamedPoint> & points)
{
  out << "At named points:\n";
  for (const auto & point : points) {
    unsigned int mx = 0;
    unsigned int my = 0;
    out << "  " << std::left << std::setw(kPointColumn) << cellText(point) << std::right;
    if (!maps.costmap_->worldToMap(point.x, point.y, mx, my)) {
      out << " off the map\n";
      continue;
    }
    quorvane_nav2_gridmap::ObsTypeBitMap bits;
    bits.reset();
    maps.getObstacleType(mx, my, bits);
    out << std::fixed << std::setprecision(2) << " cell (" << mx << ", " << my << ") distance "
        << maps.getDistance(mx, my) << " m, cost " << maps.getCost(mx, my, true) << ", risk "
        << yesNo(maps.inRisk(mx, my, 0)) << ", danger " << yesNo(maps.inDanger(mx, my, 0))
        << ", types " << bitNames(bits) << "\n";
  }
}

void printZoneChange(
  std::ostream & out, const std::string & before_map, const ZoneSummary & before,
  const std::string & after_map, const ZoneSummary & after, const std::vector<NamedPoint> & points)
{
  out << "Zones " << before_map << " -> " << after_map << ":\n"
      << "  narrow passage cells     " << before.narrow_cells << " -> " << after.narrow_cells
      << "\n"
      << "  priority passage cells   " << before.priority_cells << " -> "
      << after.priority_cells << "\n";
  for (std::size_t i = 0; i < points.size(); ++i) {
    const bool narrow_changed = before.narrow_at_point[i] != after.narrow_at_point[i];
    const bool priority_changed = before.priority_at_point[i] != after.priority_at_point[i];
    if (!narrow_changed && !priority_changed) {
      continue;
    }
    out << "  " << std::left << std::setw(kPointColumn) << cellText(points[i]) << std::right
        << " narrow " << yesNo(before.narrow_at_point[i]) << " -> "
        << yesNo(after.narrow_at_point[i]) << ", priority "
        << yesNo(before.priority_at_point[i]) << " -> " << yesNo(after.priority_at_point[i])
        << "\n";
  }
}

}  // namespace quorvane_nav2_gridmap_demo
