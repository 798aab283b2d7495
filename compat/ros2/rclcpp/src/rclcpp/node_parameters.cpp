#include "rclcpp/node_interfaces/node_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "parameter_overrides.hpp"
#include "rclcpp/exceptions.hpp"
#include "ros_arguments.hpp"

namespace rclcpp
{
namespace node_interfaces
{
namespace
{

using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::SetParametersResult;

const char kWrongType[] = "Wrong parameter type";
constexpr uint64_t kDepthRecursive = 0;

SetParametersResult success()
{
  SetParametersResult result;
  result.successful = true;
  return result;
}

SetParametersResult failure(const std::string & reason)
{
  SetParametersResult result;
  result.successful = false;
  result.reason = reason;
  return result;
}

std::string type_reason(const std::string & name, const std::string & old_type,
  const std::string & new_type)
{
  return std::string(kWrongType) + ", parameter {" + name + "} is of type {" + old_type +
         "}, setting it to {" + new_type + "} is not allowed.";
}

std::string range_reason(const std::string & name, const std::string & range_type)
{
  return "Parameter {" + name + "} doesn't comply with " + range_type + " range.";
}

bool doubles_equal(double x, double y, double ulp = 100.0)
{
  return std::abs(x - y) <= std::numeric_limits<double>::epsilon() * std::abs(x + y) * ulp;
}

bool integer_in_range(int64_t v, const rcl_interfaces::msg::IntegerRange & range)
{
  if (v == range.from_value || v == range.to_value) {
    return true;
  }
  if (v < range.from_value || v > range.to_value) {
    return false;
  }
  return range.step == 0 ||
         (static_cast<uint64_t>(v - range.from_value) % range.step) == 0;
}

bool double_in_range(double v, const rcl_interfaces::msg::FloatingPointRange & range)
{
  if (doubles_equal(v, range.from_value) || doubles_equal(v, range.to_value)) {
    return true;
  }
  if (v < range.from_value || v > range.to_value) {
    return false;
  }
  if (range.step == 0.0) {
    return true;
  }
  const double rounded_div = std::round((v - range.from_value) / range.step);
  return doubles_equal(v, range.from_value + rounded_div * range.step);
}

SetParametersResult check_range(
  const ParameterDescriptor & descriptor, const rclcpp::ParameterValue & value)
{
  if (!descriptor.integer_range.empty()) {
    const auto & range = descriptor.integer_range.at(0);
    bool ok = true;
    if (value.get_type() == rclcpp::PARAMETER_INTEGER) {
      ok = integer_in_range(value.get<int64_t>(), range);
    } else if (value.get_type() == rclcpp::PARAMETER_INTEGER_ARRAY) {
      for (int64_t v : value.get<std::vector<int64_t>>()) {
        ok = ok && integer_in_range(v, range);
      }
    }
    if (!ok) {
      return failure(range_reason(descriptor.name, "integer"));
    }
  }
  if (!descriptor.floating_point_range.empty()) {
    const auto & range = descriptor.floating_point_range.at(0);
    bool ok = true;
    if (value.get_type() == rclcpp::PARAMETER_DOUBLE) {
      ok = double_in_range(value.get<double>(), range);
    } else if (value.get_type() == rclcpp::PARAMETER_DOUBLE_ARRAY) {
      for (double v : value.get<std::vector<double>>()) {
        ok = ok && double_in_range(v, range);
      }
    }
    if (!ok) {
      return failure(range_reason(descriptor.name, "floating point"));
    }
  }
  return success();
}

}  // namespace

NodeParameters::ModificationGuard::ModificationGuard(bool & allowed)
: allowed_(allowed)
{
  if (!allowed_) {
    throw rclcpp::exceptions::ParameterModifiedInCallbackException(
            "cannot set or declare a parameter, or change the callback from within set callback");
  }
  allowed_ = false;
}

NodeParameters::ModificationGuard::~ModificationGuard()
{
  allowed_ = true;
}

NodeParameters::NodeParameters(
  const NodeBaseInterface::SharedPtr node_base,
  const NodeLoggingInterface::SharedPtr,
  const NodeTopicsInterface::SharedPtr,
  const NodeServicesInterface::SharedPtr,
  const NodeClockInterface::SharedPtr,
  const std::vector<Parameter> & parameter_overrides,
  bool, bool, const rclcpp::QoS &, const rclcpp::PublisherOptionsBase &,
  bool allow_undeclared_parameters,
  bool automatically_declare_parameters_from_overrides,
  const std::vector<std::string> & node_arguments,
  bool use_global_arguments)
: allow_undeclared_(allow_undeclared_parameters)
{
  const std::vector<std::string> no_arguments;
  const auto & global_arguments = use_global_arguments ?
    detail::get_global_ros_arguments(*node_base->get_context()) : no_arguments;
  const auto own_arguments = detail::RosArguments::extract(node_arguments);
  detail::RosArguments::validate(own_arguments);
  parameter_overrides_ = detail::ParameterOverrides::resolve(
    node_base->get_fully_qualified_name(), global_arguments, own_arguments, parameter_overrides);
  if (automatically_declare_parameters_from_overrides) {
    ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    for (const auto & entry : parameter_overrides_) {
      if (!has_parameter(entry.first)) {
        declare_parameter(entry.first, entry.second, descriptor, true);
      }
    }
  }
}

const rclcpp::ParameterValue & NodeParameters::declare_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  ParameterDescriptor descriptor = parameter_descriptor;
  if (!descriptor.dynamic_typing) {
    if (default_value.get_type() == rclcpp::PARAMETER_NOT_SET) {
      throw rclcpp::exceptions::InvalidParameterTypeException(
              name, "cannot declare a statically typed parameter with an uninitialized value");
    }
    descriptor.type = default_value.get_type();
  }
  return declare_checked(name, default_value, descriptor, ignore_override);
}

const rclcpp::ParameterValue & NodeParameters::declare_parameter(
  const std::string & name, rclcpp::ParameterType type,
  const ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  if (type == rclcpp::PARAMETER_NOT_SET) {
    throw std::invalid_argument(
            "declare_parameter(): the provided parameter type cannot be "
            "rclcpp::PARAMETER_NOT_SET");
  }
  if (parameter_descriptor.dynamic_typing) {
    throw std::invalid_argument(
            "declare_parameter(): cannot declare parameter of specific type and pass descriptor"
            "with `dynamic_typing=true`");
  }
  ParameterDescriptor descriptor = parameter_descriptor;
  descriptor.type = type;
  return declare_checked(name, rclcpp::ParameterValue(), descriptor, ignore_override);
}

const rclcpp::ParameterValue & NodeParameters::declare_checked(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const ParameterDescriptor & descriptor, bool ignore_override)
{
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (parameters_.count(name)) {
    throw rclcpp::exceptions::ParameterAlreadyDeclaredException(
            "parameter '" + name + "' has already been declared");
  }
  auto result = declare_common(name, default_value, descriptor, parameters_, ignore_override, true);
  if (!result.successful) {
    if (result.reason.compare(0, std::strlen(kWrongType), kWrongType) == 0) {
      throw rclcpp::exceptions::InvalidParameterTypeException(name, result.reason);
    }
    throw rclcpp::exceptions::InvalidParameterValueException(
            "parameter '" + name + "' could not be set: " + result.reason);
  }
  return parameters_.at(name).value;
}

SetParametersResult NodeParameters::declare_common(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const ParameterDescriptor & descriptor, ParameterInfoMap & parameters_out,
  bool ignore_override, bool run_callbacks)
{
  ParameterInfoMap infos{{name, ParameterInfo()}};
  infos.at(name).descriptor = descriptor;
  const rclcpp::ParameterValue * initial_value = &default_value;
  auto override_it = parameter_overrides_.find(name);
  if (!ignore_override && override_it != parameter_overrides_.end()) {
    initial_value = &override_it->second;
  }
  if (initial_value->get_type() == rclcpp::PARAMETER_NOT_SET) {
    infos.at(name).descriptor.name = name;
    infos.at(name).descriptor.type =
      descriptor.dynamic_typing ? static_cast<uint8_t>(rclcpp::PARAMETER_NOT_SET) : descriptor.type;
    parameters_out[name] = infos.at(name);
    return success();
  }
  auto result = set_atomically_common({rclcpp::Parameter(name, *initial_value)}, infos,
      run_callbacks);
  if (result.successful) {
    parameters_out[name] = infos.at(name);
  }
  return result;
}

SetParametersResult NodeParameters::set_atomically_common(
  const std::vector<rclcpp::Parameter> & parameters, ParameterInfoMap & infos,
  bool run_callbacks)
{
  auto result = check_parameters(infos, parameters);
  if (!result.successful) {
    return result;
  }
  if (run_callbacks) {
    result = call_on_set_callbacks(parameters);
    if (!result.successful) {
      return result;
    }
  }
  for (const auto & parameter : parameters) {
    auto & info = infos[parameter.get_name()];
    info.descriptor.name = parameter.get_name();
    if (!info.descriptor.dynamic_typing) {
      info.descriptor.type = parameter.get_type();
    }
    info.value = parameter.get_parameter_value();
  }
  return result;
}

SetParametersResult NodeParameters::check_parameters(
  const ParameterInfoMap & infos, const std::vector<rclcpp::Parameter> & parameters) const
{
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    ParameterDescriptor descriptor;
    auto it = infos.find(name);
    if (it != infos.end()) {
      descriptor = it->second.descriptor;
    } else {
      descriptor.dynamic_typing = true;
    }
    if (descriptor.name.empty()) {
      descriptor.name = name;
    }
    const auto declared_type = static_cast<rclcpp::ParameterType>(descriptor.type);
    if (!descriptor.dynamic_typing && declared_type != parameter.get_type()) {
      return failure(
        type_reason(name, rclcpp::to_string(declared_type),
        rclcpp::to_string(parameter.get_type())));
    }
    auto in_range = check_range(descriptor, parameter.get_parameter_value());
    if (!in_range.successful) {
      return in_range;
    }
  }
  return success();
}

