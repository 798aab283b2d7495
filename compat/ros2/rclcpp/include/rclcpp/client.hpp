// Service clients: async_send_request hands a copy of the request to the service and returns a
// future that completes when an executor serving the client's callback group handles the response.
#ifndef RCLCPP__CLIENT_HPP_
#define RCLCPP__CLIENT_HPP_

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rmw/types.h"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

namespace node_interfaces
{
class NodeBaseInterface;
class NodeGraphInterface;
}  // namespace node_interfaces

namespace detail
{

template<typename FutureT>
struct FutureAndRequestId
{
  FutureT future;
  int64_t request_id;

  FutureAndRequestId(FutureT impl, int64_t req_id)
  : future(std::move(impl)), request_id(req_id)
  {}

  [[deprecated("FutureAndRequestId: use .future instead of an implicit conversion")]]
  operator FutureT &() {return this->future;}

  auto get() {return this->future.get();}
  bool valid() const noexcept {return this->future.valid();}
  void wait() const {return this->future.wait();}

  template<class Rep, class Period>
  std::future_status wait_for(const std::chrono::duration<Rep, Period> & timeout_duration) const
  {
    return this->future.wait_for(timeout_duration);
  }

  template<class Clock, class Duration>
  std::future_status wait_until(
    const std::chrono::time_point<Clock, Duration> & timeout_time) const
  {
    return this->future.wait_until(timeout_time);
  }

  FutureAndRequestId(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId(const FutureAndRequestId & other) = delete;
  FutureAndRequestId & operator=(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId & operator=(const FutureAndRequestId & other) = delete;
  ~FutureAndRequestId() = default;
};

}  // namespace detail

class ClientBase
  : public std::enable_shared_from_this<ClientBase>, public detail::ExecutableEntity
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientBase)

  ClientBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    std::shared_ptr<rclcpp::node_interfaces::NodeGraphInterface> node_graph,
    const std::string & service_name, const rmw_qos_profile_t & qos_profile,
    const std::type_index & service_type);
  virtual ~ClientBase();
  ClientBase(const ClientBase &) = delete;
  ClientBase & operator=(const ClientBase &) = delete;

  const char * get_service_name() const;
  bool service_is_ready() const;

  template<typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_service_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  virtual std::shared_ptr<void> create_response() = 0;
  virtual std::shared_ptr<rmw_request_id_t> create_request_header() = 0;
  virtual void handle_response(
    std::shared_ptr<rmw_request_id_t> request_header, std::shared_ptr<void> response) = 0;
  bool exchange_in_use_by_wait_set_state(bool in_use_state);
  rclcpp::QoS get_request_publisher_actual_qos() const;
  rclcpp::QoS get_response_subscription_actual_qos() const;
  void set_on_new_response_callback(std::function<void(size_t)> callback);
  void clear_on_new_response_callback();

  /// Enters the client into the graph; called once by the node that creates it.
  void register_in_graph();

  /// Called by the service: queues the response to request `sequence_number`.
  void receive_response(int64_t sequence_number, std::shared_ptr<void> response);

  bool is_ready_to_execute() override;
  bool execute_one() override;

protected:
  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);
  /// Hands a request to the service found under this client's name; without one it is lost.
  void send_type_erased_request(std::shared_ptr<void> request, int64_t sequence_number);

private:
  std::string service_name_;
  rclcpp::QoS qos_;
  std::type_index service_type_;
  rclcpp::Context::SharedPtr context_;
  std::weak_ptr<rclcpp::node_interfaces::NodeGraphInterface> node_graph_;
  uint64_t client_id_;
  std::mutex mutex_;
  std::deque<std::pair<int64_t, std::shared_ptr<void>>> responses_;
  std::function<void(size_t)> on_new_response_callback_;
  std::atomic<bool> in_use_by_wait_set_{false};
};

template<typename ServiceT>
class Client : public ClientBase
{
public:
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using SharedRequest = typename ServiceT::Request::SharedPtr;
  using SharedResponse = typename ServiceT::Response::SharedPtr;
  using Promise = std::promise<SharedResponse>;
  using PromiseWithRequest = std::promise<std::pair<SharedRequest, SharedResponse>>;
  using SharedPromise = std::shared_ptr<Promise>;
  using SharedPromiseWithRequest = std::shared_ptr<PromiseWithRequest>;
  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using SharedFutureWithRequest = std::shared_future<std::pair<SharedRequest, SharedResponse>>;
  using CallbackType = std::function<void (SharedFuture)>;
  using CallbackWithRequestType = std::function<void (SharedFutureWithRequest)>;

  RCLCPP_SMART_PTR_DEFINITIONS(Client)

  struct FutureAndRequestId : detail::FutureAndRequestId<std::future<SharedResponse>>
  {
    using detail::FutureAndRequestId<std::future<SharedResponse>>::FutureAndRequestId;

    [[deprecated("use the .future member or share() instead")]]
    operator SharedFuture() {return this->future.share();}

    SharedFuture share() noexcept {return this->future.share();}
  };

  struct SharedFutureAndRequestId
    : detail::FutureAndRequestId<std::shared_future<SharedResponse>>
  {
    using detail::FutureAndRequestId<std::shared_future<SharedResponse>>::FutureAndRequestId;
  };

  struct SharedFutureWithRequestAndRequestId
    : detail::FutureAndRequestId<std::shared_future<std::pair<SharedRequest, SharedResponse>>>
  {
    using detail::FutureAndRequestId<
      std::shared_future<std::pair<SharedRequest, SharedResponse>>
    >::FutureAndRequestId;
  };

