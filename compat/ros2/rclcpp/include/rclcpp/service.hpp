// Services: requests from clients wait in the service's queue until an executor runs the
// callback; the response goes back to the requesting client's queue.
#ifndef RCLCPP__SERVICE_HPP_
#define RCLCPP__SERVICE_HPP_

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>

#include "rclcpp/any_service_callback.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rmw/types.h"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

class ClientBase;

namespace node_interfaces
{
class NodeBaseInterface;
}  // namespace node_interfaces

class ServiceBase
  : public std::enable_shared_from_this<ServiceBase>, public detail::ExecutableEntity
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ServiceBase)

  ServiceBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    const rmw_qos_profile_t & qos_profile, const std::type_index & service_type,
    const std::string & service_type_name);
  virtual ~ServiceBase();
  ServiceBase(const ServiceBase &) = delete;
  ServiceBase & operator=(const ServiceBase &) = delete;

  const char * get_service_name();
  virtual std::shared_ptr<void> create_request() = 0;
  virtual std::shared_ptr<rmw_request_id_t> create_request_header() = 0;
  virtual void handle_request(
    std::shared_ptr<rmw_request_id_t> request_header, std::shared_ptr<void> request) = 0;
  rclcpp::QoS get_response_publisher_actual_qos() const;
  rclcpp::QoS get_request_subscription_actual_qos() const;
  bool exchange_in_use_by_wait_set_state(bool in_use_state);

  /// Enters the service into the graph; called once by the node that creates it.
  void register_in_graph();
  const std::string & get_service_type_name() const;
  const std::type_index & get_service_type() const;
  const char * get_node_fully_qualified_name() const;

  /// Called by clients: queues a request (a private copy) together with who asked.
  void receive_request(
    std::shared_ptr<void> request, const rmw_request_id_t & request_id,
    std::weak_ptr<ClientBase> client);

  bool is_ready_to_execute() override;
  bool execute_one() override;

protected:
  bool take_type_erased_request(std::shared_ptr<void> & request, rmw_request_id_t & request_id);
  /// Sends a response to the client that sent `request_id`; a vanished client drops it.
  void send_type_erased_response(
    const rmw_request_id_t & request_id, std::shared_ptr<void> response);

private:
  struct PendingRequest
  {
    std::shared_ptr<void> request;
    rmw_request_id_t id;
  };

  std::string service_name_;
  std::string node_fqn_;
  rclcpp::QoS qos_;
  std::type_index service_type_;
  std::string service_type_name_;
  std::mutex mutex_;
  std::deque<PendingRequest> requests_;
  std::map<std::pair<int64_t, int64_t>, std::weak_ptr<ClientBase>> awaiting_response_;
  std::atomic<bool> in_use_by_wait_set_{false};
};

template<typename ServiceT>
class Service : public ServiceBase
{
public:
  using CallbackType = std::function<
    void (
      const std::shared_ptr<typename ServiceT::Request>,
      std::shared_ptr<typename ServiceT::Response>)>;

  RCLCPP_SMART_PTR_DEFINITIONS(Service)

  Service(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    AnyServiceCallback<ServiceT> any_callback, const rmw_qos_profile_t & qos_profile)
  : ServiceBase(
      node_base, service_name, qos_profile, std::type_index(typeid(ServiceT)),
      rosidl_generator_traits::name<ServiceT>()),
    any_callback_(std::move(any_callback))
  {}

  Service() = delete;

  bool take_request(typename ServiceT::Request & request_out, rmw_request_id_t & request_id_out)
  {
    std::shared_ptr<void> request;
    if (!take_type_erased_request(request, request_id_out)) {
      return false;
    }
    request_out = *std::static_pointer_cast<typename ServiceT::Request>(request);
    return true;
  }

  std::shared_ptr<void> create_request() override
  {
    return std::make_shared<typename ServiceT::Request>();
  }

  std::shared_ptr<rmw_request_id_t> create_request_header() override
  {
    return std::make_shared<rmw_request_id_t>();
  }

  void handle_request(
    std::shared_ptr<rmw_request_id_t> request_header, std::shared_ptr<void> request) override
  {
    auto typed_request = std::static_pointer_cast<typename ServiceT::Request>(request);
    auto self = std::static_pointer_cast<Service<ServiceT>>(shared_from_this());
    auto response = any_callback_.dispatch(self, request_header, typed_request);
    if (response) {
      send_response(*request_header, *response);
    }
  }

  void send_response(rmw_request_id_t & req_id, typename ServiceT::Response & response)
  {
    send_type_erased_response(
      req_id, std::make_shared<typename ServiceT::Response>(response));
  }

private:
  AnyServiceCallback<ServiceT> any_callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_HPP_