SetParametersResult NodeParameters::call_on_set_callbacks(
  const std::vector<rclcpp::Parameter> & parameters)
{
  auto result = success();
  auto it = on_parameters_set_callback_container_.begin();
  while (it != on_parameters_set_callback_container_.end()) {
    auto handle = it->lock();
    if (!handle) {
      it = on_parameters_set_callback_container_.erase(it);
      continue;
    }
    result = handle->callback(parameters);
    if (!result.successful) {
      return result;
    }
    ++it;
  }
  return result;
}

void NodeParameters::undeclare_parameter(const std::string & name)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(
            "cannot undeclare parameter '" + name + "' which has not yet been declared");
  }
  if (it->second.descriptor.read_only) {
    throw rclcpp::exceptions::ParameterImmutableException(
            "cannot undeclare parameter '" + name + "' because it is read-only");
  }
  if (!it->second.descriptor.dynamic_typing) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
            name, "cannot undeclare an statically typed parameter");
  }
  parameters_.erase(it);
}

bool NodeParameters::has_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return parameters_.count(name) != 0;
}

std::vector<SetParametersResult> NodeParameters::set_parameters(
  const std::vector<rclcpp::Parameter> & parameters)
{
  std::vector<SetParametersResult> results;
  for (const auto & parameter : parameters) {
    results.push_back(set_parameters_atomically({parameter}));
  }
  return results;
}

