// A typed publisher: publish() hands an immutable copy of the message to every matching
// subscription's queue; callbacks run later, in executors.
#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeindex>

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

template<typename MessageT, typename AllocatorT = std::allocator<void>>
class Publisher : public PublisherBase
{
public:
  using PublishedType = MessageT;
  using ROSMessageType = MessageT;
  using ROSMessageTypeDeleter = std::default_delete<ROSMessageType>;
  using MessageAllocatorTraits = std::allocator_traits<std::allocator<MessageT>>;
  using MessageAllocator = std::allocator<MessageT>;
  using MessageDeleter = std::default_delete<MessageT>;
  using MessageUniquePtr = std::unique_ptr<MessageT, MessageDeleter>;
  using MessageSharedPtr = std::shared_ptr<const MessageT>;

  RCLCPP_SMART_PTR_DEFINITIONS(Publisher<MessageT, AllocatorT>)

  Publisher(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic,
    const rclcpp::QoS & qos, const rclcpp::PublisherOptionsWithAllocator<AllocatorT> & options)
  : PublisherBase(
      node_base, topic, qos, std::type_index(typeid(MessageT)),
      rosidl_generator_traits::name<MessageT>()),
    options_(options)
  {}

  virtual ~Publisher() = default;

  virtual void post_init_setup(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic,
    const rclcpp::QoS & qos, const rclcpp::PublisherOptionsWithAllocator<AllocatorT> & options)
  {
    (void)node_base;
    (void)topic;
    (void)qos;
    (void)options;
  }

  template<typename T>
  typename std::enable_if_t<
    rosidl_generator_traits::is_message<T>::value && std::is_same<T, ROSMessageType>::value>
  publish(std::unique_ptr<T, ROSMessageTypeDeleter> msg)
  {
    if (!msg) {
      throw std::runtime_error("cannot publish msg which is a null pointer");
    }
    publish_shared(std::shared_ptr<const MessageT>(std::move(msg)));
  }

  template<typename T>
  typename std::enable_if_t<
    rosidl_generator_traits::is_message<T>::value && std::is_same<T, ROSMessageType>::value>
  publish(const T & msg)
  {
    publish_shared(std::make_shared<const MessageT>(msg));
  }

  std::shared_ptr<MessageAllocator> get_allocator() const
  {
    return std::make_shared<MessageAllocator>();
  }

protected:
  const rclcpp::PublisherOptionsWithAllocator<AllocatorT> options_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
