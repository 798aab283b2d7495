// The zone factory on a map directory written to a scratch directory: one map "m1" with a
// 640 x 400 image at 5 cm per pixel whose lower left corner lies at (-10, -5).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using map_mark_test::critical;
using map_mark_test::error;
using map_mark_test::info;
using map_mark_test::LogLine;

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
      info("PlaneObjectFactory add mark type Narrow corridor desctype CIRCLE_LIST, id n0"),
      map_mark_test::warn("Block id n1 can not create a valid cache"),
      info("PlaneObjectFactory add mark type null desctype BLOCK, id n1")}));
}

TEST_F(PlaneObjectFactoryTest, ImageNamesMayBeRelativeOrAbsolute)
{
  const auto image = directory_.write("images/floor.pgm", "P2 640 200\n");
  directory_.write("m1/map.yaml", "image: " + image.string() + "\n" + kMetaValues);
  EXPECT_NEAR(load(4).at(0)->getPoints()[0].y, -10.0, 1e-9);
  directory_.write("m1/maps/floor.pgm", "P2 640 800\n");
  directory_.write("m1/map.yaml", "image: maps/floor.pgm\n" + kMetaValues);
  EXPECT_NEAR(load(4).at(0)->getPoints()[0].y, 20.0, 1e-9);
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