SetParametersResult NodeParameters::set_parameters_atomically(
  const std::vector<rclcpp::Parameter> & parameters)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  std::vector<const rclcpp::Parameter *> to_declare;
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (name.empty()) {
      throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
    }
    auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      if (!allow_undeclared_) {
        throw rclcpp::exceptions::ParameterNotDeclaredException(
                "parameter '" + name + "' cannot be set because it was not declared");
      }
      if (parameter.get_type() != rclcpp::PARAMETER_NOT_SET) {
        to_declare.push_back(&parameter);
      }
      continue;
    }
    if (it->second.descriptor.read_only) {
      return failure("parameter '" + name + "' cannot be set because it is read-only");
    }
  }
  ParameterInfoMap staged = parameters_;
  for (const auto * parameter : to_declare) {
    ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    auto result = declare_common(
      parameter->get_name(), parameter->get_parameter_value(), descriptor, staged, true, false);
    if (!result.successful) {
      return result;
    }
  }
  std::vector<std::string> to_undeclare;
  for (const auto & parameter : parameters) {
    if (parameter.get_type() != rclcpp::PARAMETER_NOT_SET) {
      continue;
    }
    auto it = parameters_.find(parameter.get_name());
    if (it != parameters_.end() && it->second.value.get_type() != rclcpp::PARAMETER_NOT_SET) {
      if (!it->second.descriptor.dynamic_typing) {
        return failure("cannot undeclare an statically typed parameter");
      }
      to_undeclare.push_back(parameter.get_name());
    }
  }
  auto result = set_atomically_common(parameters, staged, true);
  if (!result.successful) {
    return result;
  }
  for (const auto & name : to_undeclare) {
    staged.erase(name);
  }
  parameters_.swap(staged);
  return result;
}

