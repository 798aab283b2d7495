// The zone factory on a map directory written to a scratch directory: one map "m1" with a
// 640 x 400 image at 5 cm per pixel whose lower left corner lies at (-10, -5).

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using map_mark_test::critical;
using map_mark_test::error;
using map_mark_test::info;
using map_mark_test::LogLine;

// A large site's zones log tens of thousands of lines: the recorder reads them, the console
// need not show them.
class QuietConsole : public ::testing::Environment
{
public:
  void SetUp() override {setenv("SPDLOG_STDOUT", "false", 1);}
};

const ::testing::Environment * const kQuietConsole =
  ::testing::AddGlobalTestEnvironment(new QuietConsole);

const std::string kMetaValues =
  "resolution: 0.05\norigin: [-10.0, -5.0, 0.0]\nnegate: 0\noccupied_thresh: 0.65\n"
  "free_thresh: 0.196\n";
const std::string kMeta = "image: map.pgm\n" + kMetaValues;

const char kZones[] =
  "editlayout:\n"
  "  - {type: narrow corridor, desctype: circle, id: 7, radius: 4,\n"
  "     points: [{x: 100, y: 300}, {x: 120.5, y: 300}]}\n"
  "  - {type: priority passage, desctype: block, id: p1,\n"
  "     rectangle: [{x: 0, y: 400}, {x: 40, y: 400}, {x: 40, y: 380}, {x: 0, y: 380}]}\n"
  "  - {type: forbidden, desctype: block, id: f1, rectangle: [{x: 1, y: 1}, {x: 9, y: 9}]}\n"
  "  - not a zone\n"
  "  - {type: narrow corridor, desctype: virtualWall, id: w1, points: [{x: 1, y: 1}]}\n"
  "  - {type: Narrow corridor, desctype: circle, id: n0, radius: 1, points: [{x: 0, y: 0}]}\n"
  "  - {type: ~, desctype: block, id: n1, rectangle: []}\n";

class PlaneObjectFactoryTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    directory_.write("history.map", "m1\n");
    directory_.write("m1/map.yaml", kMeta);
    directory_.write("m1/map.pgm", "P5\n# hand made\n640 400\n255\n");
    directory_.write("m1/mark.yaml", kZones);
  }

  std::vector<std::shared_ptr<plane_object::Base>> load(std::uint32_t mark_type)
  {
    log_.clear();
    return plane_object::PlaneObjectFactory(
      directory_.path(), "history.map", "map.yaml", "mark.yaml", mark_type);
  }

  std::string inMap(const std::string & name) const
  {
    return (directory_.path() / "m1" / name).string();
  }

  // The lines every run logs up to the zone file, then `tail`.
  std::vector<LogLine> uptoZoneFile(const std::vector<LogLine> & tail) const
  {
    std::vector<LogLine> lines{
      info("getMapId m1"), info("read map meta file " + inMap("map.yaml")),
      info("read map mark file " + inMap("mark.yaml"))};
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
  }

  void expectZoneFileRefused(const std::string & zones, const LogLine & failure)
  {
    directory_.write("m1/mark.yaml", zones);
    EXPECT_TRUE(load(4).empty()) << zones;
    EXPECT_EQ(log_.lines(), uptoZoneFile({failure})) << zones;
  }

  map_mark_test::ScratchDirectory directory_;
  map_mark_test::LogRecorder log_;
};

void expectPoint(const plane_object::Point & point, double x, double y, double r)
{
  EXPECT_NEAR(point.x, x, 1e-9);
  EXPECT_NEAR(point.y, y, 1e-9);
  EXPECT_NEAR(point.r, r, 1e-9);
}

