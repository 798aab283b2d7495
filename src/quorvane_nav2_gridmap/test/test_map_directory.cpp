// The small readers of the map directory: history map id, keyword tables, meta values and the
// pixel-to-map convention.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using map_mark_test::error;
using map_mark_test::info;

class MapDirectoryTest : public ::testing::Test
{
protected:
  std::string mapIdOf(const std::string & history)
  {
    return plane_object::getMapId(directory_.write("history.map", history));
  }

  // The two ERROR lines every refused history file gives before std::exception.
  void expectRefused(const std::string & history, const std::vector<map_mark_test::LogLine> & log)
  {
    log_.clear();
    EXPECT_THROW(mapIdOf(history), std::exception) << history;
    EXPECT_EQ(log_.lines(), log) << history;
  }

  map_mark_test::ScratchDirectory directory_;
  map_mark_test::LogRecorder log_;
};

TEST_F(MapDirectoryTest, MapIdIsTheFirstTokenOfTheHistoryFile)
{
  EXPECT_EQ(mapIdOf("  map_07\nprevious maps follow"), "map_07");
  EXPECT_EQ(mapIdOf("\t\nfloor-2"), "floor-2");
  EXPECT_EQ(log_.lines(), (std::vector{info("getMapId map_07"), info("getMapId floor-2")}));
  EXPECT_EQ(log_.lines()[0].file, "./include/quorvane_nav2_gridmap/map_mark/plane_object.hpp");
  EXPECT_EQ(log_.lines()[0].function, "getMapId");
}

TEST_F(MapDirectoryTest, EmptyOrMissingHistoryFileRaises)
{
  const std::vector empty{
    error("history map info empty"), error("getMapId error history map info empty")};
  expectRefused("", empty);
  expectRefused(" \n\t \n", empty);
  log_.clear();
  EXPECT_THROW(plane_object::getMapId(directory_.path() / "absent.map"), std::exception);
  EXPECT_EQ(log_.lines(), empty);
}

TEST_F(MapDirectoryTest, MapIdMustNameADirectoryInsideTheMapDirectory)
{
  for (const std::string id : {"../elsewhere", "/etc", "m1/sub", "..", "."}) {
    expectRefused(
      id + "\n", {
        error("history map id " + id + " is not a directory in the map directory"),
        error("getMapId error history map id " + id + " is invalid")});
  }
}

// Whatever stands at the history file's place, the reader answers at once: a FIFO without a
// writer, a directory, an endless device, a file too large for any history, an id with a NUL.
TEST_F(MapDirectoryTest, HistoryFileMustBeARegularFileOfBoundedSize)
{
  const std::filesystem::path history = directory_.path() / "history.map";
  const auto expectNotReadable = [&](const std::string & reason) {
      log_.clear();
      EXPECT_THROW(plane_object::getMapId(history), std::exception) << reason;
      EXPECT_EQ(
        log_.lines(), (std::vector{
        error("history map file " + history.string() + " " + reason),
        error("getMapId error " + history.string() + " " + reason)}));
      std::filesystem::remove_all(history);
    };
  ASSERT_EQ(::mkfifo(history.c_str(), 0600), 0);
  expectNotReadable("is not a regular file");
  std::filesystem::create_directory(history);
  expectNotReadable("is not a regular file");
  std::filesystem::create_symlink("/dev/zero", history);
  expectNotReadable("is not a regular file");
  directory_.write("history.map", "m1\n" + std::string(plane_object::kMaxTextFileBytes, '#'));
  expectNotReadable(
    "is larger than " + std::to_string(plane_object::kMaxTextFileBytes) + " bytes");

  const std::string id_with_nul("m1\0x", 4);
  expectRefused(
    id_with_nul + "\n", {
      error("history map id " + id_with_nul + " is not a directory in the map directory"),
      // The exception's text, read as a C string, ends at the NUL.
      error("getMapId error history map id m1")});
}

