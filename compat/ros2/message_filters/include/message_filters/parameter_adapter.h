// Turns the event a filter signals into whatever parameter form a registered callback declared.
#ifndef MESSAGE_FILTERS__PARAMETER_ADAPTER_H_
#define MESSAGE_FILTERS__PARAMETER_ADAPTER_H_

#include <memory>
#include <type_traits>

#include "message_filters/message_event.h"

namespace message_filters
{

// Every form is fed from the const event; the mutable ones convert it, which copies the message
// when the event says it is shared.

// By value (`M`), or `const M &` below.
template<typename M>
struct ParameterAdapter
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef M Parameter;
  static const bool is_const = true;
  static Parameter getParameter(const Event & event) {return *event.getMessage();}
};

template<typename M>
struct ParameterAdapter<const std::shared_ptr<M const> &>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef const std::shared_ptr<Message const> Parameter;
  static const bool is_const = true;
  static Parameter getParameter(const Event & event) {return event.getMessage();}
};

template<typename M>
struct ParameterAdapter<const std::shared_ptr<M> &>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef std::shared_ptr<Message> Parameter;
  static const bool is_const = false;
  static Parameter getParameter(const Event & event)
  {
    return MessageEvent<Message>(event).getMessage();
  }
};

template<typename M>
struct ParameterAdapter<const M &>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef const M & Parameter;
  static const bool is_const = true;
  static Parameter getParameter(const Event & event) {return *event.getMessage();}
};

template<typename M>
struct ParameterAdapter<std::shared_ptr<M const>>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef std::shared_ptr<Message const> Parameter;
  static const bool is_const = true;
  static Parameter getParameter(const Event & event) {return event.getMessage();}
};

template<typename M>
struct ParameterAdapter<std::shared_ptr<M>>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef std::shared_ptr<Message> Parameter;
  static const bool is_const = false;
  static Parameter getParameter(const Event & event)
  {
    return MessageEvent<Message>(event).getMessage();
  }
};

template<typename M>
struct ParameterAdapter<const MessageEvent<M const> &>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef const MessageEvent<Message const> & Parameter;
  static const bool is_const = true;
  static Parameter getParameter(const Event & event) {return event;}
};

// A fresh mutable event, by value.
template<typename M>
struct ParameterAdapter<const MessageEvent<M> &>
{
  typedef typename std::remove_reference<typename std::remove_const<M>::type>::type Message;
  typedef MessageEvent<Message const> Event;
  typedef MessageEvent<Message> Parameter;
  static const bool is_const = false;
  static Parameter getParameter(const Event & event) {return MessageEvent<Message>(event);}
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__PARAMETER_ADAPTER_H_