TEST_F(PlaneObjectFactoryTest, BuildsTheCircleListsOfTheRequestedTypeInMapMetres)
{
  const auto zones = load(4);
  ASSERT_EQ(zones.size(), 1u);
  const auto & corridor = *zones[0];
  EXPECT_NE(dynamic_cast<const plane_object::CircleList *>(&corridor), nullptr);
  EXPECT_EQ(corridor.type, 4u);
  EXPECT_EQ(corridor.desc_type, 1u);
  EXPECT_EQ(corridor.id, "7");
  ASSERT_EQ(corridor.getPoints().size(), 2u);
  expectPoint(corridor.getPoints()[0], -5.0, 0.0, 0.2);
  expectPoint(corridor.getPoints()[1], -3.975, 0.0, 0.2);
  ASSERT_TRUE(corridor.grid);
  EXPECT_EQ(corridor.grid->resolution(), 0.05);
  EXPECT_EQ(
    log_.lines(), uptoZoneFile(
      {info("PlaneObjectFactory add mark type narrow corridor desctype CIRCLE_LIST, id 7")}));
  EXPECT_EQ(log_.lines().back().file, "./include/quorvane_nav2_gridmap/map_mark/plane_object.hpp");
  EXPECT_EQ(log_.lines().back().function, "PlaneObjectFactory");
}

TEST_F(PlaneObjectFactoryTest, BuildsTheBlocksOfTheRequestedType)
{
  const auto zones = load(5);
  ASSERT_EQ(zones.size(), 1u);
  EXPECT_NE(dynamic_cast<const plane_object::Block *>(zones[0].get()), nullptr);
  EXPECT_EQ(zones[0]->desc_type, 2u);
  const auto & vertices = zones[0]->getPoints();
  ASSERT_EQ(vertices.size(), 4u);
  expectPoint(vertices[0], -10.0, -5.0, 0.0);
  expectPoint(vertices[2], -8.0, -4.0, 0.0);
  EXPECT_GT(zones[0]->grid->cellCount(), 0u);
  EXPECT_EQ(
    log_.lines(), uptoZoneFile(
      {info("PlaneObjectFactory add mark type priority passage desctype BLOCK, id p1")}));
}

// The zone file is read event by event; what YAML allows beyond plain lists reads as yaml-cpp
// reads it: anchors and aliases (a zone, a vertex, the whole list), the first of two equal keys,
// quoted, tagged, signed and exponent numbers, bytes that are not UTF-8, and nothing after the
// first document.
TEST_F(PlaneObjectFactoryTest, ZoneFilesReadAsAWholeDocumentReads)
{
  const std::string zone =
    "{type: priority passage, type: forbidden, desctype: block, id: a1, rectangle: [*corner, "
    "{x: \"40\", y: !!str 400}, {x: +40, y: 3.8e2}, {x: 0, y: 380}]}";
  for (const std::string & zones : std::vector<std::string>{
      "corner: &corner {x: 0, y: 400}\neditlayout:\n  - &zone " + zone + "\n  - *zone\n",
      "corner: &corner {x: 0, y: 400}\nlist: &list\n  - " + zone + "\n  - " + zone +
      "\neditlayout: *list\n",
      "# caf\xe9\ncorner: &corner {x: 0, y: 400}\neditlayout: [" + zone + ", " + zone + "]\n" +
      "---\neditlayout: [\n"})
  {
    directory_.write("m1/mark.yaml", zones);
    const auto read = load(5);
    ASSERT_EQ(read.size(), 2u) << zones;
    for (const auto & passage : read) {
      EXPECT_EQ(passage->id, "a1");
      ASSERT_EQ(passage->getPoints().size(), 4u);
      expectPoint(passage->getPoints()[0], -10.0, -5.0, 0.0);
      expectPoint(passage->getPoints()[1], -8.0, -5.0, 0.0);
      expectPoint(passage->getPoints()[2], -8.0, -4.0, 0.0);
    }
  }
}

// An empty block is a zone, not a failure: its grid has no cells and says so.
TEST_F(PlaneObjectFactoryTest, TypeZeroSelectsTheUnknownTypeTexts)
{
  const auto zones = load(0);
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_EQ(zones[0]->id, "n0");
  EXPECT_EQ(zones[1]->id, "n1");
  EXPECT_EQ(zones[1]->grid->cellCount(), 0u);
  EXPECT_EQ(
    log_.lines(), uptoZoneFile({
      map_mark_test::warn(
        "PlaneObjectFactory clips zone id n0 to the map image: its part beyond the image is "
        "dropped"),
      info("PlaneObjectFactory add mark type Narrow corridor desctype CIRCLE_LIST, id n0"),
      map_mark_test::warn("Block id n1 can not create a valid cache"),
      info("PlaneObjectFactory add mark type null desctype BLOCK, id n1")}));
}

