// The callback list behind every filter: callbacks run in registration order, each given the
// parameter form it asked for.
#ifndef MESSAGE_FILTERS__SIGNAL1_H_
#define MESSAGE_FILTERS__SIGNAL1_H_

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "message_filters/message_event.h"
#include "message_filters/parameter_adapter.h"

namespace message_filters
{

template<class M>
class CallbackHelper1
{
public:
  virtual ~CallbackHelper1() = default;
  virtual void call(const MessageEvent<M const> & event, bool nonconst_need_copy) = 0;

  typedef std::shared_ptr<CallbackHelper1<M>> Ptr;
};

template<typename P, typename M>
class CallbackHelper1T : public CallbackHelper1<M>
{
public:
  typedef ParameterAdapter<P> Adapter;
  typedef std::function<void (typename Adapter::Parameter)> Callback;
  typedef typename Adapter::Event Event;

  explicit CallbackHelper1T(const Callback & cb)
  : callback_(cb)
  {
  }

  void call(const MessageEvent<M const> & event, bool nonconst_force_copy) override
  {
    Event my_event(event, nonconst_force_copy || event.nonConstWillCopy());
    callback_(Adapter::getParameter(my_event));
  }

private:
  Callback callback_;
};

template<class M>
class Signal1
{
  typedef std::shared_ptr<CallbackHelper1<M>> CallbackHelper1Ptr;
  typedef std::vector<CallbackHelper1Ptr> V_CallbackHelper1;

public:
  template<typename P>
  CallbackHelper1Ptr addCallback(const std::function<void(P)> & callback)
  {
    auto helper = std::make_shared<CallbackHelper1T<P, M>>(callback);
    std::lock_guard<std::mutex> lock(mutex_);
    callbacks_.push_back(helper);
    return callbacks_.back();
  }

  void removeCallback(const CallbackHelper1Ptr & helper)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(callbacks_.begin(), callbacks_.end(), helper);
    if (it != callbacks_.end()) {
      callbacks_.erase(it);
    }
  }

  // As in message_filters 4.3.5 the plain mutex stays held while every callback runs over the
  // list itself: a removeCallback from another thread waits for the running call, and a callback
  // that adds or removes a callback of its own filter deadlocks.
  void call(const MessageEvent<M const> & event)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool nonconst_force_copy = callbacks_.size() > 1;
    for (const CallbackHelper1Ptr & helper : callbacks_) {
      helper->call(event, nonconst_force_copy);
    }
  }

private:
  std::mutex mutex_;
  V_CallbackHelper1 callbacks_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SIGNAL1_H_
