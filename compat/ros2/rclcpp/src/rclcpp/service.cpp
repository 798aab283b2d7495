#include "rclcpp/service.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "graph.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace
{

std::pair<int64_t, int64_t> key_of(const rmw_request_id_t & id)
{
  int64_t writer = 0;
  std::memcpy(&writer, id.writer_guid, sizeof(writer));
  return {writer, id.sequence_number};
}

}  // namespace

ServiceBase::ServiceBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
  const rmw_qos_profile_t & qos_profile, const std::type_index & service_type,
  const std::string & service_type_name)
: service_name_(node_base->resolve_topic_or_service_name(service_name, true)),
  node_fqn_(node_base->get_fully_qualified_name()),
  qos_(QoSInitialization::from_rmw(qos_profile), qos_profile), service_type_(service_type),
  service_type_name_(service_type_name)
{}

ServiceBase::~ServiceBase()
{
  detail::Graph::instance().notify_change();
}

const char * ServiceBase::get_service_name()
{
  return service_name_.c_str();
}

rclcpp::QoS ServiceBase::get_response_publisher_actual_qos() const
{
  return qos_;
}

rclcpp::QoS ServiceBase::get_request_subscription_actual_qos() const
{
  return qos_;
}

bool ServiceBase::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

void ServiceBase::register_in_graph()
{
  detail::Graph::instance().add_service(shared_from_this());
}

const std::string & ServiceBase::get_service_type_name() const
{
  return service_type_name_;
}

const std::type_index & ServiceBase::get_service_type() const
{
  return service_type_;
}

const char * ServiceBase::get_node_fully_qualified_name() const
{
  return node_fqn_.c_str();
}

void ServiceBase::receive_request(
  std::shared_ptr<void> request, const rmw_request_id_t & request_id,
  std::weak_ptr<ClientBase> client)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back({std::move(request), request_id});
    awaiting_response_[key_of(request_id)] = std::move(client);
  }
  notify_callback_group();
}

bool ServiceBase::is_ready_to_execute()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !requests_.empty();
}

bool ServiceBase::execute_one()
{
  auto header = create_request_header();
  std::shared_ptr<void> request;
  if (!take_type_erased_request(request, *header)) {
    return false;
  }
  handle_request(header, request);
  return true;
}

bool ServiceBase::take_type_erased_request(
  std::shared_ptr<void> & request, rmw_request_id_t & request_id)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (requests_.empty()) {
    return false;
  }
  request = std::move(requests_.front().request);
  request_id = requests_.front().id;
  requests_.pop_front();
  return true;
}

void ServiceBase::send_type_erased_response(
  const rmw_request_id_t & request_id, std::shared_ptr<void> response)
{
  std::shared_ptr<ClientBase> client;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = awaiting_response_.find(key_of(request_id));
    if (it == awaiting_response_.end()) {
      throw std::runtime_error("failed to send response: unknown request id");
    }
    client = it->second.lock();
    awaiting_response_.erase(it);
  }
  if (client) {
    client->receive_response(request_id.sequence_number, std::move(response));
  }
}

}  // namespace rclcpp
