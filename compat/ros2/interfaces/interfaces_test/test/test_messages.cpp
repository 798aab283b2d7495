// One message of every generated interface package, with the names, types, defaults and
// constants that Humble code relies on.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "builtin_interfaces/msg/duration.hpp"
#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/transform.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "lifecycle_msgs/msg/transition_event.hpp"
#include "lifecycle_msgs/srv/change_state.hpp"
#include "lifecycle_msgs/srv/get_state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "nav_msgs/msg/map_meta_data.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "nav_msgs/msg/path.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rcl_interfaces/msg/floating_point_range.hpp"
#include "rcl_interfaces/msg/integer_range.hpp"
#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/parameter_type.hpp"
#include "rcl_interfaces/msg/parameter_value.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rosgraph_msgs/msg/clock.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/compressed_image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "sensor_msgs/msg/region_of_interest.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"
#include "statistics_msgs/msg/metrics_message.hpp"
#include "statistics_msgs/msg/statistic_data_point.hpp"
#include "statistics_msgs/msg/statistic_data_type.hpp"
#include "std_msgs/msg/color_rgba.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/header.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_msgs/srv/frame_graph.hpp"
#include "visualization_msgs/msg/marker.hpp"
#include "visualization_msgs/msg/marker_array.hpp"

namespace
{

template<typename T>
constexpr bool isMessage = rosidl_generator_traits::is_message<T>::value;

// --- Generated C++ conventions -----------------------------------------------------------

TEST(GeneratedConventions, MessagesCarryTraitsAndPointerAliases)
{
  static_assert(isMessage<geometry_msgs::msg::Pose>);
  static_assert(isMessage<sensor_msgs::msg::PointCloud2>);
  static_assert(isMessage<quorvane_protocol::msg::SemanticPointCloud>);
  static_assert(!isMessage<int>);
  static_assert(rosidl_generator_traits::is_service<nav2_msgs::srv::LoadMap>::value);
  static_assert(
    std::is_same_v<
      geometry_msgs::msg::Pose::SharedPtr, std::shared_ptr<geometry_msgs::msg::Pose>>);
  static_assert(
    std::is_same_v<
      geometry_msgs::msg::Pose::ConstSharedPtr, std::shared_ptr<const geometry_msgs::msg::Pose>>);
  static_assert(std::is_same_v<geometry_msgs::msg::Pose, geometry_msgs::msg::Pose_<std::allocator<void>>>);
  EXPECT_STREQ(rosidl_generator_traits::data_type<geometry_msgs::msg::Pose>(), "geometry_msgs::msg::Pose");
  EXPECT_STREQ(rosidl_generator_traits::name<nav_msgs::msg::OccupancyGrid>(), "nav_msgs/msg/OccupancyGrid");
}

TEST(GeneratedConventions, EqualityComparesEveryField)
{
  geometry_msgs::msg::PoseStamped a;
  geometry_msgs::msg::PoseStamped b;
  EXPECT_TRUE(a == b);
  b.header.frame_id = "map";
  EXPECT_TRUE(a != b);
  a.header.frame_id = "map";
  a.pose.orientation.z = 0.5;
  EXPECT_FALSE(a == b);
}

// --- builtin_interfaces, std_msgs --------------------------------------------------------

TEST(BuiltinInterfaces, TimeAndDurationAreSecondsAndNanoseconds)
{
  builtin_interfaces::msg::Time t;
  EXPECT_EQ(t.sec, 0);
  EXPECT_EQ(t.nanosec, 0u);
  static_assert(std::is_same_v<decltype(t.sec), int32_t>);
  static_assert(std::is_same_v<decltype(t.nanosec), uint32_t>);
  builtin_interfaces::msg::Duration d;
  d.sec = -1;
  d.nanosec = 500000000u;
  EXPECT_EQ(d.sec, -1);
}

TEST(StdMsgs, HeaderColourEmptyAndString)
{
  std_msgs::msg::Header header;
  header.stamp.sec = 3;
  header.frame_id = "odom";
  EXPECT_EQ(header.frame_id, "odom");
  std_msgs::msg::ColorRGBA colour;
  EXPECT_EQ(colour.a, 0.0f);
  static_assert(std::is_same_v<decltype(colour.r), float>);
  std_msgs::msg::Empty empty;
  EXPECT_TRUE(empty == std_msgs::msg::Empty());
  std_msgs::msg::String text;
  text.data = "hello";
  EXPECT_EQ(text.data, "hello");
}

// --- geometry_msgs -----------------------------------------------------------------------

TEST(GeometryMsgs, QuaternionDefaultsToIdentity)
{
  geometry_msgs::msg::Quaternion q;
  EXPECT_EQ(q.x, 0.0);
  EXPECT_EQ(q.y, 0.0);
  EXPECT_EQ(q.z, 0.0);
  EXPECT_EQ(q.w, 1.0);
  EXPECT_EQ(geometry_msgs::msg::Pose().orientation.w, 1.0);
  EXPECT_EQ(geometry_msgs::msg::TransformStamped().transform.rotation.w, 1.0);
  geometry_msgs::msg::Quaternion zero(rosidl_runtime_cpp::MessageInitialization::ZERO);
  EXPECT_EQ(zero.w, 0.0);
}

TEST(GeometryMsgs, PlanarAndPolygonTypes)
{
  geometry_msgs::msg::Pose2D pose2d;
  pose2d.theta = 1.5;
  EXPECT_EQ(pose2d.theta, 1.5);

  geometry_msgs::msg::PolygonStamped footprint;
  footprint.header.frame_id = "base_link";
  geometry_msgs::msg::Point32 corner;
  corner.x = 0.3f;
  corner.y = -0.2f;
  footprint.polygon.points.push_back(corner);
  static_assert(std::is_same_v<decltype(corner.x), float>);
  EXPECT_EQ(footprint.polygon.points.size(), 1u);

  geometry_msgs::msg::Point p;
  static_assert(std::is_same_v<decltype(p.z), double>);
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 0.4;
  twist.angular.z = -0.1;
  geometry_msgs::msg::Transform transform;
  transform.translation.z = 2.0;
  EXPECT_EQ(transform.rotation.w, 1.0);
  geometry_msgs::msg::TransformStamped stamped;
  stamped.child_frame_id = "laser";
  EXPECT_EQ(stamped.child_frame_id, "laser");
}

// --- sensor_msgs -------------------------------------------------------------------------

TEST(SensorMsgs, PointFieldConstants)
{
  using sensor_msgs::msg::PointField;
  EXPECT_EQ(PointField::INT8, 1);
  EXPECT_EQ(PointField::UINT8, 2);
  EXPECT_EQ(PointField::INT16, 3);
  EXPECT_EQ(PointField::UINT16, 4);
  EXPECT_EQ(PointField::INT32, 5);
  EXPECT_EQ(PointField::UINT32, 6);
  EXPECT_EQ(PointField::FLOAT32, 7);
  EXPECT_EQ(PointField::FLOAT64, 8);
}

TEST(SensorMsgs, CameraInfoMatricesAreFixedArrays)
{
  sensor_msgs::msg::CameraInfo info;
  static_assert(std::is_same_v<decltype(info.k), std::array<double, 9>>);
  static_assert(std::is_same_v<decltype(info.r), std::array<double, 9>>);
  static_assert(std::is_same_v<decltype(info.p), std::array<double, 12>>);
  static_assert(std::is_same_v<decltype(info.d), std::vector<double>>);
  EXPECT_EQ(info.k[8], 0.0);
  info.k = {500.0, 0.0, 320.0, 0.0, 500.0, 240.0, 0.0, 0.0, 1.0};
  info.distortion_model = "plumb_bob";
  info.roi.do_rectify = true;
  EXPECT_EQ(info.roi.x_offset, 0u);
  sensor_msgs::msg::CompressedImage image;
  image.format = "png";
  EXPECT_TRUE(image.data.empty());
}

TEST(SensorMsgs, PointCloudReadsBackThroughTheIterators)
{
  sensor_msgs::msg::PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(2, "xyz", "rgb");
  modifier.resize(3);
  EXPECT_EQ(cloud.point_step, 32u);
  EXPECT_EQ(modifier.size(), 3u);

  sensor_msgs::PointCloud2Iterator<float> out(cloud, "x");
  sensor_msgs::PointCloud2Iterator<uint8_t> red(cloud, "r");
  for (int i = 0; out != out.end(); ++out, ++red, ++i) {
    out[0] = static_cast<float>(i);
    out[1] = 2.0f * static_cast<float>(i);
    out[2] = -1.0f;
    *red = static_cast<uint8_t>(200 + i);
  }

  const sensor_msgs::msg::PointCloud2 & read = cloud;
  sensor_msgs::PointCloud2ConstIterator<float> y(read, "y");
  sensor_msgs::PointCloud2ConstIterator<uint8_t> rgb(read, "rgb");
  std::vector<float> ys;
  std::vector<int> reds;
  for (; y != y.end(); ++y, ++rgb) {
    ys.push_back(*y);
    reds.push_back(rgb[2]);
  }
  EXPECT_EQ(ys, (std::vector<float>{0.0f, 2.0f, 4.0f}));
  EXPECT_EQ(reds, (std::vector<int>{200, 201, 202}));

  try {
    sensor_msgs::PointCloud2ConstIterator<float> missing(read, "intensity");
    FAIL() << "no exception for a missing field";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Field intensity does not exist");
  }
}

// --- nav_msgs, nav2_msgs -----------------------------------------------------------------

TEST(NavMsgs, OccupancyGridAndPath)
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.resolution = 0.05f;
  grid.info.width = 2;
  grid.info.height = 1;
  grid.info.origin.position.x = -1.0;
  grid.data = {-1, 100};
  static_assert(std::is_same_v<decltype(grid.data), std::vector<int8_t>>);
  static_assert(std::is_same_v<decltype(grid.info.resolution), float>);
  static_assert(std::is_same_v<decltype(grid.info.map_load_time), builtin_interfaces::msg::Time>);
  EXPECT_EQ(grid.info.origin.orientation.w, 1.0);
  EXPECT_EQ(grid.data[0], -1);

