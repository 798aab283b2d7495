#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_

// Zones drawn on the robot's map (narrow corridors, priority passages, ...) as objects in map
// coordinates that rasterise themselves, and the factory that reads them from the map directory.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <yaml-cpp/yaml.h>

#include "nav2_map_server/map_io.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/map_mark/gridmap.hpp"
#include "quorvane_nav2_gridmap/map_mark/map_meta.hpp"
#include "quorvane_nav2_gridmap/map_mark/pixel_to_map.hpp"
#include "quorvane_nav2_gridmap/map_mark/point.hpp"
#include "quorvane_nav2_gridmap/map_mark/read_file.hpp"
#include "quorvane_nav2_gridmap/map_mark/regular_file.hpp"
#include "quorvane_nav2_gridmap/map_mark/streamed_node.hpp"
#include "quorvane_nav2_gridmap/map_mark/yaml_file.hpp"
#include "quorvane_nav2_gridmap/map_mark/zone_extent.hpp"
#include "quorvane_nav2_gridmap/map_mark/zone_grid_budget.hpp"
#include "quorvane_nav2_gridmap/map_mark/zone_layout_stream.hpp"

namespace plane_object
{

enum class MarkType : std::uint32_t
{
  INVALID = 0,
  ERASE = 1,
  FORBIDDEN = 2,
  UNCLEANABLE = 3,
  NARROW_CORRIDOR = 4,
  PRIORITY_PASSAGE = 5,
};

enum class DescType : std::uint32_t
{
  INVALID = 0,
  CIRCLE_LIST = 1,
  BLOCK = 2,
  VIRTUAL_WALL = 3,
};

// The mark type of a zone file's "type" keyword; 0 for anything else, case and spacing included.
inline int getType(std::string_view keyword)
{
  static const std::map<std::string_view, int> type_map{
    {"erase", 1}, {"forbidden", 2}, {"uncleanable", 3}, {"narrow corridor", 4},
    {"priority passage", 5}};
  const auto found = type_map.find(keyword);
  return found == type_map.end() ? 0 : found->second;
}

// The shape of a zone file's "desctype" keyword; 0 for anything else.
inline int getDescType(std::string_view keyword)
{
  static const std::map<std::string_view, int> desc_type_map{
    {"circle", 1}, {"block", 2}, {"virtualWall", 3}};
  const auto found = desc_type_map.find(keyword);
  return found == desc_type_map.end() ? 0 : found->second;
}

// The id must name a directory inside the map directory, so that a hand-edited history file
// can't send the readers elsewhere on the disk. A NUL would cut the path short at the system.
inline bool namesMapDirectoryEntry(const std::string & map_id)
{
  return map_id != "." && map_id != ".." && map_id.find('/') == std::string::npos &&
         map_id.find('\0') == std::string::npos;
}

// The first token of `text`, delimited by the white space of the C locale.
inline std::string firstToken(const std::string & text)
{
  constexpr const char * kWhiteSpace = " \t\n\v\f\r";
  const std::size_t begin = text.find_first_not_of(kWhiteSpace);
  if (begin == std::string::npos) {
    return {};
  }
  const std::size_t end = text.find_first_of(kWhiteSpace, begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The first white-space-delimited token of the history file. Raises a plain std::exception
// after two ERROR lines when the file is missing, unreadable or empty, is not a regular file of
// bounded size, or names no map directory entry.
inline std::string getMapId(const std::filesystem::path & history_file)
{
  try {
    const std::string path = history_file.string();
    const RegularFile history = RegularFile::read(path);
    // A missing file reads as an empty one, as it always has.
    if (!history.ok() && history.refusal != FileRefusal::kCannotOpen) {
      QLOG_ERROR("history map file {}", history.reason(path));
      throw std::invalid_argument(history.reason(path));
    }
    const std::string map_id = firstToken(history.text);
    if (map_id.empty()) {
      QLOG_ERROR("history map info empty");
      throw std::invalid_argument("history map info empty");
    }
    if (!namesMapDirectoryEntry(map_id)) {
      QLOG_ERROR("history map id {} is not a directory in the map directory", map_id);
      throw std::invalid_argument(fmt::format("history map id {} is invalid", map_id));
    }
    QLOG_INFO("getMapId {}", map_id);
    return map_id;
  } catch (const std::exception & error) {
    QLOG_ERROR("getMapId error {}", error.what());
    throw std::exception();
  }
}

// A zone: its mark type, shape, id and elements in map metres, with the last grid it was
// rasterised into. Zones are made with std::make_shared of the concrete class and destroyed
// by that owner, hence the protected, non-virtual destructor.
class Base
{
public:
  std::uint32_t type{0};
  std::uint32_t desc_type{0};
  std::string id;
  std::vector<Point> points;
  std::shared_ptr<semantic_map::Gridmap<bool>> grid;

  virtual const std::vector<Point> & getPoints() const {return points;}

  // True when an element of non-negative radius lies closer to the query centre than the
  // two radii together. A block's vertices count as points; its area is not consulted.
  virtual bool intersects(const Point & query) const
  {
    if (points.empty() || !(query.r >= 0.0)) {
      return false;
    }
    for (const Point & element : points) {
      if (element.r >= 0.0 && std::hypot(query.x - element.x, query.y - element.y) <
        element.r + query.r)
      {
        return true;
      }
    }
    return false;
  }

  // The zone at `resolution` metres per cell; the cached grid while the resolution is unchanged.
  virtual std::shared_ptr<semantic_map::Gridmap<bool>> getGrid(double resolution) = 0;
  // The box the zone's elements cover; empty when they cover nothing.
  virtual std::optional<ZoneExtent> extent() const = 0;

  // The cells getGrid(resolution) holds, known without drawing the zone: a load charges them to
  // its budget before it rasterises.
  std::size_t gridCells(double resolution) const
  {
    const std::optional<ZoneExtent> box = extent();
    if (!box || (desc_type == static_cast<std::uint32_t>(DescType::BLOCK) && box->isFlat())) {
      return 0;
    }
    const std::optional<ZoneExtent::GridShape> shape = box->gridShape(resolution, area_);
    return shape ? shape->cells() : 0;
  }

  // Limits every later grid to `area` (the map image): a robot never reaches beyond it, and a
  // zone drawn far past it would otherwise cost a grid as large as itself.
  void limitTo(const ZoneExtent & area)
  {
    area_ = area;
    grid.reset();
  }

protected:
  Base(std::uint32_t mark_type, DescType shape, std::string zone_id, std::vector<Point> elements)
  : type(mark_type), desc_type(static_cast<std::uint32_t>(shape)), id(std::move(zone_id)),
    points(std::move(elements)) {}
  Base(const Base &) = default;
  Base & operator=(const Base &) = default;
  ~Base() = default;

  bool hasGridAt(double resolution) const
  {
    return grid && grid->resolution() == resolution;
  }

  std::shared_ptr<semantic_map::Gridmap<bool>> & cacheEmptyGrid(double resolution)
  {
    grid = std::make_shared<semantic_map::Gridmap<bool>>(0, 0, resolution, 0.0, 0.0);
    return grid;
  }

  std::shared_ptr<semantic_map::Gridmap<bool>> makeGrid(
    const ZoneExtent & extent, double resolution) const
  {
    return extent.makeGrid(resolution, area_);
  }

private:
  std::optional<ZoneExtent> area_;
};

// A list of discs, each (x, y) with radius r in metres.
class CircleList final : public Base
{
public:
  CircleList() : Base(0, DescType::CIRCLE_LIST, {}, {}) {}
  CircleList(std::uint32_t mark_type, std::string zone_id, std::vector<Point> discs)
  : Base(mark_type, DescType::CIRCLE_LIST, std::move(zone_id), std::move(discs)) {}

  // Sets every cell holding a point of the resolution-spaced lattice around a disc's centre
  // that lies within the disc, boundary included.
  std::shared_ptr<semantic_map::Gridmap<bool>> getGrid(double resolution) override
  {
    if (hasGridAt(resolution)) {
      return grid;
    }
    const std::optional<ZoneExtent> box = extent();
    if (!box) {
      return cacheEmptyGrid(resolution);
    }
    grid = makeGrid(*box, resolution);
    if (!grid) {
      QLOG_WARN("Zone id {} can not be rasterised at resolution {}", id, resolution);
      return cacheEmptyGrid(resolution);
    }
    for (const Point & disc : points) {
      drawDisc(*grid, disc);
    }
    return grid;
  }

  std::optional<ZoneExtent> extent() const override {return ZoneExtent::ofDiscs(points);}

private:
  // Only the lattice offsets whose samples fall on the grid are visited, so a disc far larger
  // than the grid it is clipped to costs no more than the grid.
  static void drawDisc(semantic_map::Gridmap<bool> & target, const Point & disc)
  {
    if (!(disc.r >= 0.0) || target.cellCount() == 0) {
      return;
    }
    const double resolution = target.resolution();
    const double reach = std::trunc(std::abs(disc.r / resolution) + 1.0);
    const OffsetRange columns = offsetsOnto(
      cellOfCentre((disc.x - target.originX()) / resolution), target.width(), reach);
    const OffsetRange rows = offsetsOnto(
      cellOfCentre((disc.y - target.originY()) / resolution), target.height(), reach);
    for (std::int64_t j = 0; j < rows.count; ++j) {
      const double dy = (rows.first + static_cast<double>(j)) * resolution;
      for (std::int64_t i = 0; i < columns.count; ++i) {
        const double dx = (columns.first + static_cast<double>(i)) * resolution;
        if (std::hypot(dx, dy) <= disc.r) {
          target.set(columns.first_cell + i, rows.first_cell + j, true);
        }
      }
    }
  }

  // The cell of a disc's centre along one axis, from its offset in cells from the grid's origin.
  // The lattice samples lie one cell apart, so sample k lies in this cell plus k. Taken once
  // for all samples, the rounding of a centre on a cell border can shift the whole disc by a
  // cell but never leave a cell of it without a sample; an offset a rounding error away from a
  // border counts as on it.
  static double cellOfCentre(double offset)
  {
    const double border = std::round(offset);
    return std::abs(offset - border) < 1e-6 ? border : std::floor(offset);
  }

  // Lattice offsets first, first + 1, ... (count of them) and the cell of the first, as whole
  // numbers held in doubles where a disc far from the map may take them beyond any integer type.
  struct OffsetRange
  {
    double first;
    std::int64_t first_cell;
    std::int64_t count;
  };

  // The offsets k in [-reach, reach] whose sample lies on a grid axis of `cells` cells, the
  // centre lying in cell `centre_cell` of that axis.
  static OffsetRange offsetsOnto(double centre_cell, std::uint32_t cells, double reach)
  {
    const double first = std::max(-reach, -centre_cell);
    const double last = std::min(reach, static_cast<double>(cells) - 1.0 - centre_cell);
    if (!(first <= last)) {
      return {0.0, 0, 0};
    }
    return {
      first, static_cast<std::int64_t>(centre_cell + first),
      static_cast<std::int64_t>(last - first + 1.0)};
  }
};

// A closed polygon whose vertices (r = 0) are listed in drawing order.
class Block final : public Base
{
public:
  Block() : Base(0, DescType::BLOCK, {}, {}) {}
  Block(std::uint32_t mark_type, std::string zone_id, std::vector<Point> vertices)
  : Base(mark_type, DescType::BLOCK, std::move(zone_id), std::move(vertices)) {}

  // Draws the closed outline, one cell per row and edge, then fills each row from its first
  // set cell to the next one.
  std::shared_ptr<semantic_map::Gridmap<bool>> getGrid(double resolution) override
  {
    if (hasGridAt(resolution)) {
      return grid;
    }
    const std::optional<ZoneExtent> box = extent();
    if (!box || box->isFlat()) {
      cacheEmptyGrid(resolution);
      QLOG_WARN("Block id {} can not create a valid cache", id);
      return grid;
    }
    grid = makeGrid(*box, resolution);
    if (!grid) {
      QLOG_WARN("Zone id {} can not be rasterised at resolution {}", id, resolution);
      return cacheEmptyGrid(resolution);
    }
    Outline outline(*grid);
    outline.draw(points);
    outline.fillRows();
    return grid;
  }

  std::optional<ZoneExtent> extent() const override {return ZoneExtent::ofVertices(points);}

private:
  struct Cell
  {
    std::int64_t col;
    std::int64_t row;
  };

  // The outline of the polygon on a grid that may show only part of it. Outline cells beyond
  // the grid's sides are remembered per row (left: the first column and whether there was
  // another; right: whether there was any), so that each row is filled just as on a grid wide
  // enough for the whole polygon.
  class Outline
  {
public:
    explicit Outline(semantic_map::Gridmap<bool> & target)
    : target_(target), left_(target.height()), right_of_grid_(target.height(), false) {}

    // Edges run last vertex -> first, first -> second, ..., so the polygon is closed.
    void draw(const std::vector<Point> & vertices)
    {
      Cell from = cellOf(vertices.back());
      for (const Point & vertex : vertices) {
        const Cell to = cellOf(vertex);
        drawEdge(from, to);
        from = to;
      }
    }

    // From the first set cell of a row to the next one. A row whose first set cell has no later
    // one to close it keeps just its outline cells: filling it to the border would paint a
    // stripe beside the polygon.
    void fillRows()
    {
      const std::int64_t width = target_.width();
      for (std::uint32_t row = 0; row < target_.height(); ++row) {
        const LeftOfGrid & left = left_[row];
        if (left.two_columns) {
          continue;  // the row's fill opens and closes beside the grid
        }
        std::int64_t first = -1;
        if (!left.column) {
          first = 0;
          while (first < width && !target_.at(static_cast<std::uint32_t>(first), row)) {
            ++first;
          }
          if (first >= width) {
            continue;
          }
        }
        std::int64_t closing = first + 1;
        while (closing < width && !target_.at(static_cast<std::uint32_t>(closing), row)) {
          ++closing;
        }
        if (closing >= width && !right_of_grid_[row]) {
          continue;
        }
        for (std::int64_t col = first + 1; col < closing; ++col) {
          target_.set(col, row, true);
        }
      }
    }

private:
    // Cells far beyond any grid are held back so that the edge arithmetic can't overflow; such
    // a vertex only tilts edges that lie off the map anyway.
    static constexpr double kFarthestCell = 536870912.0;

    Cell cellOf(const Point & vertex) const
    {
      const auto index = [](double offset) {
          return static_cast<std::int64_t>(
            std::clamp(std::floor(offset), -kFarthestCell, kFarthestCell));
        };
      return {
        index((vertex.x - target_.originX()) / target_.resolution()),
        index((vertex.y - target_.originY()) / target_.resolution())};
    }

    // Sets, in each row from a's up to but not including b's, the first cell that reaches the
    // line a-b moving away from a. A horizontal edge sets only a: its other end starts the
    // next. Only the rows of the grid are visited, each in constant time.
    void drawEdge(const Cell & a, const Cell & b)
    {
      if (a.row == b.row) {
        mark(a.col, a.row);
        return;
      }
      const std::int64_t step_x = b.col > a.col ? 1 : -1;
      const std::int64_t step_y = b.row > a.row ? 1 : -1;
      const std::int64_t sign = step_x * step_y;
      const std::int64_t dx = b.col - a.col;
      const std::int64_t dy = b.row - a.row;
      const std::int64_t rise = dy < 0 ? -dy : dy;
      const std::int64_t last_row = b.row - step_y;
      const std::int64_t height = target_.height();
      std::int64_t low = std::max<std::int64_t>(std::min(a.row, last_row), 0);
      std::int64_t high = std::min<std::int64_t>(std::max(a.row, last_row), height - 1);
      for (std::int64_t row = low; row <= high; ++row) {
        if (row == a.row) {
          mark(a.col, row);
          continue;
        }
        // Moving one cell along x raises sign * ((x - xb) dy - (y - yb) dx) by |dy|: the cell
        // reached in this row is the first from a's column where that value is not negative.
        const std::int64_t value = sign * ((a.col - b.col) * dy - (row - b.row) * dx);
        const std::int64_t steps = value >= 0 ? 0 : (-value + rise - 1) / rise;
        mark(a.col + step_x * steps, row);
      }
    }

    void mark(std::int64_t col, std::int64_t row)
    {
      if (row < 0 || row >= target_.height()) {
        return;
      }
      if (col < 0) {
        LeftOfGrid & left = left_[static_cast<std::size_t>(row)];
        if (!left.column) {
          left.column = col;
        } else if (*left.column != col) {
          left.two_columns = true;
        }
      } else if (col >= target_.width()) {
        right_of_grid_[static_cast<std::size_t>(row)] = true;
      } else {
        target_.set(col, row, true);
      }
    }

    struct LeftOfGrid
    {
      std::optional<std::int64_t> column;
      bool two_columns{false};
    };

    semantic_map::Gridmap<bool> & target_;
    std::vector<LeftOfGrid> left_;
    std::vector<bool> right_of_grid_;
  };
};

// One zone of a requested mark type read from the zone file, with the text of its "type".
struct ZoneEntry
{
  std::shared_ptr<Base> zone;
  std::string type_text;
};

// The zone readers below take a yaml-cpp node or a StreamedNode alike: both answer the same
// questions with the same exceptions.

// A coordinate or radius: a number, and a finite one, or the zone is malformed.
template<typename Node>
double readFiniteNumber(const Node & node)
{
  const double value = node.template as<double>();
  if (!std::isfinite(value)) {
    throw YAML::BadConversion(node.Mark());
  }
  return value;
}

// The pixel points of a "points" or "rectangle" sequence in map metres; a key that is absent
// or not a sequence gives an empty zone.
template<typename Node>
std::vector<Point> readPixelPoints(
  const Node & sequence, const PixelToMap & frame, double radius_pixels)
{
  std::vector<Point> result;
  if (sequence && sequence.IsSequence()) {
    for (const auto & point : sequence) {
      result.push_back(
        frame.toMap(readFiniteNumber(point["x"]), readFiniteNumber(point["y"]), radius_pixels));
    }
  }
  return result;
}

// The zone an element of "editlayout" describes when it is of one of `mark_types` and a circle
// list or a block; empty otherwise. Raises YAML::Exception for a malformed element.
template<typename Node>
std::optional<ZoneEntry> readZone(
  const Node & element, const std::vector<std::uint32_t> & mark_types,
  const PixelToMap & frame)
{
  if (!element.IsMap()) {
    return std::nullopt;
  }
  std::string type_text = element["type"].template as<std::string>();
  const auto type = static_cast<std::uint32_t>(getType(type_text));
  if (std::find(mark_types.begin(), mark_types.end(), type) == mark_types.end()) {
    return std::nullopt;
  }
  switch (static_cast<DescType>(getDescType(element["desctype"].template as<std::string>()))) {
    case DescType::CIRCLE_LIST: {
        const double radius = readFiniteNumber(element["radius"]);
        std::vector<Point> discs = readPixelPoints(element["points"], frame, radius);
        return ZoneEntry{
          std::make_shared<CircleList>(
            type, element["id"].template as<std::string>(), std::move(discs)),
          std::move(type_text)};
      }
    case DescType::BLOCK: {
        std::vector<Point> vertices = readPixelPoints(element["rectangle"], frame, 0.0);
        return ZoneEntry{
          std::make_shared<Block>(
            type, element["id"].template as<std::string>(), std::move(vertices)),
          std::move(type_text)};
      }
    default:
      return std::nullopt;
  }
}

// Where the map image lies on the map. An image whose width can't be read bounds only the rows.
inline ZoneExtent imageArea(const PixelToMap & frame, std::optional<std::uint32_t> width)
{
  const Point top_left = frame.toMap(0.0, 0.0);
  const Point bottom_left = frame.toMap(0.0, frame.image_height);
  const double infinity = std::numeric_limits<double>::infinity();
  const double right = width ? frame.toMap(*width, 0.0).x : infinity;
  return {width ? top_left.x : -infinity, bottom_left.y, right, top_left.y, true};
}

// False, after a WARN, for a zone that lies wholly off the map image: no robot reaches it. A
// zone that reaches beyond the image keeps only its part on the image, also after a WARN.
inline bool keepOnImage(Base & zone, const ZoneExtent & image_area)
{
  const std::optional<ZoneExtent> extent = zone.extent();
  if (!extent || !extent->finite || extent->within(image_area)) {
    return true;
  }
  if (!extent->overlaps(image_area)) {
    QLOG_WARN("PlaneObjectFactory skips zone id {}: it lies wholly outside the map image", zone.id);
    return false;
  }
  QLOG_WARN(
    "PlaneObjectFactory clips zone id {} to the map image: its part beyond the image is dropped",
    zone.id);
  zone.limitTo(image_area);
  return true;
}


// A large site's zone file holds tens of thousands of zones at some 200 to 300 bytes each, and
// 30,000 of them take 6 to 9 MB: a file past this bound is no zone file.
constexpr std::size_t kMaxZoneFileBytes = std::size_t{16} * 1024u * 1024u;

// What a zone file gives: the zones of the requested types before the first malformed element,
// whether there is one (the file is then refused once those zones are judged), or why it gives
// no zone list at all.
struct ZoneFileRead
{
  enum class Outcome {kZoneList, kFailed, kNoZoneList};
  Outcome outcome{Outcome::kFailed};
  std::vector<ZoneEntry> entries;
  bool malformed{false};

  // Takes one element of the list; false once an element is malformed, from when on nothing
  // more is taken.
  template<typename Node>
  bool take(
    const Node & element, const std::vector<std::uint32_t> & mark_types, const PixelToMap & frame)
  {
    try {
      std::optional<ZoneEntry> entry = readZone(element, mark_types, frame);
      if (entry) {
        entries.push_back(std::move(*entry));
      }
      return true;
    } catch (const YAML::Exception &) {
      malformed = true;
      return false;
    }
  }
};

// The zone list through yaml-cpp, which holds the whole document: for the texts libyaml refuses,
// so that such a file reads as it always has.
inline ZoneFileRead readWholeZoneFile(
  const std::string & text, const std::vector<std::uint32_t> & mark_types,
  const PixelToMap & frame)
{
  ZoneFileRead read;
  YAML::Node layout;
  try {
    layout = YAML::Load(text)["editlayout"];
  } catch (const YAML::Exception &) {
    return read;
  }
  if (!layout || !layout.IsSequence()) {
    read.outcome = ZoneFileRead::Outcome::kNoZoneList;
    return read;
  }
  read.outcome = ZoneFileRead::Outcome::kZoneList;
  for (const YAML::Node & element : layout) {
    if (!read.take(element, mark_types, frame)) {
      break;
    }
  }
  return read;
}

// The zones of `mark_types` in a zone file, read event by event; a text libyaml refuses is read
// as yaml-cpp reads it.
inline ZoneFileRead readZoneFile(
  const std::filesystem::path & zone_file, const std::vector<std::uint32_t> & mark_types,
  const PixelToMap & frame)
{
  std::string text;
  try {
    text = readYamlText(zone_file, kMaxZoneFileBytes);
  } catch (const YAML::Exception &) {
    return {};
  }
  ZoneFileRead read;
  try {
    const ZoneLayout layout = streamZoneLayout(
      text, [&read, &mark_types, &frame](const StreamedNode & element) {
        return read.take(element, mark_types, frame);
      });
    switch (layout) {
      case ZoneLayout::kSequence:
        read.outcome = ZoneFileRead::Outcome::kZoneList;
        return read;
      case ZoneLayout::kNone:
        return {ZoneFileRead::Outcome::kNoZoneList, {}, false};
      case ZoneLayout::kUnsubscriptable:
        return {};
    }
  } catch (const ZoneFileUnreadable &) {
  }
  return readWholeZoneFile(text, mark_types, frame);
}

using Zones = std::vector<std::shared_ptr<Base>>;

// Called with each zone a load keeps, once it is drawn at the map's resolution, in file order.
using ZoneKept = std::function<void (Base & zone)>;

// The zones of each of `mark_types` on the map that the history file names, list i holding those
// of mark_types[i], each already rasterised at the map's resolution, in zone file order. The map
// directory is read and the zone file parsed once for all of them. Every failure is logged and
// gives empty lists. `kept`, when given, sees each zone of the lists as it is drawn, and may
// release its grid.
inline std::vector<Zones> PlaneObjectFactory(
  const std::filesystem::path & map_directory, const std::filesystem::path & map_id_file,
  const std::filesystem::path & map_meta_file, const std::filesystem::path & map_mark_file,
  const std::vector<std::uint32_t> & mark_types, const ZoneKept & kept = {})
{
  const std::vector<Zones> none(mark_types.size());
  std::string map_id;
  try {
    map_id = getMapId(map_directory / map_id_file);
  } catch (const std::exception & error) {
    QLOG_CRITICAL("PlaneObjectFactory getMapId error {}", error.what());
    return none;
  }

  const std::filesystem::path meta_file = map_directory / map_id / map_meta_file;
  QLOG_INFO("read map meta file {}", meta_file.string());
  std::optional<MapMeta> meta;
  try {
    meta = MapMeta::read(meta_file);
  } catch (const YAML::Exception &) {
    // An unreadable meta file and one whose values can't place a zone get the same report.
  }
  if (!meta) {
    QLOG_CRITICAL("PlaneObjectFactory load {} failed", meta_file.string());
    return none;
  }

  std::string image_name;
  try {
    image_name = nav2_map_server::loadMapYaml(meta_file.string()).image_file_name;
  } catch (const YAML::Exception &) {
    QLOG_CRITICAL("[ERROR] [map_io]: Failed processing YAML file");
    return none;
  } catch (const std::exception &) {
    // map_server's answer to an unknown "mode", or a file it could not read: as much a broken
    // meta file as bad YAML.
    QLOG_CRITICAL("[ERROR] [map_io]: Failed processing YAML file");
    return none;
  }
  if (image_name.empty()) {
    QLOG_CRITICAL("The image tag was empty.");
  }
  // map_server has already placed a relative image name beside the meta file.
  const std::string & image_file = image_name;
  PgmSize image_size;
  if (!readPGMSize(image_file, image_size)) {
    // Without the height every zone would land mirrored about the origin's row.
    QLOG_ERROR("[PlaneObjectFactory] Failed to load image:{} ", image_file);
    return none;
  }

  const std::filesystem::path zone_file = map_directory / map_id / map_mark_file;
  QLOG_INFO("read map mark file {}", zone_file.string());
  const PixelToMap frame{*meta, image_size.height};
  const ZoneFileRead read = readZoneFile(zone_file, mark_types, frame);
  if (read.outcome == ZoneFileRead::Outcome::kFailed) {
    QLOG_CRITICAL("PlaneObjectFactory load {} failed", zone_file.string());
    return none;
  }
  if (read.outcome == ZoneFileRead::Outcome::kNoZoneList) {
    QLOG_CRITICAL("PlaneObjectFactory could not find valid zones");
    return none;
  }

  const ZoneExtent image_area = imageArea(frame, image_size.width);
  std::vector<Zones> zones(mark_types.size());
  ZoneGridBudget budget;
  for (const ZoneEntry & entry : read.entries) {
    if (!keepOnImage(*entry.zone, image_area)) {
      continue;
    }
    // The rest of the file is still read after a refusal, so that a malformed zone discards it
    // as ever.
    if (!budget.admit(entry.zone->gridCells(meta->resolution), entry.zone->id)) {
      continue;
    }
    // Zones leave the factory drawn; a refused one is never drawn.
    entry.zone->getGrid(meta->resolution);
    if (entry.zone->desc_type == static_cast<std::uint32_t>(DescType::CIRCLE_LIST)) {
      QLOG_INFO(
        "PlaneObjectFactory add mark type {} desctype CIRCLE_LIST, id {}", entry.type_text,
        entry.zone->id);
    } else {
      QLOG_INFO(
        "PlaneObjectFactory add mark type {} desctype BLOCK, id {}", entry.type_text,
        entry.zone->id);
    }
    // A malformed zone later in the file discards every zone: none is handed on.
    if (read.malformed) {
      continue;
    }
    if (kept) {
      kept(*entry.zone);
    }
    for (std::size_t i = 0; i < mark_types.size(); ++i) {
      if (mark_types[i] == entry.zone->type) {
        zones[i].push_back(entry.zone);
      }
    }
  }
  if (read.malformed) {
    QLOG_CRITICAL("PlaneObjectFactory load {} failed", zone_file.string());
    return none;
  }
  if (!budget.refusedIds().empty()) {
    QLOG_WARN(
      "PlaneObjectFactory skips {} zones whose grids would take the zones of this load past {} "
      "grid cells: ids {}", budget.refusedIds().size(), budget.maxCells(),
      budget.refusedIdsText());
  }
  return zones;
}

// The zones of one mark type, as above.
inline Zones PlaneObjectFactory(
  const std::filesystem::path & map_directory, const std::filesystem::path & map_id_file,
  const std::filesystem::path & map_meta_file, const std::filesystem::path & map_mark_file,
  std::uint32_t mark_type)
{
  return std::move(
    PlaneObjectFactory(
      map_directory, map_id_file, map_meta_file, map_mark_file,
      std::vector<std::uint32_t>{mark_type}).front());
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_
