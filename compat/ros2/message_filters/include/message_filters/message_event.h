// A message together with its receipt time, handed through filter chains; it copies the message
// only when a callback asks for a mutable message that other callbacks also see.
#ifndef MESSAGE_FILTERS__MESSAGE_EVENT_H_
#define MESSAGE_FILTERS__MESSAGE_EVENT_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include "rclcpp/rclcpp.hpp"

namespace message_filters
{

typedef std::map<std::string, std::string> M_string;
typedef std::shared_ptr<M_string> M_stringPtr;

template<typename M>
struct DefaultMessageCreator
{
  std::shared_ptr<M> operator()()
  {
    return std::make_shared<M>();
  }
};

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
      std::const_pointer_cast<Message>(std::static_pointer_cast<ConstMessage>(rhs.getMessage())),
      rhs.getReceiptTime(), rhs.nonConstWillCopy(), create);
  }

  // The receipt time is taken from a system clock, as a subscription would stamp it.
  MessageEvent(const ConstMessagePtr & message)  // NOLINT: implicit as in Humble
  {
    init(message, rclcpp::Clock().now(), true, DefaultMessageCreator<Message>());
  }

  MessageEvent(const ConstMessagePtr & message, rclcpp::Time receipt_time)
  {
    init(message, receipt_time, true, DefaultMessageCreator<Message>());
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
  }

  // Taken through rhs.getMessage(): from a mutable event that needs copies, the copy is taken.
  void operator=(const MessageEvent<Message> & rhs)
  {
    init(
      std::static_pointer_cast<Message>(rhs.getMessage()), rhs.getReceiptTime(),
      rhs.nonConstWillCopy(), rhs.getMessageFactory());
    message_copy_.reset();
  }

  void operator=(const MessageEvent<ConstMessage> & rhs)
  {
    init(
      std::const_pointer_cast<Message>(std::static_pointer_cast<ConstMessage>(rhs.getMessage())),
      rhs.getReceiptTime(), rhs.nonConstWillCopy(), rhs.getMessageFactory());
    message_copy_.reset();
  }

  // For a mutable M the caller gets a copy (made once, by the factory) unless the event says
  // nobody else shares the message. The message must be there to be copied.
  std::shared_ptr<M> getMessage() const
  {
    if constexpr (std::is_void<M>::value) {
      return std::const_pointer_cast<Message>(message_);
    } else {
      if (std::is_const<M>::value || !nonconst_need_copy_) {
        return std::const_pointer_cast<Message>(message_);
      }
      if (!message_copy_) {
        message_copy_ = create_();
        *message_copy_ = *message_;
      }
      return message_copy_;
    }
  }

  const std::shared_ptr<ConstMessage> & getConstMessage() const {return message_;}
  rclcpp::Time getReceiptTime() const {return receipt_time_;}
  bool nonConstWillCopy() const {return nonconst_need_copy_;}
  bool getMessageWillCopy() const {return !std::is_const<M>::value && nonconst_need_copy_;}

  bool operator<(const MessageEvent<M> & rhs)
  {
    if (message_ != rhs.message_) {
      return message_ < rhs.message_;
    }
    if (receipt_time_ != rhs.receipt_time_) {
      return receipt_time_ < rhs.receipt_time_;
    }
    return nonconst_need_copy_ < rhs.nonconst_need_copy_;
  }

  bool operator==(const MessageEvent<M> & rhs)
  {
    return message_ == rhs.message_ && receipt_time_ == rhs.receipt_time_ &&
           nonconst_need_copy_ == rhs.nonconst_need_copy_;
  }

  bool operator!=(const MessageEvent<M> & rhs) {return !(*this == rhs);}

  const CreateFunction & getMessageFactory() const {return create_;}

private:
  ConstMessagePtr message_;
  mutable MessagePtr message_copy_;
  rclcpp::Time receipt_time_;
  bool nonconst_need_copy_;
  CreateFunction create_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__MESSAGE_EVENT_H_
