// The debug output of the depth-camera observations: frustum and cloud markers, the combined and
// remembered point clouds, and the throttled summary line.

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl_conversions/pcl_conversions.h>
#include <rclcpp/time.hpp>
#include <std_msgs/msg/color_rgba.hpp>

#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr double kSummaryPeriodSeconds = 5.0;
constexpr double kStampedThreshold = 1e-06;

std_msgs::msg::ColorRGBA colour(float red, float green, float blue, float alpha)
{
  std_msgs::msg::ColorRGBA result;
  result.r = red / 255.0f;
  result.g = green / 255.0f;
  result.b = blue / 255.0f;
  result.a = alpha;
  return result;
}

// Denser clouds show more opaque, saturating at 100 points.
float cloudAlpha(Eigen::Index point_count)
{
  return static_cast<float>(
    (std::min(100.0, static_cast<double>(point_count)) * 0.4) / 100.0 + 0.1);
}

visualization_msgs::msg::Marker cubeMarker(
  const std::string & ns, std::int32_t id, const std::string & frame_id,
  const rclcpp::Time & stamp)
{
  visualization_msgs::msg::Marker marker;
  marker.header.frame_id = frame_id;
  marker.header.stamp = stamp;
  marker.ns = ns;
  marker.id = id;
  marker.type = visualization_msgs::msg::Marker::CUBE;
  marker.action = visualization_msgs::msg::Marker::ADD;
  return marker;
}

// A flat box over a cloud's x/y bounds at height `z`, its sides `extent` times the bounds'
// (float arithmetic, as the bounds are floats), more opaque the more points it has.
visualization_msgs::msg::Marker cloudBox(
  const std::string & ns, std::int32_t id, const std::string & frame_id,
  const rclcpp::Time & stamp, const PointCloud & cloud, double z, float extent,
  const std::array<float, 3> & rgb)
{
  auto box = cubeMarker(ns, id, frame_id, stamp);
  box.pose.position.x = (cloud.min_x + cloud.max_x) / 2;
  box.pose.position.y = (cloud.min_y + cloud.max_y) / 2;
  box.pose.position.z = z;
  box.scale.x = (cloud.max_x - cloud.min_x) * extent;
  box.scale.y = (cloud.max_y - cloud.min_y) * extent;
  box.scale.z = 0.05;
  box.color = colour(rgb[0], rgb[1], rgb[2], cloudAlpha(cloud.points.cols()));
  return box;
}

// Half extent of the view from the principal point to the far image edge at depth `distance`.
double frustumHalfWidth(float edge, float focal, float principal, float distance)
{
  return static_cast<double>((edge - principal) * distance / focal + 1e-06f);
}

void appendPoints(const PointCloud & cloud, pcl::PointCloud<pcl::PointXYZ> & points)
{
  for (Eigen::Index i = 0; i < cloud.points.cols(); ++i) {
    points.push_back(pcl::PointXYZ(cloud.points(0, i), cloud.points(1, i), cloud.points(2, i)));
  }
}

sensor_msgs::msg::PointCloud2 toMessage(
  pcl::PointCloud<pcl::PointXYZ> & points, const std::string & frame_id,
  const rclcpp::Time & stamp)
{
  points.width = static_cast<std::uint32_t>(points.size());
  points.height = 1;
  points.is_dense = false;
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(points, message);
  message.header.frame_id = frame_id;
  message.header.stamp = stamp;
  return message;
}

}  // namespace

