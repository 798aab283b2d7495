#include "quorvane_nav2_gridmap_demo/simulated_depth_camera.hpp"

#include <cmath>
#include <utility>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

constexpr std::uint32_t kCategoryPerson = 103;
constexpr std::uint32_t kCategoryBox = 300;
constexpr std::uint32_t kCategorySpill = 105;

// A 640 x 480 pinhole camera with a 77 degree horizontal view.
constexpr double kFocalLength = 400.0;
constexpr double kCentreU = 320.0;
constexpr double kCentreV = 240.0;
constexpr uint32_t kImageWidth = 640;
constexpr uint32_t kImageHeight = 480;

// The person walks to and fro across the view, 2 m ahead of the robot; what the camera saw of
// it a moment ago is remembered until the camera sees through that place.
std::vector<WorldPoint> walkingPerson(std::uint64_t frame)
{
  const double centre_y = 3.6 + 0.7 * std::sin(0.15 * static_cast<double>(frame));
  std::vector<WorldPoint> points;
  for (double offset = -0.15; offset <= 0.151; offset += 0.05) {
    for (double height = 0.1; height <= 1.71; height += 0.2) {
      points.push_back({3.5, centre_y + offset, height});
    }
  }
  return points;
}

// The front face of a 0.4 m box standing in the passage.
std::vector<WorldPoint> box()
{
  std::vector<WorldPoint> points;
  for (double offset = -0.2; offset <= 0.201; offset += 0.05) {
    for (double height = 0.05; height <= 0.61; height += 0.1) {
      points.push_back({4.2, 3.0 + offset, height});
    }
  }
  return points;
}

// A spill on the floor: the segmentation reports only its outline.
std::vector<WorldPoint> spillOutline()
{
  return {{2.6, 3.65, 0.02}, {3.0, 3.6, 0.02}, {3.05, 3.95, 0.02}, {2.7, 4.0, 0.02}};
}

geometry_msgs::msg::TransformStamped transform(
  const std::string & parent, const std::string & child, double x, double y, double z,
  double qx, double qy, double qz, double qw)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  t.transform.translation.z = z;
  t.transform.rotation.x = qx;
  t.transform.rotation.y = qy;
  t.transform.rotation.z = qz;
  t.transform.rotation.w = qw;
  return t;
}

sensor_msgs::msg::PointCloud2 pointCloud(
  const std_msgs::msg::Header & header, const std::vector<geometry_msgs::msg::Point32> & points)
{
  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header = header;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(cloud, "z");
  for (const auto & point : points) {
    *x = point.x;
    *y = point.y;
    *z = point.z;
    ++x;
    ++y;
    ++z;
  }
  return cloud;
}

}  // namespace

SimulatedDepthCamera::SimulatedDepthCamera(
  const rclcpp::Node::SharedPtr & node, CameraSettings settings)
: node_(node),
  settings_(std::move(settings)),
  cloud_pub_(node_->create_publisher<quorvane_protocol::msg::SemanticPointCloud>(
      settings_.cloud_topic, rclcpp::SensorDataQoS())),
  camera_info_pub_(node_->create_publisher<sensor_msgs::msg::CameraInfo>(
      settings_.camera_info_topic, rclcpp::QoS(1))),
  tf_broadcaster_(node_),
  static_tf_broadcaster_(node_)
{
  publishMountTransforms();
  thread_ = std::thread([this]() {run();});
}

SimulatedDepthCamera::~SimulatedDepthCamera()
{
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stopping_ = true;
  }
  stop_requested_.notify_all();
  thread_.join();
}

void SimulatedDepthCamera::publishMountTransforms()
{
  // The optical frame looks along the body frame's x axis, with x to the right and y down.
  std::vector<geometry_msgs::msg::TransformStamped> mounts{
    transform(
      settings_.base_frame, settings_.body_frame, settings_.mount_x, 0.0, settings_.mount_z,
      0.0, 0.0, 0.0, 1.0),
    transform(settings_.body_frame, settings_.optical_frame, 0.0, 0.0, 0.0, -0.5, 0.5, -0.5, 0.5)};
  const rclcpp::Time now = node_->now();
  for (auto & mount : mounts) {
    mount.header.stamp = now;
  }
  static_tf_broadcaster_.sendTransform(mounts);
}

void SimulatedDepthCamera::run()
{
  std::unique_lock<std::mutex> lock(stop_mutex_);
  for (std::uint64_t frame = 0; !stopping_ && rclcpp::ok(); ++frame) {
    lock.unlock();
    publishFrame(frame);
    lock.lock();
    stop_requested_.wait_for(lock, settings_.period, [this]() {return stopping_;});
  }
}

