// Holds a subscription callback in any of rclcpp's accepted forms (const reference, shared_ptr to
// const, unique_ptr, shared_ptr, each optionally with MessageInfo) and calls it with one message.
// The form is chosen by what the callable accepts, so lambdas, std::bind results and
// std::function all work; forms that need a mutable message get their own copy.
#ifndef RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
#define RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "rclcpp/message_info.hpp"

namespace rclcpp
{

template<typename MessageT, typename AllocatorT = std::allocator<void>>
class AnySubscriptionCallback
{
public:
  using ConstMessageSharedPtr = std::shared_ptr<const MessageT>;
  using Dispatcher = std::function<void (const ConstMessageSharedPtr &, const MessageInfo &)>;

  explicit AnySubscriptionCallback(const AllocatorT & allocator = AllocatorT())
  {
    (void)allocator;
  }

  template<typename CallbackT>
  AnySubscriptionCallback<MessageT, AllocatorT> set(CallbackT callback)
  {
    dispatcher_ = make_dispatcher(std::move(callback));
    return *this;
  }

  void dispatch(const ConstMessageSharedPtr & message, const MessageInfo & message_info) const
  {
    if (!dispatcher_) {
      throw std::runtime_error("dispatch called on an unset AnySubscriptionCallback");
    }
    dispatcher_(message, message_info);
  }

  bool use_take_shared_method() const
  {
    return true;
  }

private:
  template<typename C, typename ... Args>
  static constexpr bool accepts = std::is_invocable<C &, Args...>::value;

  template<typename CallbackT>
  static Dispatcher make_dispatcher(CallbackT callback)
  {
    using C = CallbackT;
    using Info = const MessageInfo &;
    if constexpr (accepts<C, const ConstMessageSharedPtr &, Info>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info i) mutable {
               cb(m, i);
             };
    } else if constexpr (accepts<C, const MessageT &, Info>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info i) mutable {
               cb(*m, i);
             };
    } else if constexpr (accepts<C, std::unique_ptr<MessageT>, Info>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info i) mutable {
               cb(std::make_unique<MessageT>(*m), i);
             };
    } else if constexpr (accepts<C, const ConstMessageSharedPtr &>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info) mutable {
               cb(m);
             };
    } else if constexpr (accepts<C, const MessageT &>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info) mutable {
               cb(*m);
             };
    } else if constexpr (accepts<C, std::unique_ptr<MessageT>>) {
      return [cb = std::move(callback)](const ConstMessageSharedPtr & m, Info) mutable {
               cb(std::make_unique<MessageT>(*m));
             };
    } else {
      static_assert(
        accepts<C, const MessageT &>,
        "subscription callback signature is not supported for this message type");
      return Dispatcher();
    }
  }

  Dispatcher dispatcher_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
