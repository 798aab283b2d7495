#ifndef TEST_CAMERA_FRAMES_HPP_
#define TEST_CAMERA_FRAMES_HPP_

// Frames a depth camera sends, for the tests that drive the grid-map node through its camera
// topics.

#include <array>
#include <string>
#include <vector>

#include "builtin_interfaces/msg/time.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace gridmap_test
{

// One sub-cloud of category 300 (a wall: bit 0x4 of the obstacle-type grid) holding `points`,
// given in `frame`.
inline quorvane_protocol::msg::SemanticPointCloud wallFrame(
  const std::string & frame, const builtin_interfaces::msg::Time & stamp,
  const std::vector<std::array<float, 3>> & points)
{
  quorvane_protocol::msg::SemanticPointCloud message;
  message.header.frame_id = frame;
  message.header.stamp = stamp;
  message.clouds.resize(1);
  message.clouds[0].category = 300;
  sensor_msgs::PointCloud2Modifier modifier(message.clouds[0].cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> point(message.clouds[0].cloud, "x");
  for (const auto & xyz : points) {
    point[0] = xyz[0];
    point[1] = xyz[1];
    point[2] = xyz[2];
    ++point;
  }
  return message;
}

}  // namespace gridmap_test

#endif  // TEST_CAMERA_FRAMES_HPP_
