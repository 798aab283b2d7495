#include "parameter_overrides.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

const char kRosParameters[] = "ros__parameters";

[[noreturn]] void throw_invalid_args(const std::string & message)
{
  rcl_error_state_t state{};
  message.copy(state.message, sizeof(state.message) - 1);
  throw rclcpp::exceptions::RCLInvalidROSArgsError(
    RCL_RET_INVALID_ROS_ARGS, &state, "failed to parse arguments: ");
}

enum class ScalarKind {Bool, Integer, Double, String};

bool parse_bool(const std::string & text, bool * value)
{
  static const std::set<std::string> truths = {"y", "Y", "yes", "Yes", "YES", "true", "True",
    "TRUE", "on", "On", "ON"};
  static const std::set<std::string> falsehoods = {"n", "N", "no", "No", "NO", "false", "False",
    "FALSE", "off", "Off", "OFF"};
  if (truths.count(text)) {
    *value = true;
    return true;
  }
  if (falsehoods.count(text)) {
    *value = false;
    return true;
  }
  return false;
}

bool parse_integer(const std::string & text, int64_t * value)
{
  if (text.empty()) {
    return false;
  }
  char * end = nullptr;
  errno = 0;
  // Base 0, as C reads literals: "0x10" is 16 and "010" is 8.
  const long long parsed = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') {
    return false;
  }
  *value = parsed;
  return true;
}

