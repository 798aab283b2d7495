#ifndef QUORVANE_NAV2_GRIDMAP__ZONE_LAYER_HPP_
#define QUORVANE_NAV2_GRIDMAP__ZONE_LAYER_HPP_

// The zones of one map rasterised once onto the costmap's cell lattice, in the map frame: for
// every cell, how many narrow-corridor and how many priority-passage zone cells fall into it.
// A costmap window on the same lattice reads its part; only the cells zones reach are held.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/gridmap.hpp"

namespace quorvane_nav2_gridmap
{

class ZoneLayer
{
public:
  enum Kind : std::size_t {kNarrowCorridor = 0, kPriorityPassage = 1};
  using Counts = std::array<std::uint64_t, 2>;

  // The lattice cells [x, x + width) x [y, y + height).
  struct Rect
  {
    std::int64_t x;
    std::int64_t y;
    std::int64_t width;
    std::int64_t height;
  };

  // Coverage bits of a cell, as copyCoverage writes them.
  static constexpr std::uint8_t kNarrowCorridorBit = 1;
  static constexpr std::uint8_t kPriorityPassageBit = 2;

  ZoneLayer() = default;
  // The lattice of cells of `resolution` metres whose cell (0, 0) starts at (origin_x, origin_y).
  ZoneLayer(double resolution, double origin_x, double origin_y);

  // Counts every set cell of a zone's grid, drawn at this layer's resolution, in the lattice cell
  // its centre falls into, as the costmap's worldToMap would place it.
  void add(const semantic_map::Gridmap<bool> & zone_grid, Kind kind);

  // The lattice cell where a window of `resolution` whose first cell starts at (origin_x,
  // origin_y) begins; empty when that window is not on this lattice (another resolution, or an
  // origin not a whole number of cells away).
  std::optional<std::pair<std::int64_t, std::int64_t>> place(
    double resolution, double origin_x, double origin_y) const;

  bool empty() const {return tiles_.empty();}
  double resolution() const {return resolution_;}

  // The zone cells of each kind in `rect`, every zone counted.
  Counts count(const Rect & rect) const;
  // Writes the coverage bits of `rect` row by row into `cells`, `stride` bytes a row apart.
  void copyCoverage(const Rect & rect, std::uint8_t * cells, std::size_t stride) const;

private:
  static constexpr int kTileShift = 6;
  static constexpr std::int64_t kTileSide = std::int64_t{1} << kTileShift;
  // Cells beyond this from the lattice's origin lie beyond any costmap a robot keeps.
  static constexpr double kFarthestCell = 68719476736.0;

  // A cell counts up to 255 zone cells of a kind itself; those beyond are counted aside.
  struct Tile
  {
    std::array<std::array<std::uint8_t, kTileSide * kTileSide>, 2> counts{};
  };
  using Cell = std::pair<std::int64_t, std::int64_t>;
  // The columns [first_column, end_column) of the zone being added whose cells lie in one tile
  // column, and whether they lie in consecutive cells there (where no centre lies on a border).
  struct ColumnRange
  {
    std::uint32_t first_column;
    std::uint32_t end_column;
    std::int64_t tile_x;
    bool consecutive;
  };

  static std::uint64_t tileKey(std::int64_t tile_x, std::int64_t tile_y);
  static std::int64_t tileOf(std::int64_t cell) {return cell >> kTileShift;}
  static std::size_t indexInTile(std::int64_t x, std::int64_t y)
  {
    return static_cast<std::size_t>(((y & (kTileSide - 1)) << kTileShift) | (x & (kTileSide - 1)));
  }
  std::optional<std::int64_t> latticeCell(double world, double origin) const;
  Tile & tileAt(std::int64_t x, std::int64_t y);
  void addCell(Kind kind, std::int64_t x, std::int64_t y);
  // Places the columns of a zone's grid (where in the tiles its cells' centres fall), once.
  void placeColumns(const semantic_map::Gridmap<bool> & zone_grid);
  // Adds the zone cells of one row that lie in one column range.
  void addRange(Kind kind, const ColumnRange & range, std::int64_t y, const bool * cells);
  // The zone cells of a kind a cell counts aside, beyond its own 255.
  std::uint64_t beyond255(Kind kind, std::int64_t x, std::int64_t y) const;

  // Calls visit(tile, x0, x1, y0, y1) for every held tile that meets `rect`, with the part of
  // `rect` inside it.
  template<typename Visit>
  void forEachTileIn(const Rect & rect, Visit && visit) const;

  double resolution_{0.0};
  double origin_x_{0.0};
  double origin_y_{0.0};
  std::unordered_map<std::uint64_t, std::unique_ptr<Tile>> tiles_;
  std::array<std::map<Cell, std::uint64_t>, 2> beyond_255_;
  // The tile the last add wrote to: a zone's cells lie together.
  Tile * last_tile_{nullptr};
  std::uint64_t last_key_{0};
  // The zone being added: its column ranges and each column's place in its tile.
  std::vector<ColumnRange> column_ranges_;
  std::vector<std::uint8_t> column_offsets_;
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__ZONE_LAYER_HPP_
