// The parameter operations plugins use: names prefixed by the plugin name, values from the
// parameter file, rclcpp's own exceptions on misuse.

#include <memory>
#include <string>

#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/grid_map.hpp"

namespace
{

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/parameter_host:
  ros__parameters:
    probe:
      given: 2.25
      label: "wide"
      count: 7
      enabled: true
)"));

class ProbeMap : public quorvane_nav2_gridmap::GridMap
{
public:
  void onInitialize() override {}
  void updateMap() override {}
};

class GridMapParametersTest : public ::testing::Test
{
protected:
  void SetUp() override {map_.initialize("probe", node_, "map", nullptr, nullptr, nullptr);}

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_ =
    std::make_shared<rclcpp_lifecycle::LifecycleNode>("parameter_host");
  ProbeMap map_;
};

TEST_F(GridMapParametersTest, DeclaresUnderThePluginNameWithFileOverrides)
{
  map_.declareParameter("fresh", 0.75);
  map_.declareParameter("given", 1.0);
  EXPECT_DOUBLE_EQ(node_->get_parameter("probe.fresh").as_double(), 0.75);
  double given = 0.0;
  map_.getParameter("given", given);
  EXPECT_DOUBLE_EQ(given, 2.25);
}

TEST_F(GridMapParametersTest, ParameterValueDeclaresAnyType)
{
  map_.declareParameter("label", rclcpp::ParameterValue(std::string("narrow")));
  map_.declareParameter("count", rclcpp::ParameterValue(1));
  map_.declareParameter("enabled", rclcpp::ParameterValue(false));
  std::string label;
  int count = 0;
  bool enabled = false;
  map_.getParameter("label", label);
  map_.getParameter("count", count);
  map_.getParameter("enabled", enabled);
  EXPECT_EQ(label, "wide");
  EXPECT_EQ(count, 7);
  EXPECT_TRUE(enabled);
}

TEST_F(GridMapParametersTest, UndeclaredParameterLeavesTheValue)
{
  double value = 4.5;
  map_.getParameter("missing", value);
  EXPECT_DOUBLE_EQ(value, 4.5);
}

TEST_F(GridMapParametersTest, DeclaredOncePerNodeSoALaterPluginReadsTheNodesValue)
{
  map_.declareParameter("twice", 1.0);
  ASSERT_TRUE(node_->set_parameter(rclcpp::Parameter("probe.twice", 2.0)).successful);
  ProbeMap again;
  again.initialize("probe", node_, "map", nullptr, nullptr, nullptr);
  again.declareParameter("twice", 1.0);
  double value = 0.0;
  again.getParameter("twice", value);
  EXPECT_DOUBLE_EQ(value, 2.0);
}

TEST_F(GridMapParametersTest, MisuseRaisesRclcppsExceptions)
{
  // The file gives probe.label a string: it cannot be declared as a double.
  EXPECT_THROW(map_.declareParameter("label", 1.0), std::runtime_error);
  map_.declareParameter("enabled", rclcpp::ParameterValue(false));
  double not_a_bool = 0.0;
  EXPECT_THROW(
    map_.getParameter("enabled", not_a_bool), rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(GridMapParametersTest, GoneNodeIsReported)
{
  node_.reset();
  double value = 0.0;
  try {
    map_.getParameter("given", value);
    FAIL() << "no exception";
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Failed to lock node");
  }
  EXPECT_THROW(map_.declareParameter("late", 1.0), std::runtime_error);
}

}  // namespace