TEST_F(PlaneObjectFactoryTest, ImageNamesMayBeRelativeOrAbsolute)
{
  const auto image = directory_.write("images/floor.pgm", "P2 640 320\n");
  directory_.write("m1/map.yaml", "image: " + image.string() + "\n" + kMetaValues);
  EXPECT_NEAR(load(4).at(0)->getPoints()[0].y, -4.0, 1e-9);
  directory_.write("m1/maps/floor.pgm", "P2 640 800\n");
  directory_.write("m1/map.yaml", "image: maps/floor.pgm\n" + kMetaValues);
  EXPECT_NEAR(load(4).at(0)->getPoints()[0].y, 20.0, 1e-9);
}

// Restores the working directory it found, whatever the test does meanwhile.
class WorkingDirectory
{
public:
  explicit WorkingDirectory(const std::filesystem::path & path)
  : previous_(std::filesystem::current_path())
  {
    std::filesystem::current_path(path);
  }
  ~WorkingDirectory() {std::filesystem::current_path(previous_);}
  WorkingDirectory(const WorkingDirectory &) = delete;
  WorkingDirectory & operator=(const WorkingDirectory &) = delete;

private:
  std::filesystem::path previous_;
};

// map_server already places a relative image name beside the meta file; placing it there a
// second time lost every zone of a map directory given relative to the working directory.
TEST_F(PlaneObjectFactoryTest, RelativeMapDirectoryLoadsTheSameZones)
{
  const auto absolute = load(4);
  ASSERT_EQ(absolute.size(), 1u);
  const WorkingDirectory here(directory_.path().parent_path());
  const std::filesystem::path relative = directory_.path().filename();
  const auto zones =
    plane_object::PlaneObjectFactory(relative, "history.map", "map.yaml", "mark.yaml", 4);
  ASSERT_EQ(zones.size(), 1u);
  ASSERT_EQ(zones[0]->getPoints().size(), 2u);
  expectPoint(zones[0]->getPoints()[0], -5.0, 0.0, 0.2);
  EXPECT_EQ(zones[0]->grid->cellCount(), absolute[0]->grid->cellCount());
}

// A FIFO without a writer, a directory or an endless device in a file's place, or a zone file
// too large to parse in time, fails that load with a log line and no zones; nothing blocks and
// nothing is thrown, and the next load of a repaired directory finds the zones again.
TEST_F(PlaneObjectFactoryTest, FilesThatAreNotRegularFailTheLoad)
{
  const auto replace = [this](const std::string & name, const std::string & kind) {
      const std::filesystem::path file = directory_.path() / "m1" / name;
      std::filesystem::remove_all(file);
      if (kind == "fifo") {
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      } else if (kind == "directory") {
        std::filesystem::create_directory(file);
      } else {
        std::filesystem::create_symlink("/dev/zero", file);
      }
    };
  const auto restore = [this](const std::string & name, const std::string & content) {
      std::filesystem::remove_all(directory_.path() / "m1" / name);
      directory_.write("m1/" + name, content);
    };
  const std::string not_regular = " is not a regular file";
  for (const std::string kind : {"fifo", "directory", "device"}) {
    replace("mark.yaml", kind);
    EXPECT_TRUE(load(4).empty()) << kind;
    EXPECT_EQ(
      log_.lines(), uptoZoneFile({
        error(inMap("mark.yaml") + not_regular),
        critical("PlaneObjectFactory load " + inMap("mark.yaml") + " failed")})) << kind;
    restore("mark.yaml", kZones);

    replace("map.yaml", kind);
    EXPECT_TRUE(load(4).empty()) << kind;
    EXPECT_EQ(
      log_.lines(), (std::vector{
        info("getMapId m1"), info("read map meta file " + inMap("map.yaml")),
        error(inMap("map.yaml") + not_regular),
        critical("PlaneObjectFactory load " + inMap("map.yaml") + " failed")})) << kind;
    restore("map.yaml", kMeta);

    replace("map.pgm", kind);
    EXPECT_TRUE(load(4).empty()) << kind;
    EXPECT_EQ(
      log_.lines().back(),
      error("[PlaneObjectFactory] Failed to load image:" + inMap("map.pgm") + " ")) << kind;
    restore("map.pgm", "P5\n640 400\n255\n");
    EXPECT_EQ(load(4).size(), 1u) << kind;
  }

  // A zone file far larger than any site's is refused whole; the next load of a sound one is not.
  directory_.write(
    "m1/mark.yaml", std::string(kZones) + "# " + std::string(std::size_t{17} << 20, 'x') + "\n");
  EXPECT_TRUE(load(4).empty());
  ASSERT_EQ(log_.lines().size(), 5u);
  EXPECT_EQ(log_.lines()[3].level, spdlog::level::err);
  EXPECT_EQ(log_.lines()[3].text.rfind(inMap("mark.yaml") + " is larger than ", 0), 0u);
  EXPECT_EQ(log_.lines()[4], critical("PlaneObjectFactory load " + inMap("mark.yaml") + " failed"));
  directory_.write("m1/mark.yaml", kZones);
  EXPECT_EQ(load(4).size(), 1u);
}

