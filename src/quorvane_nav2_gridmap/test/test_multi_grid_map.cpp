// The plugin holder: update order, routing of the queries to the plugin of their kind, the peril
// bit, map-change answers, and the plugin interface's defaults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMap;
using quorvane_nav2_gridmap::MultiGridMap;
using quorvane_nav2_gridmap::ObsTypeBitMap;
using quorvane_nav2_gridmap::OBS_TYPE_PERIL;

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;
};

class CapturingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    lines.push_back({message.level, std::string(message.payload.data(), message.payload.size())});
  }
  void flush_() override {}
};

// A plugin whose answers the test sets and whose calls it records.
class ScriptedMap : public GridMap
{
public:
  ScriptedMap(int type, std::string name, std::vector<std::string> & journal)
  : journal_(journal)
  {
    type_ = type;
    name_ = std::move(name);
  }

  void onInitialize() override {}
  void updateMap() override
  {
    journal_.push_back("update " + name_);
    if (fail_update) {
      throw std::runtime_error("update of " + name_ + " failed");
    }
  }
  unsigned int getCost(unsigned int, unsigned int, bool enable) override
  {
    return enable ? cost : 0;
  }
  bool inRisk(unsigned int, unsigned int, int) override {return true;}
  bool inDanger(unsigned int, unsigned int, int r) override {return r > 2;}
  bool inPeril(unsigned int mx, unsigned int my, int) override {return mx == peril_x && my == peril_y;}
  double getDistance(unsigned int, unsigned int) override {return distance_cells;}
  bool inNarrowPassage(unsigned int, unsigned int, int) override {return true;}
  bool inPriorityPassage(unsigned int, unsigned int, int r) override {return r == 1;}
  bool hasPriorityPassage() override {return true;}
  float getPriorityPassageBoundaryDist(unsigned int, unsigned int) override {return 4.5f;}
  bool getObstacleType(unsigned int, unsigned int, ObsTypeBitMap & bits) const override
  {
    bits.set(stored_bits);
    return prepared;
  }
  bool callbackOnMapChange(std::string_view map_url) override
  {
    journal_.push_back(name_ + " told of " + std::string(map_url));
    return accept_map_change;
  }

  unsigned int cost{0};
  double distance_cells{0.0};
  unsigned int peril_x{1000};
  unsigned int peril_y{1000};
  unsigned int stored_bits{0};
  bool prepared{true};
  bool accept_map_change{true};
  bool fail_update{false};

private:
  std::vector<std::string> & journal_;
};

// A plugin that keeps every default of the interface.
class BareMap : public GridMap
{
public:
  void onInitialize() override {}
  void updateMap() override {}
};

class MultiGridMapTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    // The facade reads its level once, at first use: DEBUG lines are wanted here.
    setenv("SPDLOG_LEVEL", "debug", 1);
    setenv("SPDLOG_STDOUT", "false", 1);
    setenv("SPDLOG_SYSTEMD", "false", 1);
  }

  void SetUp() override
  {
    auto & logger = quorvane::Logger::Instance("spdlog").logger_;
    sink_ = std::make_shared<CapturingSink>();
    logger->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  std::shared_ptr<ScriptedMap> add(int type, const std::string & name)
  {
    auto map = std::make_shared<ScriptedMap>(type, name, journal_);
    holder_.addGridMap(map);
    return map;
  }

  int countLines(spdlog::level::level_enum level, const std::string & prefix_free_text) const
  {
    int count = 0;
    for (const auto & line : sink_->lines) {
      if (line.level == level && line.text.find(prefix_free_text) != std::string::npos) {
        ++count;
      }
    }
    return count;
  }

  nav2_costmap_2d::Costmap2D costmap_{20, 20, 0.05, 0.0, 0.0};
  MultiGridMap holder_{&costmap_};
  std::vector<std::string> journal_;
  std::shared_ptr<CapturingSink> sink_;
};

TEST_F(MultiGridMapTest, EmptyHolderUpdatesNothingLogsNothingAndAcceptsMapChanges)
{
  holder_.updateMap();
  EXPECT_TRUE(holder_.callbackOnMapChange("/maps/a"));
  EXPECT_TRUE(journal_.empty());
  EXPECT_TRUE(sink_->lines.empty());
}