  Client(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    std::shared_ptr<rclcpp::node_interfaces::NodeGraphInterface> node_graph,
    const std::string & service_name, const rmw_qos_profile_t & qos_profile)
  : ClientBase(
      node_base, std::move(node_graph), service_name, qos_profile,
      std::type_index(typeid(ServiceT)))
  {}

  std::shared_ptr<void> create_response() override
  {
    return std::make_shared<Response>();
  }

  std::shared_ptr<rmw_request_id_t> create_request_header() override
  {
    return std::make_shared<rmw_request_id_t>();
  }

  void handle_response(
    std::shared_ptr<rmw_request_id_t> request_header, std::shared_ptr<void> response) override
  {
    std::optional<PendingRequest> pending = extract(request_header->sequence_number);
    if (!pending) {
      return;
    }
    auto typed_response = std::static_pointer_cast<Response>(response);
    if (auto * promise = std::get_if<Promise>(&pending->promise)) {
      promise->set_value(typed_response);
    } else if (auto * with_callback = std::get_if<CallbackEntry>(&pending->promise)) {
      with_callback->promise.set_value(typed_response);
      with_callback->callback(with_callback->future);
    } else if (auto * with_request = std::get_if<CallbackWithRequestEntry>(&pending->promise)) {
      with_request->promise.set_value(std::make_pair(pending->request, typed_response));
      with_request->callback(with_request->future);
    }
  }

  FutureAndRequestId async_send_request(SharedRequest request)
  {
    Promise promise;
    auto future = promise.get_future();
    const int64_t id = send(request, PendingVariant(std::move(promise)));
    return FutureAndRequestId(std::move(future), id);
  }

  template<
    typename CallbackT,
    typename std::enable_if_t<std::is_invocable<CallbackT &, SharedFuture>::value, int> = 0>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT && cb)
  {
    CallbackEntry entry{Promise(), SharedFuture(), CallbackType(std::forward<CallbackT>(cb))};
    entry.future = entry.promise.get_future().share();
    SharedFuture future = entry.future;
    const int64_t id = send(request, PendingVariant(std::move(entry)));
    return SharedFutureAndRequestId(std::move(future), id);
  }

  template<
    typename CallbackT,
    typename std::enable_if_t<
      !std::is_invocable<CallbackT &, SharedFuture>::value &&
      std::is_invocable<CallbackT &, SharedFutureWithRequest>::value, int> = 0>
  SharedFutureWithRequestAndRequestId async_send_request(SharedRequest request, CallbackT && cb)
  {
    CallbackWithRequestEntry entry{
      PromiseWithRequest(), SharedFutureWithRequest(),
      CallbackWithRequestType(std::forward<CallbackT>(cb))};
    entry.future = entry.promise.get_future().share();
    SharedFutureWithRequest future = entry.future;
    const int64_t id = send(request, PendingVariant(std::move(entry)));
    return SharedFutureWithRequestAndRequestId(std::move(future), id);
  }

  bool remove_pending_request(int64_t request_id)
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    return pending_requests_.erase(request_id) != 0u;
  }

  bool remove_pending_request(const FutureAndRequestId & future)
  {
    return remove_pending_request(future.request_id);
  }

  bool remove_pending_request(const SharedFutureAndRequestId & future)
  {
    return remove_pending_request(future.request_id);
  }

  bool remove_pending_request(const SharedFutureWithRequestAndRequestId & future)
  {
    return remove_pending_request(future.request_id);
  }

  size_t prune_pending_requests()
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    const size_t count = pending_requests_.size();
    pending_requests_.clear();
    return count;
  }

  template<typename AllocatorT = std::allocator<int64_t>>
  size_t prune_requests_older_than(
    std::chrono::time_point<std::chrono::system_clock> time_point,
    std::vector<int64_t, AllocatorT> * pruned_requests = nullptr)
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    size_t count = 0;
    for (auto it = pending_requests_.begin(); it != pending_requests_.end(); ) {
      if (it->second.sent_at < time_point) {
        if (pruned_requests) {
          pruned_requests->push_back(it->first);
        }
        it = pending_requests_.erase(it);
        ++count;
      } else {
        ++it;
      }
    }
    return count;
  }

private:
  struct CallbackEntry
  {
    Promise promise;
    SharedFuture future;
    CallbackType callback;
  };

  struct CallbackWithRequestEntry
  {
    PromiseWithRequest promise;
    SharedFutureWithRequest future;
    CallbackWithRequestType callback;
  };

  using PendingVariant = std::variant<Promise, CallbackEntry, CallbackWithRequestEntry>;

  struct PendingRequest
  {
    std::chrono::time_point<std::chrono::system_clock> sent_at;
    SharedRequest request;
    PendingVariant promise;
  };

  int64_t send(const SharedRequest & request, PendingVariant && pending)
  {
    // The pending entry is stored before the request leaves, so a fast response finds it.
    std::lock_guard<std::mutex> send_lock(send_mutex_);
    const int64_t id = next_sequence_number_++;
    {
      std::lock_guard<std::mutex> lock(pending_mutex_);
      pending_requests_.emplace(
        id, PendingRequest{std::chrono::system_clock::now(), request, std::move(pending)});
    }
    send_type_erased_request(std::make_shared<Request>(*request), id);
    return id;
  }

  std::optional<PendingRequest> extract(int64_t id)
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    auto it = pending_requests_.find(id);
    if (it == pending_requests_.end()) {
      return std::nullopt;
    }
    PendingRequest pending = std::move(it->second);
    pending_requests_.erase(it);
    return pending;
  }

  std::mutex send_mutex_;
  int64_t next_sequence_number_{1};
  std::mutex pending_mutex_;
  std::map<int64_t, PendingRequest> pending_requests_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLIENT_HPP_
