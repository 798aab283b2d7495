#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_

// Zones drawn on the robot's map (narrow corridors, priority passages, ...) as objects in map
// coordinates that rasterise themselves, and the factory that reads them from the map directory.

#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
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
#include "quorvane_nav2_gridmap/map_mark/zone_extent.hpp"

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
// can't send the readers elsewhere on the disk.
inline bool namesMapDirectoryEntry(const std::string & map_id)
{
  return map_id != "." && map_id != ".." && map_id.find('/') == std::string::npos;
}

// The first white-space-delimited token of the history file. Raises a plain std::exception
// after two ERROR lines when the file is missing, unreadable or empty, or names no map
// directory entry.
inline std::string getMapId(const std::filesystem::path & history_file)
{
  try {
    std::string map_id;
    {
      std::ifstream history(history_file);
      history >> map_id;
    }
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
    const std::optional<ZoneExtent> extent = ZoneExtent::ofDiscs(points);
    if (!extent) {
      return cacheEmptyGrid(resolution);
    }
    grid = extent->makeGrid(resolution);
    if (!grid) {
      QLOG_WARN("Zone id {} can not be rasterised at resolution {}", id, resolution);
      return cacheEmptyGrid(resolution);
    }
    for (const Point & disc : points) {
      drawDisc(*grid, disc);
    }
    return grid;
  }

private:
  static void drawDisc(semantic_map::Gridmap<bool> & target, const Point & disc)
  {
    if (!(disc.r >= 0.0)) {
      return;
    }
    const double resolution = target.resolution();
    const auto reach = static_cast<std::int64_t>(std::abs(disc.r / resolution) + 1.0);
    for (std::int64_t j = -reach; j <= reach; ++j) {
      for (std::int64_t i = -reach; i <= reach; ++i) {
        const double dx = static_cast<double>(i) * resolution;
        const double dy = static_cast<double>(j) * resolution;
        std::uint32_t col = 0;
        std::uint32_t row = 0;
        if (std::hypot(dx, dy) <= disc.r && target.worldToMap(disc.x + dx, disc.y + dy, col, row)) {
          target.set(col, row, true);
        }
      }
    }
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
    const std::optional<ZoneExtent> extent = ZoneExtent::ofVertices(points);
    if (!extent || extent->isFlat()) {
      cacheEmptyGrid(resolution);
      QLOG_WARN("Block id {} can not create a valid cache", id);
      return grid;
    }
    grid = extent->makeGrid(resolution);
    if (!grid) {
      QLOG_WARN("Zone id {} can not be rasterised at resolution {}", id, resolution);
      return cacheEmptyGrid(resolution);
    }
    drawOutline(*grid, points);
    fillRows(*grid);
    return grid;
  }

private:
  struct Cell
  {
    std::int64_t col;
    std::int64_t row;
  };

  static Cell cellOf(const semantic_map::Gridmap<bool> & target, const Point & vertex)
  {
    return {
      static_cast<std::int64_t>((vertex.x - target.originX()) / target.resolution()),
      static_cast<std::int64_t>((vertex.y - target.originY()) / target.resolution())};
  }

  static void drawOutline(semantic_map::Gridmap<bool> & target, const std::vector<Point> & vertices)
  {
    Cell from = cellOf(target, vertices.back());
    for (const Point & vertex : vertices) {
      const Cell to = cellOf(target, vertex);
      drawEdge(target, from, to);
      from = to;
    }
  }

  // Sets, in each row from a's up to but not including b's, the first cell that reaches the
  // line a-b moving away from a. A horizontal edge sets only a: its other end starts the next.
  static void drawEdge(semantic_map::Gridmap<bool> & target, const Cell & a, const Cell & b)
  {
    target.set(a.col, a.row, true);
    if (a.row == b.row) {
      return;
    }
    const std::int64_t step_x = b.col > a.col ? 1 : -1;
    const std::int64_t step_y = b.row > a.row ? 1 : -1;
    const double sign = static_cast<double>(step_x * step_y);
    const auto dx = static_cast<double>(b.col - a.col);
    const auto dy = static_cast<double>(b.row - a.row);
    std::int64_t x = a.col;
    std::int64_t y = a.row;
    do {
      target.set(x, y, true);
      y += step_y;
      while (sign * (static_cast<double>(x - b.col) * dy - static_cast<double>(y - b.row) * dx) <
        0.0)
      {
        x += step_x;
      }
    } while (y != b.row);
  }

  // A row whose first set cell has no later one to close it keeps just its outline cells:
  // filling it to the border would paint a stripe beside the polygon.
  static void fillRows(semantic_map::Gridmap<bool> & target)
  {
    for (std::uint32_t row = 0; row < target.height(); ++row) {
      std::uint32_t first = 0;
      while (first < target.width() && !target.at(first, row)) {
        ++first;
      }
      std::uint32_t closing = first + 1;
      while (closing < target.width() && !target.at(closing, row)) {
        ++closing;
      }
      if (closing >= target.width()) {
        continue;
      }
      for (std::uint32_t col = first + 1; col < closing; ++col) {
        target.set(col, row, true);
      }
    }
  }
};

// One zone of the requested mark type read from the zone file, with the text of its "type".
struct ZoneEntry
{
  std::shared_ptr<Base> zone;
  std::string type_text;
};

// A coordinate or radius: a number, and a finite one, or the zone is malformed.
inline double readFiniteNumber(const YAML::Node & node)
{
  const double value = node.as<double>();
  if (!std::isfinite(value)) {
    throw YAML::BadConversion(node.Mark());
  }
  return value;
}