TEST_F(MultiGridMapTest, DistanceMapsAreUpdatedBeforeObstacleTypeMaps)
{
  add(3, "obstacles");
  add(2, "distance");
  add(3, "more_obstacles");
  holder_.updateMap();
  ASSERT_EQ(journal_.size(), 3u);
  EXPECT_EQ(journal_[0], "update distance");
  EXPECT_EQ(holder_.getGridMaps().front()->getName(), "distance");
}

TEST_F(MultiGridMapTest, EachUpdateLogsItsPluginsTime)
{
  add(2, "distance");
  add(3, "obstacles");
  holder_.updateMap();
  EXPECT_EQ(countLines(spdlog::level::debug, "[DEBUG] updateMap for distance Time elapsed: "), 1);
  EXPECT_EQ(countLines(spdlog::level::debug, "[DEBUG] updateMap for obstacles Time elapsed: "), 1);
  EXPECT_EQ(sink_->lines.size(), 2u);
}

TEST_F(MultiGridMapTest, FailingUpdateEndsTheRound)
{
  add(2, "distance")->fail_update = true;
  add(3, "obstacles");
  EXPECT_THROW(holder_.updateMap(), std::runtime_error);
  EXPECT_EQ(journal_, std::vector<std::string>{"update distance"});
}

TEST_F(MultiGridMapTest, UnsupportedTypeIsRejectedAndNothingStored)
{
  add(2, "distance");
  try {
    add(4, "four");
    FAIL() << "type 4 was accepted";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Not support type 4");
  }
  try {
    add(-1, "negative");
    FAIL() << "type -1 was accepted";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Not support type -1");
  }
  EXPECT_EQ(holder_.getGridMaps().size(), 1u);
}

TEST_F(MultiGridMapTest, SecondPluginOfATypeAnswersQueriesButBothAreUpdated)
{
  add(2, "first")->cost = 10;
  add(2, "second")->cost = 20;
  holder_.updateMap();
  EXPECT_EQ(journal_.size(), 2u);
  EXPECT_EQ(holder_.getCost(0, 0, true), 20u);
}

TEST_F(MultiGridMapTest, MapChangeAsksEveryPluginAndAndsTheAnswers)
{
  add(2, "distance")->accept_map_change = false;
  add(3, "obstacles");
  EXPECT_FALSE(holder_.callbackOnMapChange("/maps/b"));
  EXPECT_EQ(
    journal_, (std::vector<std::string>{"distance told of /maps/b", "obstacles told of /maps/b"}));
}

TEST_F(MultiGridMapTest, DistanceQueriesGoToTheDistanceMapInMetres)
{
  auto distance = add(2, "distance");
  add(3, "obstacles");
  distance->distance_cells = 5.0;
  distance->cost = 127;
  EXPECT_DOUBLE_EQ(holder_.getDistance(3, 4), 0.25);
  EXPECT_EQ(holder_.getCost(3, 4, true), 127u);
  EXPECT_EQ(holder_.getCost(3, 4, false), 0u);
  EXPECT_TRUE(holder_.inRisk(3, 4, 0));
  EXPECT_FALSE(holder_.inDanger(3, 4, 2));
  EXPECT_TRUE(holder_.inDanger(3, 4, 3));
}

TEST_F(MultiGridMapTest, PassageQueriesGoToTheObstacleTypeMap)
{
  add(2, "distance");
  add(3, "obstacles");
  EXPECT_TRUE(holder_.hasPriorityPassage());
  EXPECT_FLOAT_EQ(holder_.getPriorityPassageBoundaryDist(1, 1), 4.5f);
  EXPECT_TRUE(holder_.inNarrowPassage(1, 1, 0));
  EXPECT_TRUE(holder_.inPriorityPassage(1, 1, 1));
  EXPECT_FALSE(holder_.inPriorityPassage(1, 1, 0));
}