  nav_msgs::msg::Path path;
  path.poses.resize(2);
  path.poses[1].pose.position.y = 3.0;
  EXPECT_EQ(path.poses[0].pose.orientation.w, 1.0);
}

TEST(Nav2Msgs, LoadMapConstantsLiveOnTheResponse)
{
  using nav2_msgs::srv::LoadMap;
  EXPECT_EQ(LoadMap::Response::RESULT_SUCCESS, 0);
  EXPECT_EQ(LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST, 1);
  EXPECT_EQ(LoadMap::Response::RESULT_INVALID_MAP_DATA, 2);
  EXPECT_EQ(LoadMap::Response::RESULT_INVALID_MAP_METADATA, 3);
  EXPECT_EQ(LoadMap::Response::RESULT_UNDEFINED_FAILURE, 255);
  static_assert(std::is_same_v<decltype(LoadMap::Response::RESULT_UNDEFINED_FAILURE), const uint8_t>);

  auto request = std::make_shared<LoadMap::Request>();
  request->map_url = "/maps/floor1.yaml";
  LoadMap::Response response;
  response.result = LoadMap::Response::RESULT_INVALID_MAP_METADATA;
  response.map.header.frame_id = "map";
  static_assert(std::is_same_v<decltype(response.map), nav_msgs::msg::OccupancyGrid>);
  EXPECT_EQ(response.result, 3);
}