bool parse_double(const std::string & text, double * value)
{
  static const std::set<std::string> nans = {".nan", ".NaN", ".NAN"};
  static const std::set<std::string> infinities = {".inf", ".Inf", ".INF", "+.inf", "+.Inf",
    "+.INF"};
  static const std::set<std::string> negative_infinities = {"-.inf", "-.Inf", "-.INF"};
  if (nans.count(text)) {
    *value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (infinities.count(text)) {
    *value = std::numeric_limits<double>::infinity();
    return true;
  }
  if (negative_infinities.count(text)) {
    *value = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (text.empty()) {
    return false;
  }
  char * end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (*end != '\0') {
    return false;
  }
  *value = parsed;
  return true;
}

ScalarKind classify(const YAML::Node & node)
{
  if (node.Tag() == "!") {
    return ScalarKind::String;
  }
  bool b;
  int64_t i;
  double d;
  if (parse_bool(node.Scalar(), &b)) {
    return ScalarKind::Bool;
  }
  if (parse_integer(node.Scalar(), &i)) {
    return ScalarKind::Integer;
  }
  if (parse_double(node.Scalar(), &d)) {
    return ScalarKind::Double;
  }
  return ScalarKind::String;
}

rclcpp::ParameterValue scalar_value(const YAML::Node & node)
{
  switch (classify(node)) {
    case ScalarKind::Bool: {
        bool b = false;
        parse_bool(node.Scalar(), &b);
        return rclcpp::ParameterValue(b);
      }
    case ScalarKind::Integer: {
        int64_t i = 0;
        parse_integer(node.Scalar(), &i);
        return rclcpp::ParameterValue(i);
      }
    case ScalarKind::Double: {
        double d = 0.0;
        parse_double(node.Scalar(), &d);
        return rclcpp::ParameterValue(d);
      }
    default:
      return rclcpp::ParameterValue(node.Scalar());
  }
}

template<typename T>
std::vector<T> sequence_of(const YAML::Node & node)
{
  std::vector<T> values;
  for (const auto & element : node) {
    values.push_back(scalar_value(element).get<T>());
  }
  return values;
}

rclcpp::ParameterValue sequence_value(const YAML::Node & node, const std::string & name)
{
  if (node.size() == 0) {
    throw_invalid_args("parameter '" + name + "': empty sequences are not supported");
  }
  std::set<ScalarKind> kinds;
  for (const auto & element : node) {
    if (!element.IsScalar()) {
      throw_invalid_args("parameter '" + name + "': sequences must hold scalars only");
    }
    kinds.insert(classify(element));
  }
  if (kinds.size() != 1) {
    throw_invalid_args("parameter '" + name + "': sequence should be of same type");
  }
  switch (*kinds.begin()) {
    case ScalarKind::Bool: return rclcpp::ParameterValue(sequence_of<bool>(node));
    case ScalarKind::Integer: return rclcpp::ParameterValue(sequence_of<int64_t>(node));
    case ScalarKind::Double: return rclcpp::ParameterValue(sequence_of<double>(node));
    default: return rclcpp::ParameterValue(sequence_of<std::string>(node));
  }
}

rclcpp::ParameterValue node_value(const YAML::Node & node, const std::string & name)
{
  if (node.IsSequence()) {
    return sequence_value(node, name);
  }
  if (node.IsScalar()) {
    return scalar_value(node);
  }
  throw_invalid_args("parameter '" + name + "' has no value");
}

// Flattens nested maps under ros__parameters into dotted names.
void collect_parameters(
  const YAML::Node & node, const std::string & prefix, ParameterOverrides::Map & out)
{
  if (!node.IsMap()) {
    throw_invalid_args("'" + std::string(kRosParameters) + "' must hold a map");
  }
  for (const auto & entry : node) {
    const std::string name = prefix.empty() ?
      entry.first.Scalar() : prefix + "." + entry.first.Scalar();
    if (entry.second.IsMap()) {
      collect_parameters(entry.second, name, out);
    } else {
      out[name] = node_value(entry.second, name);
    }
  }
}

std::string join_key(const std::string & path, const std::string & key)
{
  if (!key.empty() && key[0] == '/') {
    return path + key;
  }
  return path + "/" + key;
}

// Walks node keys (possibly nested namespaces) down to ros__parameters maps, calling `found` with
// each node key and its parameters.
void walk_nodes(
  const YAML::Node & node, const std::string & path,
  const std::function<void(const std::string &, const ParameterOverrides::Map &)> & found)
{
  if (!node.IsMap()) {
    throw_invalid_args("params file: expected a map under '" + path + "'");
  }
  for (const auto & entry : node) {
    const std::string key = entry.first.Scalar();
    if (key == kRosParameters) {
      if (path.empty()) {
        throw_invalid_args("params file: 'ros__parameters' needs a node name above it");
      }
      ParameterOverrides::Map parameters;
      collect_parameters(entry.second, "", parameters);
      found(path, parameters);
    } else {
      walk_nodes(entry.second, join_key(path, key), found);
    }
  }
}

std::vector<std::string> split_path(const std::string & path)
{
  std::vector<std::string> tokens;
  std::string token;
  for (char c : path) {
    if (c == '/') {
      if (!token.empty()) {
        tokens.push_back(token);
      }
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) {
    tokens.push_back(token);
  }
  return tokens;
}

bool match_tokens(
  const std::vector<std::string> & pattern, size_t p, const std::vector<std::string> & name,
  size_t n)
{
  if (p == pattern.size()) {
    return n == name.size();
  }
  if (pattern[p] == "**") {
    for (size_t skip = n; skip <= name.size(); ++skip) {
      if (match_tokens(pattern, p + 1, name, skip)) {
        return true;
      }
    }
    return false;
  }
  if (n == name.size()) {
    return false;
  }
  return (pattern[p] == "*" || pattern[p] == name[n]) && match_tokens(pattern, p + 1, name, n + 1);
}

}  // namespace

bool ParameterOverrides::key_matches(const std::string & key, const std::string & node_fqn)
{
  return match_tokens(split_path(key), 0, split_path(node_fqn), 0);
}

rclcpp::ParameterValue ParameterOverrides::parse_value(const std::string & yaml_text)
{
  YAML::Node node;
  try {
    node = YAML::Load(yaml_text);
  } catch (const YAML::Exception & e) {
    throw_invalid_args("cannot parse value '" + yaml_text + "': " + e.what());
  }
  if (node.IsNull()) {
    return rclcpp::ParameterValue(yaml_text);
  }
  return node_value(node, yaml_text);
}

void ParameterOverrides::collect_params_file(const std::string & path, KeyedMaps & out)
{
  YAML::Node root;
  try {
    root = YAML::LoadFile(path);
  } catch (const YAML::Exception & e) {
    throw_invalid_args("Couldn't parse params file: '" + path + "': " + e.what());
  }
  if (root.IsNull()) {
    return;
  }
  walk_nodes(
    root, "", [&out](const std::string & key, const Map & parameters) {
      for (const auto & parameter : parameters) {
        set(out, key, parameter.first, parameter.second);
      }
    });
}

void ParameterOverrides::set(
  KeyedMaps & maps, const std::string & key, const std::string & name,
  const rclcpp::ParameterValue & value)
{
  auto entry = std::find_if(
    maps.begin(), maps.end(), [&key](const auto & keyed) {return keyed.first == key;});
  if (entry == maps.end()) {
    maps.emplace_back(key, Map{});
    entry = std::prev(maps.end());
  }
  entry->second[name] = value;
}

ParameterOverrides::KeyedMaps ParameterOverrides::collect(
  const std::vector<std::string> & ros_arguments)
{
  KeyedMaps maps;
  for (size_t i = 0; i + 1 < ros_arguments.size(); ++i) {
    const std::string & flag = ros_arguments[i];
    if (flag == "--params-file") {
      collect_params_file(ros_arguments[++i], maps);
    } else if (flag == "-p" || flag == "--param") {
      const std::string & rule = ros_arguments[++i];
      const size_t separator = rule.find(":=");
      if (separator == std::string::npos || separator == 0) {
        throw_invalid_args("Couldn't parse parameter override rule: '" + rule + "'");
      }
      // "node:name:=value" scopes the value to that node; without a prefix it is for every node.
      const std::string target = rule.substr(0, separator);
      const size_t scope = target.find(':');
      const std::string key = scope == std::string::npos ? "/**" : "/" + target.substr(0, scope);
      const std::string name = scope == std::string::npos ? target : target.substr(scope + 1);
      if (name.empty() || key == "/") {
        throw_invalid_args("Couldn't parse parameter override rule: '" + rule + "'");
      }
      set(maps, key, name, parse_value(rule.substr(separator + 2)));
    } else if (flag == "--log-level") {
      ++i;
    }
  }
  return maps;
}

void ParameterOverrides::apply(const KeyedMaps & maps, const std::string & node_fqn, Map & out)
{
  for (const auto & keyed : maps) {
    if (!key_matches(keyed.first, node_fqn)) {
      continue;
    }
    for (const auto & parameter : keyed.second) {
      out[parameter.first] = parameter.second;
    }
  }
}

ParameterOverrides::Map ParameterOverrides::resolve(
  const std::string & node_fqn, const std::vector<std::string> & global_ros_arguments,
  const std::vector<std::string> & node_ros_arguments,
  const std::vector<rclcpp::Parameter> & parameter_overrides)
{
  Map result;
  apply(collect(global_ros_arguments), node_fqn, result);
  apply(collect(node_ros_arguments), node_fqn, result);
  for (const auto & parameter : parameter_overrides) {
    result[parameter.get_name()] = parameter.get_parameter_value();
  }
  return result;
}

void ParameterOverrides::check(const std::vector<std::string> & ros_arguments)
{
  collect(ros_arguments);
}

}  // namespace detail
}  // namespace rclcpp