TEST_F(MultiGridMapTest, ObstacleTypeAddsThePerilBitOnlyWhereTheDistanceMapReportsPeril)
{
  auto distance = add(2, "distance");
  add(3, "obstacles")->stored_bits = 0x8;
  distance->peril_x = 2;
  distance->peril_y = 3;
  ObsTypeBitMap bits;
  EXPECT_TRUE(holder_.getObstacleType(2, 3, bits));
  EXPECT_EQ(bits.bits_, 0x8u | OBS_TYPE_PERIL);
  EXPECT_TRUE(holder_.getObstacleType(2, 4, bits));
  EXPECT_EQ(bits.bits_, 0x8u);
  EXPECT_FALSE(holder_.isObstacleType(2, 3, OBS_TYPE_PERIL));
  EXPECT_TRUE(holder_.isObstacleType(2, 3, 0x8));
  EXPECT_TRUE(sink_->lines.empty());
}

TEST_F(MultiGridMapTest, UnpreparedObstacleTypeMapIsReportedButAnswered)
{
  add(2, "distance");
  auto obstacles = add(3, "obstacles");
  obstacles->prepared = false;
  obstacles->stored_bits = 0x20;
  ObsTypeBitMap bits;
  EXPECT_TRUE(holder_.getObstacleType(0, 0, bits));
  EXPECT_EQ(bits.bits_, 0x20u);
  EXPECT_TRUE(holder_.isObstacleType(0, 0, 0x20));
  EXPECT_EQ(countLines(spdlog::level::warn, "obstacle_type_gridmap may not have been prepared"), 2);
}

TEST_F(MultiGridMapTest, TypedQueryWithoutItsPluginThrowsNamingTheMissingType)
{
  add(3, "obstacles");
  try {
    holder_.getCost(0, 0, true);
    FAIL() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_NE(std::string(error.what()).find("distance map"), std::string::npos);
  }
  ObsTypeBitMap bits;
  EXPECT_THROW(holder_.getObstacleType(0, 0, bits), std::runtime_error);

  MultiGridMap distance_only(&costmap_);
  distance_only.addGridMap(std::make_shared<ScriptedMap>(2, "distance", journal_));
  try {
    distance_only.inNarrowPassage(0, 0, 0);
    FAIL() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_NE(std::string(error.what()).find("obstacle-type map"), std::string::npos);
  }
  EXPECT_THROW(distance_only.isObstacleType(0, 0, 0x4), std::runtime_error);
}

class GridMapDefaultsTest : public ::testing::Test
{
protected:
  BareMap map_;
};

TEST_F(GridMapDefaultsTest, QueriesOfAnotherKindThrowNotImplemented)
{
  auto expectNotImplemented = [](auto && call) {
      try {
        call();
        ADD_FAILURE() << "no exception";
      } catch (const std::runtime_error & error) {
        EXPECT_STREQ(error.what(), "Not Implemented");
      }
    };
  expectNotImplemented([&] {map_.getCost(0, 0, true);});
  expectNotImplemented([&] {map_.inRisk(0, 0, 0);});
  expectNotImplemented([&] {map_.inDanger(0, 0, 0);});
  expectNotImplemented([&] {map_.inNarrowPassage(0, 0, 0);});
  expectNotImplemented([&] {map_.inPriorityPassage(0, 0, 0);});
  expectNotImplemented([&] {map_.inPeril(0, 0, 0);});
  expectNotImplemented([&] {map_.distanceToBiCostmap(true);});
}

TEST_F(GridMapDefaultsTest, OtherQueriesGiveNeutralAnswers)
{
  EXPECT_FALSE(map_.hasPriorityPassage());
  EXPECT_FLOAT_EQ(map_.getPriorityPassageBoundaryDist(0, 0), 0.0f);
  EXPECT_DOUBLE_EQ(map_.getDistance(0, 0), 0.0);
  ObsTypeBitMap bits;
  bits.set(0x44);
  EXPECT_FALSE(map_.getObstacleType(0, 0, bits));
  EXPECT_EQ(bits.bits_, 0x44u);
  EXPECT_TRUE(map_.callbackOnMapChange("/maps/c"));
}

}  // namespace
