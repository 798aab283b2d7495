// Options for rclcpp::init and Context::init.
#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

#include <cstddef>

#include "rcl/allocator.h"
#include "rcl/context.h"

namespace rclcpp
{

class InitOptions
{
public:
  bool shutdown_on_signal = true;

  explicit InitOptions(rcl_allocator_t allocator = rcl_get_default_allocator());
  explicit InitOptions(const rcl_init_options_t & init_options);
  InitOptions(const InitOptions & other) = default;
  InitOptions & operator=(const InitOptions & other) = default;
  virtual ~InitOptions() = default;

  bool auto_initialize_logging() const;
  InitOptions & auto_initialize_logging(bool initialize_logging);
  const rcl_init_options_t * get_rcl_init_options() const;
  void use_default_domain_id();
  void set_domain_id(size_t domain_id);
  size_t get_domain_id() const;

private:
  rcl_allocator_t allocator_;
  rcl_init_options_t init_options_{0};
  bool initialize_logging_{true};
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