void FrustumObservationRos::publishDebugMarkers(
  const std::vector<Observation> & observations,
  const std::vector<std::shared_ptr<FrustumDetector>> & detectors)
{
  // Without enable_frustum_trace there is nowhere to publish to.
  if (!frustum_markers_pub_) {
    return;
  }
  // The node's clock, like the detectors' stamps: under simulated time both are simulated.
  rclcpp::Time now = nodeNow();
  visualization_msgs::msg::MarkerArray markers;
  std::string text = options_.name + ", ";
  const auto has_transform = [](const FrustumDetector & detector) {
      return detector.stamp().seconds() >= kStampedThreshold;
    };

  std::int32_t shape_id = 0;
  for (const auto & detector : detectors) {
    if (!has_transform(*detector)) {
      continue;
    }
    now = detector->stamp();
    visualization_msgs::msg::Marker marker;
    if (!detector->getMarker(marker)) {
      continue;
    }
    marker.header.frame_id = "map";
    marker.header.stamp = now;
    marker.ns = options_.name + ".shape";
    marker.id = shape_id++;
    marker.type = visualization_msgs::msg::Marker::LINE_LIST;
    marker.action = visualization_msgs::msg::Marker::ADD;
    marker.scale.x = 0.02;
    marker.color = colour(240, 123, 63, 0.6f);
    markers.markers.push_back(marker);
  }

  std::int32_t frustum_count = 0;
  for (const auto & detector : detectors) {
    if (!has_transform(*detector)) {
      continue;
    }
    now = detector->stamp();
    const CameraFrustumParam & camera = detector->camera();
    const auto & p = camera.projection;
    const float width = static_cast<float>(camera.width);
    const float height = static_cast<float>(camera.height);
    std::int32_t id = 2 * frustum_count;
    for (const float distance : {camera.view_min_distance, camera.view_max_distance}) {
      auto slab = cubeMarker(options_.name + ".frustum", id++, camera.frame_id, now);
      slab.pose.position.z = distance;
      slab.scale.x = frustumHalfWidth(width, p[0], p[2], distance);
      slab.scale.y = frustumHalfWidth(height, p[5], p[6], distance);
      slab.scale.z = 0.02;
      slab.color = colour(255, 212, 96, 0.6f);
      markers.markers.push_back(slab);
    }
    ++frustum_count;
  }
  text += "frustum num " + std::to_string(frustum_count) + ", ";

  std::int32_t obs_count = 0;
  std::int32_t obs_points = 0;
  for (const auto & observation : observations) {
    for (const auto & cloud : observation.clouds) {
      if (cloud.points.cols() == 0) {
        continue;
      }
      // Current clouds: half-size boxes stacked upwards.
      markers.markers.push_back(
        cloudBox(
          options_.name + ".cur_pc", obs_count, options_.global_frame, now, cloud,
          obs_count * 0.05, 0.5f, {240, 123, 63}));
      obs_points += static_cast<std::int32_t>(cloud.points.cols());
      ++obs_count;
    }
  }
  text += "obs num " + std::to_string(obs_count) + ", obs-point num " +
    std::to_string(obs_points) + ", ";

  std::int32_t buffer_count = 0;
  std::int32_t buffer_points = 0;
  for (const auto & cloud : remembered_clouds_) {
    // Remembered clouds: full-size boxes stacked downwards.
    markers.markers.push_back(
      cloudBox(
        options_.name + ".buffer", buffer_count, options_.global_frame, now, cloud,
        -buffer_count * 0.05, 1.0f, {234, 84, 85}));
    buffer_points += static_cast<std::int32_t>(cloud.points.cols());
    ++buffer_count;
  }
  text += "buffer num " + std::to_string(buffer_count) + ", buffer-point num " +
    std::to_string(buffer_points) + ".";

  if (isSummaryDue(now.seconds())) {
    QLOG_INFO("{}", text);
  }
  frustum_markers_pub_->publish(markers);

  if (combined_pcl_pub_->get_subscription_count() > 0) {
    pcl::PointCloud<pcl::PointXYZ> points;
    for (const auto & observation : observations) {
      for (const auto & cloud : observation.clouds) {
        appendPoints(cloud, points);
      }
    }
    combined_pcl_pub_->publish(toMessage(points, options_.global_frame, nodeNow()));
  }
  if (cluster_pcl_pub_->get_subscription_count() > 0) {
    pcl::PointCloud<pcl::PointXYZ> points;
    for (const auto & cloud : remembered_clouds_) {
      appendPoints(cloud, points);
    }
    cluster_pcl_pub_->publish(toMessage(points, options_.global_frame, nodeNow()));
  }
}

bool FrustumObservationRos::isSummaryDue(double reference_seconds) const
{
  // One table for the whole process: instances with the same name share their throttle.
  static std::mutex table_mutex;
  static std::map<std::string, double> last_logged;
  std::lock_guard<std::mutex> guard(table_mutex);
  const auto entry = last_logged.find(options_.name);
  if (entry != last_logged.end() && !(reference_seconds - entry->second > kSummaryPeriodSeconds)) {
    return false;
  }
  last_logged[options_.name] = reference_seconds;
  return true;
}

}  // namespace costmap_depth_camera