// --- visualization_msgs ------------------------------------------------------------------

TEST(VisualizationMsgs, MarkerConstantsAndFields)
{
  using visualization_msgs::msg::Marker;
  EXPECT_EQ(Marker::ARROW, 0);
  EXPECT_EQ(Marker::CUBE, 1);
  EXPECT_EQ(Marker::SPHERE, 2);
  EXPECT_EQ(Marker::CYLINDER, 3);
  EXPECT_EQ(Marker::LINE_STRIP, 4);
  EXPECT_EQ(Marker::LINE_LIST, 5);
  EXPECT_EQ(Marker::CUBE_LIST, 6);
  EXPECT_EQ(Marker::SPHERE_LIST, 7);
  EXPECT_EQ(Marker::POINTS, 8);
  EXPECT_EQ(Marker::TEXT_VIEW_FACING, 9);
  EXPECT_EQ(Marker::MESH_RESOURCE, 10);
  EXPECT_EQ(Marker::TRIANGLE_LIST, 11);
  EXPECT_EQ(Marker::ADD, 0);
  EXPECT_EQ(Marker::MODIFY, 0);
  EXPECT_EQ(Marker::DELETE, 2);
  EXPECT_EQ(Marker::DELETEALL, 3);
  static_assert(std::is_same_v<decltype(Marker::CUBE_LIST), const int32_t>);

  Marker marker;
  marker.ns = "frustum";
  marker.type = Marker::LINE_LIST;
  marker.scale.x = 0.02;
  marker.color.g = 1.0f;
  marker.lifetime.sec = 1;
  marker.points.resize(2);
  marker.colors.resize(2);
  marker.uv_coordinates.resize(1);
  marker.uv_coordinates[0].u = 0.5f;
  marker.mesh_file.filename = "mesh.stl";
  static_assert(std::is_same_v<decltype(marker.texture), sensor_msgs::msg::CompressedImage>);
  static_assert(std::is_same_v<decltype(marker.mesh_file.data), std::vector<uint8_t>>);
  EXPECT_EQ(marker.pose.orientation.w, 1.0);
  EXPECT_FALSE(marker.frame_locked);
  EXPECT_FALSE(marker.mesh_use_embedded_materials);

  visualization_msgs::msg::MarkerArray markers;
  markers.markers.push_back(marker);
  EXPECT_EQ(markers.markers[0].ns, "frustum");
}

