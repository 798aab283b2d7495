#include "rclcpp/client.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "graph.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/service.hpp"

namespace rclcpp
{
namespace
{

uint64_t next_client_id()
{
  static std::atomic<uint64_t> next{1};
  return next++;
}

}  // namespace

ClientBase::ClientBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base,
  std::shared_ptr<rclcpp::node_interfaces::NodeGraphInterface> node_graph,
  const std::string & service_name, const rmw_qos_profile_t & qos_profile,
  const std::type_index & service_type)
: service_name_(node_base->resolve_topic_or_service_name(service_name, true)),
  qos_(QoSInitialization::from_rmw(qos_profile), qos_profile), service_type_(service_type),
  context_(node_base->get_context()), node_graph_(node_graph), client_id_(next_client_id())
{}

ClientBase::~ClientBase()
{
  detail::Graph::instance().notify_change();
}

const char * ClientBase::get_service_name() const
{
  return service_name_.c_str();
}

bool ClientBase::service_is_ready() const
{
  auto service = detail::Graph::instance().find_service(service_name_);
  return service && service->get_service_type() == service_type_;
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout)
{
  if (node_graph_.expired()) {
    throw rclcpp::exceptions::InvalidNodeError();
  }
  if (!context_->is_valid()) {
    return false;
  }
  return detail::Graph::instance().wait_until(
    [this]() {return service_is_ready();}, timeout, context_);
}

bool ClientBase::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

rclcpp::QoS ClientBase::get_request_publisher_actual_qos() const
{
  return qos_;
}

rclcpp::QoS ClientBase::get_response_subscription_actual_qos() const
{
  return qos_;
}

void ClientBase::set_on_new_response_callback(std::function<void(size_t)> callback)
{
  std::lock_guard<std::mutex> lock(mutex_);
  on_new_response_callback_ = std::move(callback);
  if (on_new_response_callback_ && !responses_.empty()) {
    on_new_response_callback_(responses_.size());
  }
}

void ClientBase::clear_on_new_response_callback()
{
  std::lock_guard<std::mutex> lock(mutex_);
  on_new_response_callback_ = nullptr;
}

void ClientBase::register_in_graph()
{
  detail::Graph::instance().add_client(shared_from_this());
}

void ClientBase::receive_response(int64_t sequence_number, std::shared_ptr<void> response)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_.emplace_back(sequence_number, std::move(response));
    if (on_new_response_callback_) {
      on_new_response_callback_(1);
    }
  }
  notify_callback_group();
}

bool ClientBase::is_ready_to_execute()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !responses_.empty();
}

bool ClientBase::execute_one()
{
  std::pair<int64_t, std::shared_ptr<void>> response;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (responses_.empty()) {
      return false;
    }
    response = std::move(responses_.front());
    responses_.pop_front();
  }
  auto header = create_request_header();
  header->sequence_number = response.first;
  std::memcpy(header->writer_guid, &client_id_, sizeof(client_id_));
  handle_response(header, response.second);
  return true;
}

void ClientBase::send_type_erased_request(std::shared_ptr<void> request, int64_t sequence_number)
{
  auto service = detail::Graph::instance().find_service(service_name_);
  if (!service || service->get_service_type() != service_type_) {
    return;
  }
  rmw_request_id_t id{};
  std::memcpy(id.writer_guid, &client_id_, sizeof(client_id_));
  id.sequence_number = sequence_number;
  service->receive_request(std::move(request), id, weak_from_this());
}

}  // namespace rclcpp
