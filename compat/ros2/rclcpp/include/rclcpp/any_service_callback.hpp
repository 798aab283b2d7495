// Holds a service callback in any of rclcpp's accepted forms: (request, response),
// (header, request, response), and the deferred-response forms (header, request) and
// (service, header, request) that answer later through Service::send_response.
#ifndef RCLCPP__ANY_SERVICE_CALLBACK_HPP_
#define RCLCPP__ANY_SERVICE_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "rmw/types.h"

namespace rclcpp
{

template<typename ServiceT>
class Service;

template<typename ServiceT>
class AnyServiceCallback
{
public:
  using SharedRequest = std::shared_ptr<typename ServiceT::Request>;
  using SharedResponse = std::shared_ptr<typename ServiceT::Response>;
  using SharedHeader = std::shared_ptr<rmw_request_id_t>;
  using SharedService = std::shared_ptr<rclcpp::Service<ServiceT>>;
  /// Returns the response to send now, or nullptr when the callback answers later.
  using Dispatcher =
    std::function<SharedResponse(const SharedService &, const SharedHeader &, SharedRequest)>;

  template<typename CallbackT>
  void set(CallbackT && callback)
  {
    dispatcher_ = make_dispatcher(std::forward<CallbackT>(callback));
  }

  SharedResponse dispatch(
    const SharedService & service, const SharedHeader & request_header, SharedRequest request)
  {
    if (!dispatcher_) {
      throw std::runtime_error("unexpected request without any callback set");
    }
    return dispatcher_(service, request_header, std::move(request));
  }

private:
  template<typename C, typename ... Args>
  static constexpr bool accepts = std::is_invocable<C &, Args...>::value;

  template<typename CallbackT>
  static Dispatcher make_dispatcher(CallbackT && callback)
  {
    using C = std::decay_t<CallbackT>;
    C cb(std::forward<CallbackT>(callback));
    if constexpr (accepts<C, SharedRequest, SharedResponse>) {
      return [cb](const SharedService &, const SharedHeader &, SharedRequest request) mutable {
               auto response = std::make_shared<typename ServiceT::Response>();
               cb(std::move(request), response);
               return response;
             };
    } else if constexpr (accepts<C, SharedHeader, SharedRequest, SharedResponse>) {
      return [cb](const SharedService &, const SharedHeader & header, SharedRequest request)
             mutable {
               auto response = std::make_shared<typename ServiceT::Response>();
               cb(header, std::move(request), response);
               return response;
             };
    } else if constexpr (accepts<C, SharedHeader, SharedRequest>) {
      return [cb](const SharedService &, const SharedHeader & header, SharedRequest request)
             mutable {
               cb(header, std::move(request));
               return SharedResponse();
             };
    } else if constexpr (accepts<C, SharedService, SharedHeader, SharedRequest>) {
      return [cb](const SharedService & service, const SharedHeader & header, SharedRequest request)
             mutable {
               cb(service, header, std::move(request));
               return SharedResponse();
             };
    } else {
      static_assert(
        accepts<C, SharedRequest, SharedResponse>,
        "service callback signature is not supported for this service type");
      return Dispatcher();
    }
  }

  Dispatcher dispatcher_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SERVICE_CALLBACK_HPP_