// The meta reader fails the way yaml-cpp fails on a missing file, never by blocking or by an
// exception of another kind.
TEST_F(MapDirectoryTest, MetaFileMustBeARegularFile)
{
  const std::filesystem::path meta = directory_.path() / "map.yaml";
  ASSERT_EQ(::mkfifo(meta.c_str(), 0600), 0);
  EXPECT_THROW(plane_object::MapMeta::read(meta), YAML::BadFile);
  std::filesystem::remove(meta);
  std::filesystem::create_directory(meta);
  EXPECT_THROW(plane_object::MapMeta::read(meta), YAML::BadFile);
  EXPECT_EQ(
    log_.lines(), (std::vector{
      error(meta.string() + " is not a regular file"),
      error(meta.string() + " is not a regular file")}));
}

TEST(KeywordTest, MarkTypesMatchTheWholeKeywordExactly)
{
  EXPECT_EQ(plane_object::getType("erase"), 1);
  EXPECT_EQ(plane_object::getType("forbidden"), 2);
  EXPECT_EQ(plane_object::getType("uncleanable"), 3);
  EXPECT_EQ(plane_object::getType("narrow corridor"), 4);
  EXPECT_EQ(plane_object::getType("priority passage"), 5);
  EXPECT_EQ(plane_object::getType("Narrow corridor"), 0);
  EXPECT_EQ(plane_object::getType("narrow  corridor"), 0);
  EXPECT_EQ(plane_object::getType("narrow"), 0);
  EXPECT_EQ(plane_object::getType(""), 0);
}

TEST(KeywordTest, ShapesMatchTheWholeKeywordExactly)
{
  EXPECT_EQ(plane_object::getDescType("circle"), 1);
  EXPECT_EQ(plane_object::getDescType("block"), 2);
  EXPECT_EQ(plane_object::getDescType("virtualWall"), 3);
  EXPECT_EQ(plane_object::getDescType("virtualwall"), 0);
  EXPECT_EQ(plane_object::getDescType("circles"), 0);
}

TEST_F(MapDirectoryTest, MetaValuesMustPlaceAZone)
{
  const auto read = [this](const std::string & yaml) {
      return plane_object::MapMeta::read(directory_.write("map.yaml", yaml));
    };
  const auto meta = read("resolution: 0.05\norigin: [-10.0, -5.5, 0.0]\n");
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->resolution, 0.05);
  EXPECT_EQ(meta->origin_x, -10.0);
  EXPECT_EQ(meta->origin_y, -5.5);
  EXPECT_FALSE(read("resolution: 0.05\norigin: [-10.0]\n"));
  EXPECT_FALSE(read("resolution: 0\norigin: [0, 0, 0]\n"));
  EXPECT_FALSE(read("resolution: .nan\norigin: [0, 0, 0]\n"));
  EXPECT_THROW(read("origin: [0, 0, 0]\n"), YAML::Exception);
  EXPECT_THROW(read("resolution: fine\norigin: [0, 0, 0]\n"), YAML::Exception);
  EXPECT_THROW(read("resolution: 0.05\norigin: 3\n"), YAML::Exception);
}

TEST(PixelToMapTest, ImageRowsCountDownFromTheTopEdge)
{
  const plane_object::PixelToMap frame{{0.05, -10.0, -5.0}, 400};
  const plane_object::Point centre = frame.toMap(100.0, 300.0, 4.0);
  EXPECT_DOUBLE_EQ(centre.x, -5.0);
  // clang may fuse the multiply and the add, which leaves the rounding error of 0.05 visible.
  EXPECT_NEAR(centre.y, 0.0, 1e-12);
  EXPECT_DOUBLE_EQ(centre.r, 0.2);
  const plane_object::Point corner = frame.toMap(0.0, 400.0);
  EXPECT_EQ(corner.x, -10.0);
  EXPECT_EQ(corner.y, -5.0);
  EXPECT_EQ(corner.r, 0.0);
  EXPECT_DOUBLE_EQ(frame.toMap(0.0, 0.0).y, 15.0);
}

}  // namespace