// --- rcl_interfaces ----------------------------------------------------------------------

TEST(RclInterfaces, ParameterTypeConstants)
{
  using rcl_interfaces::msg::ParameterType;
  EXPECT_EQ(ParameterType::PARAMETER_NOT_SET, 0);
  EXPECT_EQ(ParameterType::PARAMETER_BOOL, 1);
  EXPECT_EQ(ParameterType::PARAMETER_INTEGER, 2);
  EXPECT_EQ(ParameterType::PARAMETER_DOUBLE, 3);
  EXPECT_EQ(ParameterType::PARAMETER_STRING, 4);
  EXPECT_EQ(ParameterType::PARAMETER_BYTE_ARRAY, 5);
  EXPECT_EQ(ParameterType::PARAMETER_BOOL_ARRAY, 6);
  EXPECT_EQ(ParameterType::PARAMETER_INTEGER_ARRAY, 7);
  EXPECT_EQ(ParameterType::PARAMETER_DOUBLE_ARRAY, 8);
  EXPECT_EQ(ParameterType::PARAMETER_STRING_ARRAY, 9);
}

TEST(RclInterfaces, DescriptorDefaultsAndBoundedRanges)
{
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  EXPECT_FALSE(descriptor.read_only);
  EXPECT_FALSE(descriptor.dynamic_typing);
  EXPECT_EQ(descriptor.type, rcl_interfaces::msg::ParameterType::PARAMETER_NOT_SET);
  static_assert(
    std::is_same_v<
      decltype(descriptor.floating_point_range),
      rosidl_runtime_cpp::BoundedVector<rcl_interfaces::msg::FloatingPointRange, 1>>);
  rcl_interfaces::msg::FloatingPointRange range;
  range.from_value = 0.0;
  range.to_value = 1.0;
  range.step = 0.1;
  descriptor.floating_point_range.push_back(range);
  EXPECT_THROW(descriptor.floating_point_range.push_back(range), std::length_error);
  rcl_interfaces::msg::IntegerRange ints;
  static_assert(std::is_same_v<decltype(ints.step), uint64_t>);
  descriptor.integer_range.push_back(ints);
  EXPECT_EQ(descriptor.integer_range.size(), 1u);
}

TEST(RclInterfaces, ParametersEventsAndServices)
{
  rcl_interfaces::msg::Parameter parameter;
  parameter.name = "resolution";
  parameter.value.type = rcl_interfaces::msg::ParameterType::PARAMETER_DOUBLE;
  parameter.value.double_value = 0.05;
  parameter.value.byte_array_value = {0x01, 0xff};
  static_assert(std::is_same_v<decltype(parameter.value.byte_array_value), std::vector<unsigned char>>);
  static_assert(std::is_same_v<decltype(parameter.value.integer_value), int64_t>);

  rcl_interfaces::msg::ParameterEvent event;
  event.node = "/costmap";
  event.new_parameters.push_back(parameter);
  EXPECT_EQ(event.new_parameters[0].value.double_value, 0.05);

  rcl_interfaces::msg::SetParametersResult result;
  EXPECT_FALSE(result.successful);
  result.reason = "read-only";

  rcl_interfaces::msg::ListParametersResult listed;
  listed.names = {"a.b"};
  listed.prefixes = {"a"};

  rcl_interfaces::srv::SetParameters::Request request;
  request.parameters.push_back(parameter);
  rcl_interfaces::srv::SetParameters::Response response;
  response.results.push_back(result);
  EXPECT_EQ(response.results.size(), 1u);
}

// --- lifecycle_msgs ----------------------------------------------------------------------

