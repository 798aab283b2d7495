#include "tf2_ros/static_transform_broadcaster.h"

#include <algorithm>

namespace tf2_ros
{

void StaticTransformBroadcaster::sendTransform(
  const geometry_msgs::msg::TransformStamped & transform)
{
  sendTransform(std::vector<geometry_msgs::msg::TransformStamped>{transform});
}

void StaticTransformBroadcaster::sendTransform(
  const std::vector<geometry_msgs::msg::TransformStamped> & transforms)
{
  for (const auto & transform : transforms) {
    auto existing = std::find_if(
      net_message_.transforms.begin(), net_message_.transforms.end(),
      [&transform](const geometry_msgs::msg::TransformStamped & known) {
        return known.child_frame_id == transform.child_frame_id;
      });
    if (existing != net_message_.transforms.end()) {
      *existing = transform;
    } else {
      net_message_.transforms.push_back(transform);
    }
  }
  publisher_->publish(net_message_);
}

}  // namespace tf2_ros