void SimulatedDepthCamera::publishFrame(std::uint64_t frame)
{
  // The pose goes out first so the cloud's transform is there when the cloud arrives.
  const rclcpp::Time stamp = node_->now();
  publishRobotPose(stamp);
  camera_info_pub_->publish(cameraInfo(stamp));
  cloud_pub_->publish(semanticCloud(stamp, frame));
  ++frames_published_;
}

void SimulatedDepthCamera::publishRobotPose(const rclcpp::Time & stamp)
{
  auto pose = transform(
    settings_.global_frame, settings_.base_frame, settings_.robot.x, settings_.robot.y, 0.0,
    0.0, 0.0, std::sin(settings_.robot.yaw / 2.0), std::cos(settings_.robot.yaw / 2.0));
  pose.header.stamp = stamp;
  tf_broadcaster_.sendTransform(pose);
}

sensor_msgs::msg::CameraInfo SimulatedDepthCamera::cameraInfo(const rclcpp::Time & stamp) const
{
  sensor_msgs::msg::CameraInfo info;
  info.header.stamp = stamp;
  info.header.frame_id = settings_.optical_frame;
  info.width = kImageWidth;
  info.height = kImageHeight;
  info.distortion_model = "plumb_bob";
  info.d = {0.0, 0.0, 0.0, 0.0, 0.0};
  info.k = {kFocalLength, 0.0, kCentreU, 0.0, kFocalLength, kCentreV, 0.0, 0.0, 1.0};
  info.r = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  info.p = {
    kFocalLength, 0.0, kCentreU, 0.0,
    0.0, kFocalLength, kCentreV, 0.0,
    0.0, 0.0, 1.0, 0.0};
  return info;
}

quorvane_protocol::msg::SemanticPointCloud SimulatedDepthCamera::semanticCloud(
  const rclcpp::Time & stamp, std::uint64_t frame) const
{
  quorvane_protocol::msg::SemanticPointCloud message;
  message.header.stamp = stamp;
  message.header.frame_id = settings_.body_frame;
  message.source = 0;
  message.clouds.push_back(subCloud(kCategoryPerson, false, walkingPerson(frame)));
  message.clouds.push_back(subCloud(kCategoryBox, false, box()));
  message.clouds.push_back(subCloud(kCategorySpill, true, spillOutline()));
  for (auto & cloud : message.clouds) {
    cloud.cloud.header = message.header;
  }
  message.shape.points = viewOutline();
  return message;
}

quorvane_protocol::msg::SemanticCloud SimulatedDepthCamera::subCloud(
  std::uint32_t category, bool is_polygon, const std::vector<WorldPoint> & points) const
{
  std::vector<geometry_msgs::msg::Point32> body_points;
  body_points.reserve(points.size());
  for (const auto & point : points) {
    body_points.push_back(toBodyFrame(point));
  }
  quorvane_protocol::msg::SemanticCloud cloud;
  cloud.category = category;
  cloud.instance_id = 0;
  cloud.is_polygon = is_polygon ? 1 : 0;
  cloud.cloud = pointCloud(std_msgs::msg::Header(), body_points);
  return cloud;
}

geometry_msgs::msg::Point32 SimulatedDepthCamera::toBodyFrame(const WorldPoint & point) const
{
  const double dx = point.x - settings_.robot.x;
  const double dy = point.y - settings_.robot.y;
  const double c = std::cos(settings_.robot.yaw);
  const double s = std::sin(settings_.robot.yaw);
  geometry_msgs::msg::Point32 body;
  body.x = static_cast<float>(c * dx + s * dy - settings_.mount_x);
  body.y = static_cast<float>(-s * dx + c * dy);
  body.z = static_cast<float>(point.z - settings_.mount_z);
  return body;
}

std::vector<geometry_msgs::msg::Point32> SimulatedDepthCamera::viewOutline() const
{
  // The floor area the camera covers between its near and far distances, in the body frame.
  const double half_width_per_metre = kCentreU / kFocalLength;
  auto corner = [](double forward, double left) {
      geometry_msgs::msg::Point32 point;
      point.x = static_cast<float>(forward);
      point.y = static_cast<float>(left);
      point.z = 0.0F;
      return point;
    };
  const double near = settings_.near_distance;
  const double far = settings_.far_distance;
  return {
    corner(near, near * half_width_per_metre), corner(far, far * half_width_per_metre),
    corner(far, -far * half_width_per_metre), corner(near, -near * half_width_per_metre)};
}

}  // namespace quorvane_nav2_gridmap_demo