TEST(LifecycleMsgs, StateAndTransitionConstants)
{
  using lifecycle_msgs::msg::State;
  using lifecycle_msgs::msg::Transition;
  EXPECT_EQ(State::PRIMARY_STATE_UNKNOWN, 0);
  EXPECT_EQ(State::PRIMARY_STATE_UNCONFIGURED, 1);
  EXPECT_EQ(State::PRIMARY_STATE_INACTIVE, 2);
  EXPECT_EQ(State::PRIMARY_STATE_ACTIVE, 3);
  EXPECT_EQ(State::PRIMARY_STATE_FINALIZED, 4);
  EXPECT_EQ(State::TRANSITION_STATE_CONFIGURING, 10);
  EXPECT_EQ(State::TRANSITION_STATE_ERRORPROCESSING, 15);
  EXPECT_EQ(Transition::TRANSITION_CREATE, 0);
  EXPECT_EQ(Transition::TRANSITION_CONFIGURE, 1);
  EXPECT_EQ(Transition::TRANSITION_CLEANUP, 2);
  EXPECT_EQ(Transition::TRANSITION_ACTIVATE, 3);
  EXPECT_EQ(Transition::TRANSITION_DEACTIVATE, 4);
  EXPECT_EQ(Transition::TRANSITION_UNCONFIGURED_SHUTDOWN, 5);
  EXPECT_EQ(Transition::TRANSITION_INACTIVE_SHUTDOWN, 6);
  EXPECT_EQ(Transition::TRANSITION_ACTIVE_SHUTDOWN, 7);
  EXPECT_EQ(Transition::TRANSITION_DESTROY, 8);
  EXPECT_EQ(Transition::TRANSITION_ON_CONFIGURE_SUCCESS, 10);
  EXPECT_EQ(Transition::TRANSITION_ON_CONFIGURE_ERROR, 12);
  EXPECT_EQ(Transition::TRANSITION_ON_ACTIVATE_FAILURE, 31);
  EXPECT_EQ(Transition::TRANSITION_ON_SHUTDOWN_SUCCESS, 50);
  EXPECT_EQ(Transition::TRANSITION_ON_ERROR_ERROR, 62);
  EXPECT_EQ(Transition::TRANSITION_CALLBACK_SUCCESS, 97);
  EXPECT_EQ(Transition::TRANSITION_CALLBACK_FAILURE, 98);
  EXPECT_EQ(Transition::TRANSITION_CALLBACK_ERROR, 99);

  lifecycle_msgs::msg::TransitionEvent event;
  event.transition.id = Transition::TRANSITION_ACTIVATE;
  event.transition.label = "activate";
  event.start_state.id = State::PRIMARY_STATE_INACTIVE;
  event.goal_state.id = State::PRIMARY_STATE_ACTIVE;
  static_assert(std::is_same_v<decltype(event.timestamp), uint64_t>);
  lifecycle_msgs::srv::ChangeState::Request change;
  change.transition.id = Transition::TRANSITION_CONFIGURE;
  lifecycle_msgs::srv::GetState::Response state;
  EXPECT_EQ(state.current_state.id, State::PRIMARY_STATE_UNKNOWN);
}

// --- tf2_msgs, rosgraph_msgs, statistics_msgs, quorvane_protocol -------------------------

TEST(Tf2Msgs, TfMessageCarriesStampedTransforms)
{
  tf2_msgs::msg::TFMessage tf;
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = "map";
  t.child_frame_id = "odom";
  tf.transforms.push_back(t);
  EXPECT_EQ(tf.transforms[0].transform.rotation.w, 1.0);
  tf2_msgs::srv::FrameGraph::Response graph;
  graph.frame_yaml = "map: {}";
  EXPECT_FALSE(graph.frame_yaml.empty());
}

TEST(RosgraphMsgs, ClockCarriesTime)
{
  rosgraph_msgs::msg::Clock clock;
  clock.clock.sec = 42;
  static_assert(std::is_same_v<decltype(clock.clock), builtin_interfaces::msg::Time>);
  EXPECT_EQ(clock.clock.sec, 42);
}

TEST(StatisticsMsgs, MetricsMessageAndDataTypes)
{
  using statistics_msgs::msg::StatisticDataType;
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_UNINITIALIZED, 0);
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_AVERAGE, 1);
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_MINIMUM, 2);
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_MAXIMUM, 3);
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_STDDEV, 4);
  EXPECT_EQ(StatisticDataType::STATISTICS_DATA_TYPE_SAMPLE_COUNT, 5);

  statistics_msgs::msg::MetricsMessage metrics;
  metrics.measurement_source_name = "/costmap";
  metrics.metrics_source = "message_age";
  metrics.unit = "ms";
  statistics_msgs::msg::StatisticDataPoint point;
  point.data_type = StatisticDataType::STATISTICS_DATA_TYPE_MAXIMUM;
  point.data = 12.5;
  metrics.statistics.push_back(point);
  EXPECT_EQ(metrics.statistics[0].data, 12.5);
}

TEST(QuorvaneProtocol, SemanticPointCloudHoldsSubClouds)
{
  quorvane_protocol::msg::SemanticPointCloud msg;
  msg.header.frame_id = "camera";
  msg.clouds.resize(2);
  msg.clouds[1].category = 3;
  msg.clouds[1].is_polygon = 1;
  msg.shape.points.resize(4);
  EXPECT_EQ(msg.clouds[1].cloud.height, 0u);
  EXPECT_EQ(msg.clouds.size(), 2u);
}

}  // namespace
