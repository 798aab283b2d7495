#include "rclcpp/init_options.hpp"

namespace rclcpp
{

InitOptions::InitOptions(rcl_allocator_t allocator)
: allocator_(allocator) {}

InitOptions::InitOptions(const rcl_init_options_t & init_options)
: allocator_(rcl_get_default_allocator()), init_options_(init_options) {}

bool InitOptions::auto_initialize_logging() const
{
  return initialize_logging_;
}

InitOptions & InitOptions::auto_initialize_logging(bool initialize_logging)
{
  initialize_logging_ = initialize_logging;
  return *this;
}

const rcl_init_options_t * InitOptions::get_rcl_init_options() const
{
  return &init_options_;
}

void InitOptions::use_default_domain_id()
{
  init_options_.domain_id = 0;
}

void InitOptions::set_domain_id(size_t domain_id)
{
  init_options_.domain_id = domain_id;
}

size_t InitOptions::get_domain_id() const
{
  return init_options_.domain_id;
}

}  // namespace rclcpp
