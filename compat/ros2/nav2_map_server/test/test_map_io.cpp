#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "nav2_map_server/map_io.hpp"
#include "yaml-cpp/yaml.h"

namespace fs = std::filesystem;
using nav2_map_server::loadMapYaml;
using nav2_map_server::MapMode;

class MapIoTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    dir_ = fs::temp_directory_path() /
      ("map_io_test_" + std::to_string(::getpid()) + "_" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }

  void TearDown() override {fs::remove_all(dir_);}

  std::string write(const std::string & name, const std::string & content)
  {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << content;
    return path.string();
  }

  std::string writeMeta(const std::string & body)
  {
    return write("map.yaml", body);
  }

  static std::string meta(const std::string & overrides_last = "")
  {
    return "image: floor.pgm\nresolution: 0.05\norigin: [-10.0, -5.0, 0.5]\n"
           "free_thresh: 0.196\noccupied_thresh: 0.65\nnegate: 0\n" + overrides_last;
  }

  // Runs loadMapYaml expecting a YAML::Exception and returns its text.
  std::string yamlError(const std::string & body)
  {
    const auto path = writeMeta(body);
    try {
      loadMapYaml(path);
    } catch (const YAML::Exception & e) {
      return e.what();
    }
    ADD_FAILURE() << "no YAML::Exception for:\n" << body;
    return "";
  }

  fs::path dir_;
};

// ---- accepted meta files -------------------------------------------------------------------

TEST_F(MapIoTest, ReadsEveryValueOfACompleteFile)
{
  const auto p = loadMapYaml(writeMeta(meta("mode: scale\n")));
  EXPECT_DOUBLE_EQ(p.resolution, 0.05);
  ASSERT_EQ(p.origin.size(), 3u);
  EXPECT_DOUBLE_EQ(p.origin[0], -10.0);
  EXPECT_DOUBLE_EQ(p.origin[1], -5.0);
  EXPECT_DOUBLE_EQ(p.origin[2], 0.5);
  EXPECT_DOUBLE_EQ(p.free_thresh, 0.196);
  EXPECT_DOUBLE_EQ(p.occupied_thresh, 0.65);
  EXPECT_EQ(p.mode, MapMode::Scale);
  EXPECT_FALSE(p.negate);
}

TEST_F(MapIoTest, RelativeImageNameIsResolvedAgainstTheYamlDirectory)
{
  const auto path = write("m1/map.yaml", "image: maps/floor.pgm\nresolution: 0.1\n"
      "origin: [0, 0, 0]\nfree_thresh: 0.2\noccupied_thresh: 0.6\nnegate: 0\n");
  EXPECT_EQ(loadMapYaml(path).image_file_name, (dir_ / "m1" / "maps" / "floor.pgm").string());
}

TEST_F(MapIoTest, AbsoluteImageNameIsKept)
{
  const auto p = loadMapYaml(writeMeta("image: /data/maps/floor.pgm\nresolution: 0.1\n"
      "origin: [0, 0, 0]\nfree_thresh: 0.2\noccupied_thresh: 0.6\nnegate: 0\n"));
  EXPECT_EQ(p.image_file_name, "/data/maps/floor.pgm");
}

TEST_F(MapIoTest, MissingModeMeansTrinaryAndModeIsCaseInsensitive)
{
  EXPECT_EQ(loadMapYaml(writeMeta(meta())).mode, MapMode::Trinary);
  EXPECT_EQ(loadMapYaml(writeMeta(meta("mode: RAW\n"))).mode, MapMode::Raw);
}

TEST_F(MapIoTest, NegateAcceptsNumbersAndBooleans)
{
  const std::string base = "image: a.pgm\nresolution: 0.1\norigin: [0, 0, 0]\n"
    "free_thresh: 0.2\noccupied_thresh: 0.6\n";
  EXPECT_TRUE(loadMapYaml(writeMeta(base + "negate: 1\n")).negate);
  EXPECT_TRUE(loadMapYaml(writeMeta(base + "negate: true\n")).negate);
  EXPECT_FALSE(loadMapYaml(writeMeta(base + "negate: false\n")).negate);
}

TEST_F(MapIoTest, NoRangeValidationOfThresholdsOrResolution)
{
  const auto p = loadMapYaml(writeMeta("image: a.pgm\nresolution: -1\norigin: [0, 0, 0]\n"
      "free_thresh: 0.9\noccupied_thresh: 0.1\nnegate: 0\n"));
  EXPECT_DOUBLE_EQ(p.resolution, -1.0);
  EXPECT_DOUBLE_EQ(p.free_thresh, 0.9);
}

