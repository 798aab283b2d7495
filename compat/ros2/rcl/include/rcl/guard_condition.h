// Guard condition handle and options of the C layer.
#ifndef RCL__GUARD_CONDITION_H_
#define RCL__GUARD_CONDITION_H_

#include "rcl/allocator.h"
#include "rcl/context.h"

typedef struct rcl_guard_condition_impl_s rcl_guard_condition_impl_t;

typedef struct rcl_guard_condition_s
{
  rcl_context_t * context;
  rcl_guard_condition_impl_t * impl;
} rcl_guard_condition_t;

typedef struct rcl_guard_condition_options_s
{
  rcl_allocator_t allocator;
} rcl_guard_condition_options_t;

static inline rcl_guard_condition_options_t rcl_guard_condition_get_default_options(void)
{
  rcl_guard_condition_options_t options;
  options.allocator = rcl_get_default_allocator();
  return options;
}

#endif  // RCL__GUARD_CONDITION_H_
