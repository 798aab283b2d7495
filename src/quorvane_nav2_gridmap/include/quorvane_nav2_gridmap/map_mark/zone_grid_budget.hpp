#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_GRID_BUDGET_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_GRID_BUDGET_HPP_

// The grid cells (a byte each) that the zones of one load may hold together. Zones overlap on
// the map, so their grids can together take far more than the map image; a zone file must not
// cost gigabytes.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace plane_object
{

class ZoneGridBudget
{
public:
  // As many as the largest grid of a single zone (ZoneExtent::kMaxCells), so that a zone spanning
  // a whole site of 800 m by 800 m at 5 cm can load.
  static constexpr std::size_t kMaxCellsPerLoad = std::size_t{256} * 1024u * 1024u;

  explicit ZoneGridBudget(std::size_t max_cells = kMaxCellsPerLoad)
  : max_cells_(max_cells) {}

  // Each zone is judged on its own: one whose grid would take the load past the bound is refused,
  // and a later zone that still fits is admitted.
  bool admit(std::size_t grid_cells, std::string zone_id)
  {
    if (grid_cells > max_cells_ - held_cells_) {
      refused_ids_.push_back(std::move(zone_id));
      return false;
    }
    held_cells_ += grid_cells;
    return true;
  }

  std::size_t maxCells() const {return max_cells_;}
  const std::vector<std::string> & refusedIds() const {return refused_ids_;}

  // The ids of the refused zones, the first `shown` of them named, so that a log line stays a line.
  std::string refusedIdsText(std::size_t shown = 32) const
  {
    if (refused_ids_.size() <= shown) {
      return fmt::format("{}", fmt::join(refused_ids_, ", "));
    }
    return fmt::format(
      "{} and {} more",
      fmt::join(refused_ids_.begin(), refused_ids_.begin() + static_cast<std::ptrdiff_t>(shown), ", "),
      refused_ids_.size() - shown);
  }

private:
  std::size_t max_cells_;
  std::size_t held_cells_{0};
  std::vector<std::string> refused_ids_;
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_GRID_BUDGET_HPP_