// Only the map image can be reached: a zone wholly beside it is skipped and one reaching beyond
// it keeps only the part on it, so that a zone's grid never outgrows the image, however large
// the zone is drawn.
TEST_F(PlaneObjectFactoryTest, ZonesAreKeptToTheMapImage)
{
  std::string zones = "editlayout:\n";
  for (int i = 0; i < 20; ++i) {
    zones += "  - {type: narrow corridor, desctype: circle, id: c" + std::to_string(i) +
      ", radius: 8000, points: [{x: " + std::to_string(30 * i) + ", y: 200}]}\n";
  }
  zones +=
    "  - {type: narrow corridor, desctype: block, id: beside,\n"
    "     rectangle: [{x: 700, y: 10}, {x: 900, y: 10}, {x: 900, y: 90}]}\n"
    "  - {type: narrow corridor, desctype: block, id: across,\n"
    "     rectangle: [{x: -1000, y: -1000}, {x: 1000, y: -1000}, {x: 1000, y: 1000},\n"
    "                 {x: -1000, y: 1000}]}\n";
  directory_.write("m1/mark.yaml", zones);
  const auto loaded = load(4);
  ASSERT_EQ(loaded.size(), 21u);
  for (const auto & zone : loaded) {
    const auto & grid = *zone->grid;
    EXPECT_LE(grid.width(), 641u) << zone->id;
    EXPECT_LE(grid.height(), 401u) << zone->id;
    // The image lies wholly inside every one of these zones: each grid is full.
    EXPECT_EQ(
      std::count(grid.cells(), grid.cells() + grid.cellCount(), true),
      static_cast<std::ptrdiff_t>(grid.cellCount())) << zone->id;
  }
  EXPECT_EQ(loaded.back()->id, "across");
  const auto & lines = log_.lines();
  EXPECT_NE(
    std::find(
      lines.begin(), lines.end(),
      map_mark_test::warn(
        "PlaneObjectFactory skips zone id beside: it lies wholly outside the map image")),
    lines.end());
  EXPECT_EQ(
    std::count(
      lines.begin(), lines.end(),
      map_mark_test::warn(
        "PlaneObjectFactory clips zone id c7 to the map image: its part beyond the image is "
        "dropped")), 1);
}

// Zone i of a large site: a block or a circle list of either kind, in block style.
std::string siteZone(int i)
{
  const double x = 20.5 + i * 37 % 580;
  const double y = 20.5 + i * 53 % 340;
  const auto point = [](double px, double py) {
      return fmt::format("      - x: {}\n        y: {}\n", px, py);
    };
  const std::string zone = fmt::format(
    "  - type: {}\n    id: {}\n", i % 2 == 0 ? "narrow corridor" : "priority passage", i);
  if (i % 4 < 2) {
    return zone + "    desctype: block\n    rectangle:\n" + point(x, y) + point(x + 9, y) +
           point(x + 9, y + 7) + point(x, y + 7);
  }
  return zone + "    desctype: circle\n    radius: 3\n    points:\n" + point(x, y) +
         point(x + 6, y);
}