// The pixel points of a "points" or "rectangle" sequence in map metres; a key that is absent
// or not a sequence gives an empty zone.
inline std::vector<Point> readPixelPoints(
  const YAML::Node & sequence, const PixelToMap & frame, double radius_pixels)
{
  std::vector<Point> result;
  if (sequence && sequence.IsSequence()) {
    for (const YAML::Node & point : sequence) {
      result.push_back(
        frame.toMap(readFiniteNumber(point["x"]), readFiniteNumber(point["y"]), radius_pixels));
    }
  }
  return result;
}

// The zone an element of "editlayout" describes when it is of `mark_type` and a circle list or
// a block; empty otherwise. Raises YAML::Exception for a malformed element.
inline std::optional<ZoneEntry> readZone(
  const YAML::Node & element, std::uint32_t mark_type, const PixelToMap & frame)
{
  if (!element.IsMap()) {
    return std::nullopt;
  }
  std::string type_text = element["type"].as<std::string>();
  const auto type = static_cast<std::uint32_t>(getType(type_text));
  if (type != mark_type) {
    return std::nullopt;
  }
  switch (static_cast<DescType>(getDescType(element["desctype"].as<std::string>()))) {
    case DescType::CIRCLE_LIST: {
        const double radius = readFiniteNumber(element["radius"]);
        std::vector<Point> discs = readPixelPoints(element["points"], frame, radius);
        return ZoneEntry{
          std::make_shared<CircleList>(type, element["id"].as<std::string>(), std::move(discs)),
          std::move(type_text)};
      }
    case DescType::BLOCK: {
        std::vector<Point> vertices = readPixelPoints(element["rectangle"], frame, 0.0);
        return ZoneEntry{
          std::make_shared<Block>(type, element["id"].as<std::string>(), std::move(vertices)),
          std::move(type_text)};
      }
    default:
      return std::nullopt;
  }
}

// The "editlayout" node of the zone file; raises YAML::Exception for a file yaml-cpp can't read
// or a root that can't hold keys.
inline YAML::Node loadZoneLayout(const std::filesystem::path & zone_file)
{
  const YAML::Node root = YAML::LoadFile(zone_file.string());
  return root["editlayout"];
}

// The zones of `mark_type` on the map that the history file names, each already rasterised at
// the map's resolution, in zone file order. Every failure is logged and gives an empty list.
inline std::vector<std::shared_ptr<Base>> PlaneObjectFactory(
  const std::filesystem::path & map_directory, const std::filesystem::path & map_id_file,
  const std::filesystem::path & map_meta_file, const std::filesystem::path & map_mark_file,
  std::uint32_t mark_type)
{
  std::string map_id;
  try {
    map_id = getMapId(map_directory / map_id_file);
  } catch (const std::exception & error) {
    QLOG_CRITICAL("PlaneObjectFactory getMapId error {}", error.what());
    return {};
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
    return {};
  }

  std::string image_name;
  try {
    image_name = nav2_map_server::loadMapYaml(meta_file.string()).image_file_name;
  } catch (const YAML::Exception &) {
    QLOG_CRITICAL("[ERROR] [map_io]: Failed processing YAML file");
    return {};
  } catch (const std::invalid_argument &) {
    // map_server's answer to an unknown "mode": as much a broken meta file as bad YAML.
    QLOG_CRITICAL("[ERROR] [map_io]: Failed processing YAML file");
    return {};
  }
  if (image_name.empty()) {
    QLOG_CRITICAL("The image tag was empty.");
  }
  const std::string image_file = resolveImagePath(image_name, meta_file.string());
  const std::optional<std::uint32_t> image_height = readPGMSize(image_file);
  if (!image_height) {
    // Without the height every zone would land mirrored about the origin's row.
    QLOG_ERROR("[PlaneObjectFactory] Failed to load image:{} ", image_file);
    return {};
  }

  const std::filesystem::path zone_file = map_directory / map_id / map_mark_file;
  QLOG_INFO("read map mark file {}", zone_file.string());
  std::optional<YAML::Node> layout;
  try {
    layout.emplace(loadZoneLayout(zone_file));
  } catch (const YAML::Exception &) {
    QLOG_CRITICAL("PlaneObjectFactory load {} failed", zone_file.string());
    return {};
  }
  if (!*layout || !layout->IsSequence()) {
    QLOG_CRITICAL("PlaneObjectFactory could not find valid zones");
    return {};
  }

  const PixelToMap frame{*meta, *image_height};
  std::vector<std::shared_ptr<Base>> zones;
  try {
    for (const YAML::Node & element : *layout) {
      std::optional<ZoneEntry> entry = readZone(element, mark_type, frame);
      if (!entry) {
        continue;
      }
      entry->zone->getGrid(meta->resolution);
      if (entry->zone->desc_type == static_cast<std::uint32_t>(DescType::CIRCLE_LIST)) {
        QLOG_INFO(
          "PlaneObjectFactory add mark type {} desctype CIRCLE_LIST, id {}", entry->type_text,
          entry->zone->id);
      } else {
        QLOG_INFO(
          "PlaneObjectFactory add mark type {} desctype BLOCK, id {}", entry->type_text,
          entry->zone->id);
      }
      zones.push_back(std::move(entry->zone));
    }
  } catch (const YAML::Exception &) {
    // A malformed zone must not escape: the caller rebuilds its zones on every map change.
    QLOG_CRITICAL("PlaneObjectFactory load {} failed", zone_file.string());
    return {};
  }
  return zones;
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__PLANE_OBJECT_HPP_
