// A message together with its receipt time, handed through filter chains; it copies the message
// only when a callback asks for a mutable message that other callbacks also see.
#ifndef MESSAGE_FILTERS__MESSAGE_EVENT_H_
#define MESSAGE_FILTERS__MESSAGE_EVENT_H_

#include <functional>
#include <memory>
#include <type_traits>

#include "rclcpp/clock.hpp"
#include "rclcpp/time.hpp"

namespace message_filters
{

template<typename M>
class MessageEvent
{
public:
  typedef typename std::add_const<M>::type ConstMessage;
  typedef typename std::remove_const<M>::type Message;
  typedef std::shared_ptr<Message> MessagePtr;
  typedef std::shared_ptr<ConstMessage> ConstMessagePtr;
  typedef std::function<MessagePtr()> CreateFunction;

  MessageEvent()
  : nonconst_need_copy_(true)
  {
  }

  MessageEvent(const MessageEvent<Message> & rhs)  // NOLINT: converting copy as in Humble
  {
    *this = rhs;
  }

  MessageEvent(const MessageEvent<ConstMessage> & rhs)  // NOLINT: converting copy as in Humble
  {
    *this = rhs;
  }

  MessageEvent(const MessageEvent<Message> & rhs, bool nonconst_need_copy)
  {
    *this = rhs;
    nonconst_need_copy_ = nonconst_need_copy;
  }

  MessageEvent(const MessageEvent<ConstMessage> & rhs, bool nonconst_need_copy)
  {
    *this = rhs;
    nonconst_need_copy_ = nonconst_need_copy;
  }

  MessageEvent(const MessageEvent<void const> & rhs, const CreateFunction & create)
  {
    init(
      std::const_pointer_cast<Message>(
        std::static_pointer_cast<ConstMessage>(rhs.getConstMessage())),
      rhs.getReceiptTime(), rhs.nonConstWillCopy(), create);
  }

  // The receipt time is taken from a system clock, as a subscription would stamp it.
  MessageEvent(const ConstMessagePtr & message)  // NOLINT: implicit as in Humble
  {
    init(message, rclcpp::Clock().now(), true, &MessageEvent::defaultCreate);
  }

  MessageEvent(const ConstMessagePtr & message, rclcpp::Time receipt_time)
  {
    init(message, receipt_time, true, &MessageEvent::defaultCreate);
  }

  MessageEvent(
    const ConstMessagePtr & message, rclcpp::Time receipt_time, bool nonconst_need_copy,
    const CreateFunction & create)
  {
    init(message, receipt_time, nonconst_need_copy, create);
  }

  void init(
    const ConstMessagePtr & message, rclcpp::Time receipt_time, bool nonconst_need_copy,
    const CreateFunction & create)
  {
    message_ = message;
    receipt_time_ = receipt_time;
    nonconst_need_copy_ = nonconst_need_copy;
    create_ = create;
    message_copy_.reset();
  }

  MessageEvent & operator=(const MessageEvent<Message> & rhs)
  {
    init(
      rhs.getConstMessage(), rhs.getReceiptTime(), rhs.nonConstWillCopy(),
      rhs.getMessageFactory());
    return *this;
  }

  MessageEvent & operator=(const MessageEvent<ConstMessage> & rhs)
  {
    init(
      rhs.getConstMessage(), rhs.getReceiptTime(), rhs.nonConstWillCopy(),
      rhs.getMessageFactory());
    return *this;
  }

  // For a mutable M the caller gets its own copy unless the event says nobody else shares the
  // message.
  std::shared_ptr<M> getMessage() const
  {
    if constexpr (std::is_const<M>::value) {
      return message_;
    } else {
      if (!nonconst_need_copy_ || !message_) {
        return std::const_pointer_cast<Message>(message_);
      }
      if (!message_copy_) {
        message_copy_ = create_ ? create_() : std::make_shared<Message>();
        *message_copy_ = *message_;
      }
      return message_copy_;
    }
  }

  const ConstMessagePtr & getConstMessage() const {return message_;}
  rclcpp::Time getReceiptTime() const {return receipt_time_;}
  bool nonConstWillCopy() const {return nonconst_need_copy_;}
  bool getMessageWillCopy() const {return !std::is_const<M>::value && nonconst_need_copy_;}
  const CreateFunction & getMessageFactory() const {return create_;}

  bool operator<(const MessageEvent<M> & rhs) const
  {
    if (message_ != rhs.message_) {
      return message_ < rhs.message_;
    }
    if (receipt_time_ != rhs.receipt_time_) {
      return receipt_time_ < rhs.receipt_time_;
    }
    return nonconst_need_copy_ < rhs.nonconst_need_copy_;
  }

  bool operator==(const MessageEvent<M> & rhs) const
  {
    return message_ == rhs.message_ && receipt_time_ == rhs.receipt_time_ &&
           nonconst_need_copy_ == rhs.nonconst_need_copy_;
  }

  bool operator!=(const MessageEvent<M> & rhs) const {return !(*this == rhs);}

private:
  static MessagePtr defaultCreate()
  {
    return std::make_shared<Message>();
  }

  ConstMessagePtr message_;
  mutable MessagePtr message_copy_;
  rclcpp::Time receipt_time_;
  bool nonconst_need_copy_{true};
  CreateFunction create_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__MESSAGE_EVENT_H_