// A large site: 30,000 zones of both kinds, some 5 MB, every one of them loaded.
TEST_F(PlaneObjectFactoryTest, LargeSiteLoadsEveryZone)
{
  constexpr int kZones = 30000;
  std::string zones = "editlayout:\n";
  for (int i = 0; i < kZones; ++i) {
    zones += siteZone(i);
  }
  ASSERT_GT(zones.size(), std::size_t{4} << 20);
  directory_.write("m1/mark.yaml", zones);
  for (const std::uint32_t type : {4u, 5u}) {
    const auto loaded = load(type);
    std::vector<std::string> ids;
    for (const auto & zone : loaded) {
      ids.push_back(zone->grid && zone->grid->cellCount() > 0 ? zone->id : "no grid");
    }
    std::vector<std::string> expected;
    for (int i = type == 4u ? 0 : 1; i < kZones; i += 2) {
      expected.push_back(std::to_string(i));
    }
    EXPECT_EQ(ids, expected) << "mark type " << type;
  }
}

// A zone spanning a whole large site (9000 x 8000 cells) leaves room for the zones after it.
// Once the grids of a load reach their bound, a zone that no longer fits is left out and named,
// and a later zone that still fits is loaded.
TEST_F(PlaneObjectFactoryTest, ZoneSpanningTheSiteKeepsTheLaterZones)
{
  directory_.write("m1/map.pgm", "P5\n9000 8000\n255\n");
  const std::string site = "[{x: 0, y: 0}, {x: 9000, y: 0}, {x: 9000, y: 8000}, {x: 0, y: 8000}]";
  const std::string room = "[{x: 10, y: 10}, {x: 40, y: 10}, {x: 40, y: 30}, {x: 10, y: 30}]";
  std::string zones = "editlayout:\n";
  for (const std::string id : {"site1", "room1", "site2", "site3", "site4", "room2", "site5"}) {
    zones += "  - {type: narrow corridor, desctype: block, id: " + id + ", rectangle: " +
      (id.rfind("site", 0) == 0 ? site : room) + "}\n";
  }
  directory_.write("m1/mark.yaml", zones);
  const auto loaded = load(4);
  std::vector<std::string> ids;
  for (const auto & zone : loaded) {
    ids.push_back(zone->id);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"site1", "room1", "site2", "site3", "room2"}));
  ASSERT_FALSE(log_.lines().empty());
  EXPECT_EQ(
    log_.lines().back(), map_mark_test::warn(
      "PlaneObjectFactory skips 2 zones whose grids would take the zones of this load past "
      "268435456 grid cells: ids site4, site5"));
}

TEST_F(PlaneObjectFactoryTest, UnreadableMapIdEndsTheRun)
{
  std::filesystem::remove(directory_.path() / "history.map");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(
    log_.lines(), (std::vector{
      error("history map info empty"), error("getMapId error history map info empty"),
      critical("PlaneObjectFactory getMapId error std::exception")}));
  directory_.write("history.map", "../m1\n");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(
    log_.lines().at(0), error("history map id ../m1 is not a directory in the map directory"));
  EXPECT_EQ(log_.lines().at(2), critical("PlaneObjectFactory getMapId error std::exception"));
}

TEST_F(PlaneObjectFactoryTest, UnusableMetaFileEndsTheRun)
{
  const std::vector failed{
    info("getMapId m1"), info("read map meta file " + inMap("map.yaml")),
    critical("PlaneObjectFactory load " + inMap("map.yaml") + " failed")};
  for (const std::string & meta : std::vector<std::string>{
      std::string("origin: [0, 0, 0]\n"), std::string("resolution: [1]\norigin: [0, 0, 0]\n"),
      std::string("resolution: 0.05\norigin: [-10.0]\n"), std::string("resolution: 0.05\n: :\n")})
  {
    directory_.write("m1/map.yaml", meta);
    EXPECT_TRUE(load(4).empty()) << meta;
    EXPECT_EQ(log_.lines(), failed) << meta;
  }
  std::filesystem::remove(directory_.path() / "m1/map.yaml");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(log_.lines(), failed);
}

