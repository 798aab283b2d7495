#include "quorvane_nav2_gridmap/zone_layer.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvane_nav2_gridmap
{

namespace
{

// How far from a whole number of cells a window's origin may lie and still be on the lattice: a
// rolling costmap moves its origin by whole cells, adding only rounding.
constexpr double kOnLattice = 1e-6;

}  // namespace

ZoneLayer::ZoneLayer(double resolution, double origin_x, double origin_y)
: resolution_(resolution), origin_x_(origin_x), origin_y_(origin_y)
{
}

std::uint64_t ZoneLayer::tileKey(std::int64_t tile_x, std::int64_t tile_y)
{
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(tile_x)) << 32) |
         static_cast<std::uint32_t>(tile_y);
}

std::optional<std::int64_t> ZoneLayer::latticeCell(double world, double origin) const
{
  // A centre left of or below the lattice's origin lies in a negative cell (floor), one on or
  // after it in the cell the costmap's truncation gives.
  const double cell = std::floor((world - origin) / resolution_);
  if (!(std::abs(cell) < kFarthestCell)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(cell);
}

ZoneLayer::Tile & ZoneLayer::tileAt(std::int64_t x, std::int64_t y)
{
  const std::uint64_t key = tileKey(tileOf(x), tileOf(y));
  if (last_tile_ == nullptr || key != last_key_) {
    std::unique_ptr<Tile> & tile = tiles_[key];
    if (!tile) {
      tile = std::make_unique<Tile>();
    }
    last_tile_ = tile.get();
    last_key_ = key;
  }
  return *last_tile_;
}

void ZoneLayer::add(const semantic_map::Gridmap<bool> & zone_grid, Kind kind)
{
  placeColumns(zone_grid);
  for (std::uint32_t row = 0; row < zone_grid.height(); ++row) {
    double wx = 0.0;
    double wy = 0.0;
    zone_grid.mapToWorld(0, row, wx, wy);
    const std::optional<std::int64_t> y = latticeCell(wy, origin_y_);
    if (!y) {
      continue;
    }
    const bool * cells = zone_grid.cells() + static_cast<std::size_t>(row) * zone_grid.width();
    for (const ColumnRange & range : column_ranges_) {
      addRange(kind, range, *y, cells);
    }
  }
}

void ZoneLayer::placeColumns(const semantic_map::Gridmap<bool> & zone_grid)
{
  // A cell's centre takes its x from its column (and its y from its row): each column is placed
  // once. The columns' cells rise from left to right, so the columns in one tile lie together.
  column_ranges_.clear();
  column_offsets_.resize(zone_grid.width());
  for (std::uint32_t col = 0; col < zone_grid.width(); ++col) {
    double wx = 0.0;
    double wy = 0.0;
    zone_grid.mapToWorld(col, 0, wx, wy);
    const std::optional<std::int64_t> x = latticeCell(wx, origin_x_);
    if (!x) {
      continue;
    }
    column_offsets_[col] = static_cast<std::uint8_t>(*x & (kTileSide - 1));
    ColumnRange * last = column_ranges_.empty() ? nullptr : &column_ranges_.back();
    if (last != nullptr && last->end_column == col && last->tile_x == tileOf(*x)) {
      last->consecutive = last->consecutive &&
        column_offsets_[col] == column_offsets_[col - 1] + 1;
      ++last->end_column;
    } else {
      column_ranges_.push_back({col, col + 1, tileOf(*x), true});
    }
  }
}

void ZoneLayer::addRange(Kind kind, const ColumnRange & range, std::int64_t y, const bool * cells)
{
  if (std::find(cells + range.first_column, cells + range.end_column, true) ==
    cells + range.end_column)
  {
    return;  // a part without zone cells takes no tile
  }
  const std::int64_t tile_origin = range.tile_x * kTileSide;
  std::uint8_t * held = tileAt(tile_origin, y).counts[kind].data() + indexInTile(0, y);
  // A row adds at most one per column: where no cell could pass 255 the row is added at once.
  const auto columns = static_cast<int>(range.end_column - range.first_column);
  if (*std::max_element(held, held + kTileSide) + columns <= 255) {
    if (range.consecutive) {
      std::uint8_t * run = held + column_offsets_[range.first_column];
      const bool * from = cells + range.first_column;
      for (int i = 0; i < columns; ++i) {
        run[i] = static_cast<std::uint8_t>(run[i] + from[i]);
      }
      return;
    }
    for (std::uint32_t col = range.first_column; col < range.end_column; ++col) {
      std::uint8_t & cell = held[column_offsets_[col]];
      cell = static_cast<std::uint8_t>(cell + cells[col]);
    }
    return;
  }
  for (std::uint32_t col = range.first_column; col < range.end_column; ++col) {
    if (cells[col]) {
      addCell(kind, tile_origin + column_offsets_[col], y);
    }
  }
}

void ZoneLayer::addCell(Kind kind, std::int64_t x, std::int64_t y)
{
  std::uint8_t & held = tileAt(x, y).counts[kind][indexInTile(x, y)];
  if (held < 255) {
    ++held;
  } else {
    ++beyond_255_[kind][Cell(x, y)];
  }
}

std::optional<std::pair<std::int64_t, std::int64_t>> ZoneLayer::place(
  double resolution, double origin_x, double origin_y) const
{
  if (resolution != resolution_) {
    return std::nullopt;
  }
  const double cells_x = (origin_x - origin_x_) / resolution_;
  const double cells_y = (origin_y - origin_y_) / resolution_;
  const double x = std::round(cells_x);
  const double y = std::round(cells_y);
  if (!(std::abs(cells_x - x) <= kOnLattice && std::abs(cells_y - y) <= kOnLattice &&
    std::abs(x) < kFarthestCell && std::abs(y) < kFarthestCell))
  {
    return std::nullopt;
  }
  return std::make_pair(static_cast<std::int64_t>(x), static_cast<std::int64_t>(y));
}

template<typename Visit>
void ZoneLayer::forEachTileIn(const Rect & rect, Visit && visit) const
{
  if (rect.width <= 0 || rect.height <= 0) {
    return;
  }
  const std::int64_t x_end = rect.x + rect.width;
  const std::int64_t y_end = rect.y + rect.height;
  for (std::int64_t tile_y = tileOf(rect.y); tile_y <= tileOf(y_end - 1); ++tile_y) {
    for (std::int64_t tile_x = tileOf(rect.x); tile_x <= tileOf(x_end - 1); ++tile_x) {
      const auto found = tiles_.find(tileKey(tile_x, tile_y));
      if (found == tiles_.end()) {
        continue;
      }
      const std::int64_t x0 = std::max(rect.x, tile_x * kTileSide);
      const std::int64_t x1 = std::min(x_end, (tile_x + 1) * kTileSide);
      const std::int64_t y0 = std::max(rect.y, tile_y * kTileSide);
      const std::int64_t y1 = std::min(y_end, (tile_y + 1) * kTileSide);
      visit(*found->second, x0, x1, y0, y1);
    }
  }
}

std::uint64_t ZoneLayer::beyond255(Kind kind, std::int64_t x, std::int64_t y) const
{
  const auto found = beyond_255_[kind].find(Cell(x, y));
  return found == beyond_255_[kind].end() ? 0 : found->second;
}

ZoneLayer::Counts ZoneLayer::count(const Rect & rect) const
{
  Counts counts{0, 0};
  forEachTileIn(
    rect, [this, &counts](
      const Tile & tile, std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) {
      for (const Kind kind : {kNarrowCorridor, kPriorityPassage}) {
        for (std::int64_t y = y0; y < y1; ++y) {
          const std::uint8_t * held = tile.counts[kind].data() + indexInTile(x0, y);
          for (std::int64_t i = 0; i < x1 - x0; ++i) {
            counts[kind] += held[i];
            if (held[i] == 255) {
              counts[kind] += beyond255(kind, x0 + i, y);
            }
          }
        }
      }
    });
  return counts;
}

void ZoneLayer::copyCoverage(const Rect & rect, std::uint8_t * cells, std::size_t stride) const
{
  for (std::int64_t row = 0; row < rect.height; ++row) {
    std::memset(
      cells + static_cast<std::size_t>(row) * stride, 0, static_cast<std::size_t>(rect.width));
  }
  forEachTileIn(
    rect, [&rect, cells, stride](
      const Tile & tile, std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) {
      for (std::int64_t y = y0; y < y1; ++y) {
        std::uint8_t * out = cells + static_cast<std::size_t>(y - rect.y) * stride;
        for (std::int64_t x = x0; x < x1; ++x) {
          const std::size_t index = indexInTile(x, y);
          out[x - rect.x] = static_cast<std::uint8_t>(
            (tile.counts[kNarrowCorridor][index] != 0 ? kNarrowCorridorBit : 0) |
            (tile.counts[kPriorityPassage][index] != 0 ? kPriorityPassageBit : 0));
        }
      }
    });
}

}  // namespace quorvane_nav2_gridmap