TEST_F(MapIoTest, TildeIsExpandedToHome)
{
  const char * old_home = std::getenv("HOME");
  const std::string saved = old_home ? old_home : "";
  ::setenv("HOME", dir_.c_str(), 1);
  write("m2/map.yaml", meta());
  const auto p = loadMapYaml("~/m2/map.yaml");
  ::setenv("HOME", saved.c_str(), 1);
  EXPECT_DOUBLE_EQ(p.resolution, 0.05);
}

// ---- rejected meta files -------------------------------------------------------------------

TEST_F(MapIoTest, MissingFileRaisesBadFile)
{
  EXPECT_THROW(loadMapYaml((dir_ / "absent.yaml").string()), YAML::BadFile);
}

TEST_F(MapIoTest, MissingRequiredKeysNameTheKey)
{
  EXPECT_NE(yamlError("resolution: 0.1\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find("Failed to parse YAML tag 'image' for reason: "),
    std::string::npos);
  EXPECT_NE(yamlError("image: a.pgm\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find("Failed to parse YAML tag 'resolution'"),
    std::string::npos);
  EXPECT_NE(yamlError("image: a.pgm\nresolution: 0.1\norigin: [0, 0, 0]\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find("Failed to parse YAML tag 'free_thresh'"),
    std::string::npos);
  EXPECT_NE(yamlError("image: a.pgm\nresolution: 0.1\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\n").find("Failed to parse YAML tag 'negate'"), std::string::npos);
}

TEST_F(MapIoTest, UnconvertibleValueNamesTheKey)
{
  EXPECT_NE(yamlError("image: a.pgm\nresolution: fine\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find("Failed to parse YAML tag 'resolution'"),
    std::string::npos);
  EXPECT_NE(yamlError("image: a.pgm\nresolution: 0.1\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: maybe\n").find("Failed to parse YAML tag 'negate'"),
    std::string::npos);
}

TEST_F(MapIoTest, EmptyImageIsRejected)
{
  EXPECT_NE(yamlError("image: ''\nresolution: 0.1\norigin: [0, 0, 0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find("The image tag was empty."), std::string::npos);
}

TEST_F(MapIoTest, OriginMustHaveThreeElements)
{
  EXPECT_NE(yamlError("image: a.pgm\nresolution: 0.1\norigin: [1.0, 2.0]\nfree_thresh: 0.2\n"
      "occupied_thresh: 0.6\nnegate: 0\n").find(
      "value of the 'origin' tag should have 3 elements, not 2"), std::string::npos);
}

TEST_F(MapIoTest, MalformedYamlIsAYamlException)
{
  EXPECT_THROW(loadMapYaml(writeMeta("image: [unclosed\n")), YAML::Exception);
}

TEST_F(MapIoTest, UnknownModeIsAnInvalidArgument)
{
  EXPECT_THROW(loadMapYaml(writeMeta(meta("mode: fancy\n"))), std::invalid_argument);
}

// ---- helpers and unsupported calls ---------------------------------------------------------

TEST_F(MapIoTest, MapModeNamesRoundTrip)
{
  for (auto mode : {MapMode::Trinary, MapMode::Scale, MapMode::Raw}) {
    EXPECT_EQ(nav2_map_server::map_mode_from_string(nav2_map_server::map_mode_to_string(mode)),
      mode);
  }
  EXPECT_THROW(nav2_map_server::map_mode_from_string("binary"), std::invalid_argument);
}

TEST_F(MapIoTest, HomeExpansionOnlyForLeadingTildeSlash)
{
  using nav2_map_server::expand_user_home_dir_if_needed;
  EXPECT_EQ(expand_user_home_dir_if_needed("~/a.yaml", "/home/u"), "/home/u/a.yaml");
  EXPECT_EQ(expand_user_home_dir_if_needed("a/~/b.yaml", "/home/u"), "a/~/b.yaml");
  EXPECT_EQ(expand_user_home_dir_if_needed("~/a.yaml", ""), "~/a.yaml");
}

TEST_F(MapIoTest, ImageLoadingAndSavingFailLoudly)
{
  nav_msgs::msg::OccupancyGrid grid;
  EXPECT_THROW(nav2_map_server::loadMapFromFile(loadMapYaml(writeMeta(meta())), grid),
    std::logic_error);
  EXPECT_THROW(nav2_map_server::saveMapToFile(grid, {}), std::logic_error);
}
