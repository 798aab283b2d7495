#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__SEMANTIC_CLOUD_SUBSCRIBER_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__SEMANTIC_CLOUD_SUBSCRIBER_HPP_

// The head of a camera source's filter chain: subscribes the source's semantic clouds on the node
// and signals them to the transform filter, less the clouds whose stamp no rclcpp::Time can hold.

#include <memory>
#include <mutex>
#include <string>

#include <message_filters/simple_filter.h>
#include <quorvane_protocol/msg/semantic_point_cloud.hpp>
#include <rclcpp/subscription.hpp>
#include <rclcpp/subscription_options.hpp>
#include <rclcpp_lifecycle/lifecycle_node.hpp>
#include <rmw/types.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/log_throttle.hpp"

namespace costmap_depth_camera
{

// Its subscription reaches it only through a weak reference locked per message: whichever thread
// lets go of it last, an executor thread still in the subscription's callback keeps it alive, and
// the release is ordered after that callback's last use. Owned through std::shared_ptr.
class SemanticCloudSubscriber
  : public message_filters::SimpleFilter<quorvane_protocol::msg::SemanticPointCloud>,
  public std::enable_shared_from_this<SemanticCloudSubscriber>
{
public:
  using SemanticPointCloud = quorvane_protocol::msg::SemanticPointCloud;

  // Unsubscribed until subscribe(). `source_name` names the source in its log lines.
  SemanticCloudSubscriber(
    std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node, std::string topic,
    const rmw_qos_profile_t & qos, rclcpp::SubscriptionOptions options, std::string source_name);
  ~SemanticCloudSubscriber();
  SemanticCloudSubscriber(const SemanticCloudSubscriber &) = delete;
  SemanticCloudSubscriber & operator=(const SemanticCloudSubscriber &) = delete;

  // Subscribes afresh with the topic, QoS and options it was made with; nothing once the node is
  // gone.
  void subscribe();
  void unsubscribe();
  // Unsubscribes for good: returns once no cloud is being passed on, and passes none on after.
  void close();
  const std::string & getTopic() const {return topic_;}

  // Signals `message` to the connected filters, unless it is stamped before 1970: the transform
  // filter would throw on it inside the host's executor. Those, and clouds a filter throws on,
  // are dropped with a WARN at most once a second each.
  void add(const std::shared_ptr<const SemanticPointCloud> & message);

private:
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::string topic_;
  rmw_qos_profile_t qos_;
  rclcpp::SubscriptionOptions options_;
  std::string source_name_;
  LogThrottle negative_stamp_warning_;
  LogThrottle filter_failure_warning_;
  // Held while a cloud is passed on.
  std::mutex delivery_mutex_;
  bool closed_{false};
  // Guards subscription_ between the lifecycle calls, which may come from different threads.
  std::mutex mutex_;
  std::shared_ptr<rclcpp::Subscription<SemanticPointCloud>> subscription_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__SEMANTIC_CLOUD_SUBSCRIBER_HPP_