std::vector<rclcpp::Parameter> NodeParameters::get_parameters(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<rclcpp::Parameter> results;
  for (const auto & name : names) {
    auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      results.emplace_back(name, it->second.value);
    } else if (allow_undeclared_) {
      results.emplace_back(name, rclcpp::ParameterValue());
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

rclcpp::Parameter NodeParameters::get_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it != parameters_.end() &&
    (it->second.value.get_type() != rclcpp::PARAMETER_NOT_SET ||
    it->second.descriptor.dynamic_typing))
  {
    return rclcpp::Parameter{name, it->second.value};
  }
  if (allow_undeclared_) {
    return rclcpp::Parameter{};
  }
  if (it == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
  throw rclcpp::exceptions::ParameterUninitializedException(name);
}

bool NodeParameters::get_parameter(const std::string & name, rclcpp::Parameter & parameter) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it != parameters_.end() && it->second.value.get_type() != rclcpp::PARAMETER_NOT_SET) {
    parameter = {name, it->second.value};
    return true;
  }
  return false;
}

bool NodeParameters::get_parameters_by_prefix(
  const std::string & prefix, std::map<std::string, rclcpp::Parameter> & parameters) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string prefix_with_dot = prefix.empty() ? prefix : prefix + ".";
  bool found = false;
  for (const auto & entry : parameters_) {
    if (entry.first.find(prefix_with_dot) == 0 && entry.first.size() > prefix_with_dot.size()) {
      parameters[entry.first.substr(prefix_with_dot.size())] = rclcpp::Parameter(entry.second);
      found = true;
    }
  }
  return found;
}

std::vector<ParameterDescriptor> NodeParameters::describe_parameters(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<ParameterDescriptor> results;
  for (const auto & name : names) {
    auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      results.push_back(it->second.descriptor);
    } else if (allow_undeclared_) {
      ParameterDescriptor descriptor;
      descriptor.name = name;
      results.push_back(descriptor);
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

std::vector<uint8_t> NodeParameters::get_parameter_types(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<uint8_t> results;
  for (const auto & name : names) {
    auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      results.push_back(it->second.value.get_type());
    } else if (allow_undeclared_) {
      results.push_back(rclcpp::PARAMETER_NOT_SET);
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

rcl_interfaces::msg::ListParametersResult NodeParameters::list_parameters(
  const std::vector<std::string> & prefixes, uint64_t depth) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  rcl_interfaces::msg::ListParametersResult result;
  const char separator = '.';
  auto shallow_enough = [depth, separator](const std::string & s) {
      return static_cast<uint64_t>(std::count(s.begin(), s.end(), separator)) < depth;
    };
  for (const auto & entry : parameters_) {
    const std::string & name = entry.first;
    bool listed = prefixes.empty() && (depth == kDepthRecursive || shallow_enough(name));
    for (const auto & prefix : prefixes) {
      if (name == prefix) {
        listed = true;
      } else if (name.find(prefix + separator) == 0) {
        listed = listed || depth == kDepthRecursive || shallow_enough(name.substr(prefix.size()));
      }
    }
    if (!listed) {
      continue;
    }
    result.names.push_back(name);
    const size_t last = name.find_last_of(separator);
    if (last != std::string::npos) {
      const std::string prefix = name.substr(0, last);
      if (std::find(result.prefixes.begin(), result.prefixes.end(), prefix) ==
        result.prefixes.end())
      {
        result.prefixes.push_back(prefix);
      }
    }
  }
  return result;
}

OnSetParametersCallbackHandle::SharedPtr NodeParameters::add_on_set_parameters_callback(
  OnParametersSetCallbackType callback)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  auto handle = std::make_shared<OnSetParametersCallbackHandle>();
  handle->callback = callback;
  on_parameters_set_callback_container_.emplace_front(handle);
  return handle;
}

void NodeParameters::remove_on_set_parameters_callback(
  const OnSetParametersCallbackHandle * const handler)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ModificationGuard guard(parameter_modification_enabled_);
  auto it = std::find_if(
    on_parameters_set_callback_container_.begin(), on_parameters_set_callback_container_.end(),
    [handler](const OnSetParametersCallbackHandle::WeakPtr & weak) {
      return weak.lock().get() == handler;
    });
  if (it == on_parameters_set_callback_container_.end()) {
    throw std::runtime_error("Callback doesn't exist");
  }
  on_parameters_set_callback_container_.erase(it);
}

const std::map<std::string, rclcpp::ParameterValue> &
NodeParameters::get_parameter_overrides() const
{
  return parameter_overrides_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
