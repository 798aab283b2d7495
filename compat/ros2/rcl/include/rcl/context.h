// Opaque handles of the C layer that rclcpp's API exposes; the in-process runtime keeps its state elsewhere.
#ifndef RCL__CONTEXT_H_
#define RCL__CONTEXT_H_

#include <stdint.h>

typedef struct rcl_context_s
{
  uint64_t instance_id;
} rcl_context_t;

typedef struct rcl_init_options_s
{
  size_t domain_id;
} rcl_init_options_t;

#endif  // RCL__CONTEXT_H_
