#include "quorvane_nav2_gridmap/costmap_depth_camera/semantic_cloud_subscriber.hpp"

#include <exception>
#include <utility>

#include <rclcpp/qos.hpp>

#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{

SemanticCloudSubscriber::SemanticCloudSubscriber(
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node, std::string topic,
  const rmw_qos_profile_t & qos, rclcpp::SubscriptionOptions options, std::string source_name)
: node_(std::move(node)),
  topic_(std::move(topic)),
  qos_(qos),
  options_(std::move(options)),
  source_name_(std::move(source_name))
{
}

SemanticCloudSubscriber::~SemanticCloudSubscriber()
{
  unsubscribe();
}

void SemanticCloudSubscriber::subscribe()
{
  // Never two subscriptions at once: a cloud would reach the filter twice.
  unsubscribe();
  auto node = node_.lock();
  if (!node || topic_.empty()) {
    return;
  }
  rclcpp::QoS qos(rclcpp::QoSInitialization::from_rmw(qos_));
  qos.get_rmw_qos_profile() = qos_;
  // A share of this object in the callback would keep it (and the filters it signals) alive for
  // as long as the subscription lives in the node.
  const std::weak_ptr<SemanticCloudSubscriber> stage = weak_from_this();
  auto subscription = node->create_subscription<SemanticPointCloud>(
    topic_, qos,
    [stage](std::shared_ptr<const SemanticPointCloud> message) {
      if (const auto self = stage.lock()) {
        self->add(message);
      }
    },
    options_);
  std::lock_guard<std::mutex> guard(mutex_);
  subscription_ = std::move(subscription);
}

void SemanticCloudSubscriber::unsubscribe()
{
  std::shared_ptr<rclcpp::Subscription<SemanticPointCloud>> released;
  std::lock_guard<std::mutex> guard(mutex_);
  released.swap(subscription_);
}

void SemanticCloudSubscriber::close()
{
  unsubscribe();
  std::lock_guard<std::mutex> delivery(delivery_mutex_);
  closed_ = true;
}

void SemanticCloudSubscriber::add(const std::shared_ptr<const SemanticPointCloud> & message)
{
  std::lock_guard<std::mutex> delivery(delivery_mutex_);
  if (closed_ || !message) {
    return;
  }
  if (message->header.stamp.sec < 0) {
    if (negative_stamp_warning_.admit()) {
      QLOG_WARN(
        "Source {} drops clouds on {} stamped before 1970 (this one {} s {} ns): no transform "
        "can be looked up for them", source_name_, topic_, message->header.stamp.sec,
        message->header.stamp.nanosec);
    }
    return;
  }
  // The transform filter looks transforms up as the cloud arrives, and tf2 may refuse them (its
  // buffer is cleared when /clock jumps back): that is one lost cloud, not the host's executor.
  try {
    signalMessage(message);
  } catch (const std::exception & error) {
    if (filter_failure_warning_.admit()) {
      QLOG_WARN(
        "Source {} drops a cloud on {} stamped {} s {} ns: {}", source_name_, topic_,
        message->header.stamp.sec, message->header.stamp.nanosec, error.what());
    }
  }
}

}  // namespace costmap_depth_camera
