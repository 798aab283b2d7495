// Base of every filter: keeps the output callbacks and signals messages to them.
#ifndef MESSAGE_FILTERS__SIMPLE_FILTER_H_
#define MESSAGE_FILTERS__SIMPLE_FILTER_H_

#include <functional>
#include <memory>
#include <string>

#include "message_filters/connection.h"
#include "message_filters/message_event.h"
#include "message_filters/signal1.h"

namespace message_filters
{

template<class M>
class SimpleFilter : public noncopyable
{
public:
  typedef std::shared_ptr<M const> MConstPtr;
  typedef std::function<void (const MConstPtr &)> Callback;
  typedef MessageEvent<M const> EventType;
  typedef std::function<void (const EventType &)> EventCallback;

  template<typename C>
  Connection registerCallback(const C & callback)
  {
    auto helper = signal_.addCallback(Callback(callback));
    return Connection(std::bind(&Signal::removeCallback, &signal_, helper));
  }

  template<typename P>
  Connection registerCallback(const std::function<void(P)> & callback)
  {
    auto helper = signal_.addCallback(callback);
    return Connection(std::bind(&Signal::removeCallback, &signal_, helper));
  }

  template<typename P>
  Connection registerCallback(void (* callback)(P))
  {
    auto helper = signal_.addCallback(std::function<void(P)>(callback));
    return Connection(std::bind(&Signal::removeCallback, &signal_, helper));
  }

  template<typename T, typename P>
  Connection registerCallback(void (T::* callback)(P), T * t)
  {
    std::function<void(P)> bound = [callback, t](P p) {(t->*callback)(p);};
    auto helper = signal_.addCallback(bound);
    return Connection(std::bind(&Signal::removeCallback, &signal_, helper));
  }

  void setName(const std::string & name) {name_ = name;}
  const std::string & getName() {return name_;}

protected:
  void signalMessage(const MConstPtr & msg)
  {
    MessageEvent<M const> event(msg);
    signal_.call(event);
  }

  void signalMessage(const MessageEvent<M const> & event)
  {
    signal_.call(event);
  }

private:
  typedef Signal1<M> Signal;

  Signal signal_;
  std::string name_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SIMPLE_FILTER_H_
