// The plugin holder: update order, routing of the queries to the plugin of their kind, the peril
// bit, map-change answers, and the plugin interface's defaults.

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMap;
using quorvane_nav2_gridmap::MultiGridMap;
using quorvane_nav2_gridmap::ObsTypeBitMap;
using quorvane_nav2_gridmap::OBS_TYPE_PERIL;

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
  unsigned int getCost(unsigned int, unsigned int, bool enable) override {return enable ? cost : 0;}
  bool inRisk(unsigned int, unsigned int, int) override {return true;}
  bool inDanger(unsigned int, unsigned int, int r) override {return r > 2;}
  bool inPeril(unsigned int mx, unsigned int my, int) override {return mx == 2 && my == 3;}
  double getDistance(unsigned int, unsigned int) override {return 5.0;}
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
  unsigned int stored_bits{0};
  bool prepared{true};
  bool accept_map_change{true};
  bool fail_update{false};

private:
  std::vector<std::string> & journal_;
};

class MultiGridMapTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    // The facade reads its level once, at first use: DEBUG lines are wanted here.
    setenv("SPDLOG_LEVEL", "debug", 1);
    setenv("SPDLOG_STDOUT", "false", 1);
  }

  void TearDown() override {sink_->detach();}

  std::shared_ptr<ScriptedMap> add(int type, const std::string & name)
  {
    auto map = std::make_shared<ScriptedMap>(type, name, journal_);
    holder_.addGridMap(map);
    return map;
  }

  std::shared_ptr<gridmap_test::CapturingSink> sink_ = gridmap_test::CapturingSink::attach();
  nav2_costmap_2d::Costmap2D costmap_{20, 20, 0.05, 0.0, 0.0};
  MultiGridMap holder_{&costmap_};
  std::vector<std::string> journal_;
};

TEST_F(MultiGridMapTest, EmptyHolderUpdatesNothingLogsNothingAndAcceptsMapChanges)
{
  holder_.updateMap();
  EXPECT_TRUE(holder_.callbackOnMapChange("/maps/a"));
  EXPECT_TRUE(journal_.empty());
  EXPECT_EQ(sink_->size(), 0u);
}

TEST_F(MultiGridMapTest, DistanceMapsAreUpdatedFirstEachWithATimingLine)
{
  add(3, "obstacles");
  add(2, "distance");
  holder_.updateMap();
  EXPECT_EQ(journal_, (std::vector<std::string>{"update distance", "update obstacles"}));
  const auto debug = sink_->linesAt(spdlog::level::debug);
  ASSERT_EQ(debug.size(), 2u);
  EXPECT_NE(debug[0].text.find(" [DEBUG] updateMap for distance Time elapsed: "), std::string::npos);
  EXPECT_NE(debug[1].text.find(" [DEBUG] updateMap for obstacles Time elapsed: "), std::string::npos);
  EXPECT_EQ(debug[0].file, "./src/multi_gridmap.cpp");
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
  for (const int type : {4, -1}) {
    try {
      add(type, "other");
      ADD_FAILURE() << "type " << type << " was accepted";
    } catch (const std::runtime_error & error) {
      EXPECT_EQ(std::string(error.what()), "Not support type " + std::to_string(type));
    }
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

TEST_F(MultiGridMapTest, QueriesGoToThePluginOfTheirKind)
{
  add(2, "distance")->cost = 127;
  add(3, "obstacles");
  EXPECT_DOUBLE_EQ(holder_.getDistance(3, 4), 0.25);  // 5 cells of 0.05 m
  EXPECT_EQ(holder_.getCost(3, 4, true), 127u);
  EXPECT_EQ(holder_.getCost(3, 4, false), 0u);
  EXPECT_TRUE(holder_.inRisk(3, 4, 0));
  EXPECT_FALSE(holder_.inDanger(3, 4, 2));
  EXPECT_TRUE(holder_.inDanger(3, 4, 3));
  EXPECT_TRUE(holder_.hasPriorityPassage());
  EXPECT_FLOAT_EQ(holder_.getPriorityPassageBoundaryDist(1, 1), 4.5f);
  EXPECT_TRUE(holder_.inNarrowPassage(1, 1, 0));
  EXPECT_TRUE(holder_.inPriorityPassage(1, 1, 1));
  EXPECT_FALSE(holder_.inPriorityPassage(1, 1, 0));
}

TEST_F(MultiGridMapTest, ObstacleTypeAddsThePerilBitOnlyWhereTheDistanceMapReportsPeril)
{
  add(2, "distance");
  add(3, "obstacles")->stored_bits = 0x8;
  ObsTypeBitMap bits;
  EXPECT_TRUE(holder_.getObstacleType(2, 3, bits));
  EXPECT_EQ(bits.bits_, 0x8u | OBS_TYPE_PERIL);
  EXPECT_TRUE(holder_.getObstacleType(2, 4, bits));
  EXPECT_EQ(bits.bits_, 0x8u);
  EXPECT_FALSE(holder_.isObstacleType(2, 3, OBS_TYPE_PERIL));
  EXPECT_TRUE(holder_.isObstacleType(2, 3, 0x8));
  EXPECT_EQ(sink_->size(), 0u);
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
  const auto warnings = sink_->linesAt(spdlog::level::warn);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].text.find("obstacle_type_gridmap may not have been prepared"), std::string::npos);
  EXPECT_EQ(warnings[0].function, "getObstacleType");
  EXPECT_EQ(warnings[1].function, "isObstacleType");
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
  MultiGridMap distance_only(&costmap_);
  distance_only.addGridMap(std::make_shared<ScriptedMap>(2, "distance", journal_));
  try {
    distance_only.inNarrowPassage(0, 0, 0);
    FAIL() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_NE(std::string(error.what()).find("obstacle-type map"), std::string::npos);
  }
}

TEST_F(MultiGridMapTest, PluginInterfaceDefaultsThrowOrGiveNeutralAnswers)
{
  struct BareMap : GridMap
  {
    void onInitialize() override {}
    void updateMap() override {}
  } bare;
  auto failure = [](auto && call) -> std::string {
      try {
        call();
      } catch (const std::runtime_error & error) {
        return error.what();
      }
      return "no exception";
    };
  EXPECT_EQ(failure([&] {bare.getCost(0, 0, true);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.inRisk(0, 0, 0);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.inDanger(0, 0, 0);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.inNarrowPassage(0, 0, 0);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.inPriorityPassage(0, 0, 0);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.inPeril(0, 0, 0);}), "Not Implemented");
  EXPECT_EQ(failure([&] {bare.distanceToBiCostmap(true);}), "Not Implemented");
  EXPECT_FALSE(bare.hasPriorityPassage());
  EXPECT_FLOAT_EQ(bare.getPriorityPassageBoundaryDist(0, 0), 0.0f);
  EXPECT_DOUBLE_EQ(bare.getDistance(0, 0), 0.0);
  ObsTypeBitMap bits;
  bits.set(0x44);
  EXPECT_FALSE(bare.getObstacleType(0, 0, bits));
  EXPECT_EQ(bits.bits_, 0x44u);
  EXPECT_TRUE(bare.callbackOnMapChange("/maps/c"));
}

}  // namespace