TEST_F(PlaneObjectFactoryTest, MetaFileThatMapServerRejectsEndsTheRun)
{
  for (const std::string & meta : std::vector<std::string>{
      kMetaValues, kMeta + "mode: bogus\n",
      "image: map.pgm\nresolution: 0.05\norigin: [-10.0, -5.0]\n"})
  {
    directory_.write("m1/map.yaml", meta);
    EXPECT_TRUE(load(4).empty()) << meta;
    EXPECT_EQ(
      log_.lines().back(), critical("[ERROR] [map_io]: Failed processing YAML file")) << meta;
    EXPECT_EQ(log_.lines().size(), 3u) << meta;
  }
}

TEST_F(PlaneObjectFactoryTest, UnreadableImageHeightEndsTheRun)
{
  directory_.write("m1/map.pgm", "P6\n640 400\n255\n");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(
    log_.lines(), (std::vector{
      info("getMapId m1"), info("read map meta file " + inMap("map.yaml")),
      error("Error: Unsupported PGM format!"),
      error("[PlaneObjectFactory] Failed to load image:" + inMap("map.pgm") + " ")}));
}

TEST_F(PlaneObjectFactoryTest, UnreadableZoneFileEndsTheRun)
{
  const auto failed = critical("PlaneObjectFactory load " + inMap("mark.yaml") + " failed");
  expectZoneFileRefused("editlayout: [\n", failed);
  // Zones read before a syntax error further on are not kept, nor is any of them logged.
  expectZoneFileRefused(
    "editlayout:\n  - {type: narrow corridor, desctype: circle, id: 1, radius: 2, points: []}\n"
    "  - {type: [\n", failed);
  expectZoneFileRefused("editlayout: " + std::string(100000, '[') + "\n", failed);
  expectZoneFileRefused("just some text\n", failed);
  std::filesystem::remove(directory_.path() / "m1/mark.yaml");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(log_.lines(), uptoZoneFile({failed}));
}

TEST_F(PlaneObjectFactoryTest, ZoneFileWithoutAZoneListEndsTheRun)
{
  const auto no_zones = critical("PlaneObjectFactory could not find valid zones");
  expectZoneFileRefused("editlayout: {type: narrow corridor}\n", no_zones);
  expectZoneFileRefused("", no_zones);
  expectZoneFileRefused("layout: []\n", no_zones);
  directory_.write("m1/mark.yaml", "editlayout: []\n");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(log_.lines(), uptoZoneFile({}));
}

// One malformed zone, of whatever type, discards the whole file rather than raising.
TEST_F(PlaneObjectFactoryTest, MalformedZoneDiscardsTheZoneFile)
{
  const auto failed = critical("PlaneObjectFactory load " + inMap("mark.yaml") + " failed");
  const std::string circle = "editlayout:\n  - {type: narrow corridor, desctype: circle, ";
  for (const std::string & zones : std::vector<std::string>{
      "editlayout:\n  - {desctype: block, id: q}\n",
      "editlayout:\n  - {type: [forbidden], desctype: block, id: q}\n",
      circle + "id: 1, radius: wide, points: [{x: 1, y: 1}]}\n",
      circle + "id: 1, points: [{x: 1, y: 1}]}\n",
      circle + "id: 1, radius: 2, points: [{x: 1}]}\n",
      circle + "id: 1, radius: 2, points: [{x: .nan, y: 1}]}\n",
      circle + "id: 1, radius: 2, points: [7]}\n",
      circle + "id: 1, radius: 2, points: [{x: 1e400, y: 1}]}\n",
      circle + "radius: 2, points: [{x: 1, y: 1}]}\n",
      circle + "id: [1], radius: 2, points: [{x: 1, y: 1}]}\n",
      "editlayout:\n  - {type: narrow corridor, desctype: {a: 1}, id: 1}\n"})
  {
    expectZoneFileRefused(zones, failed);
  }
  directory_.write("m1/mark.yaml", std::string(kZones) + "  - {id: untyped}\n");
  EXPECT_TRUE(load(4).empty());
  EXPECT_EQ(
    log_.lines(), uptoZoneFile({
      info("PlaneObjectFactory add mark type narrow corridor desctype CIRCLE_LIST, id 7"),
      failed}));
}

}  // namespace
