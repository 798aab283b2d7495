// The C layer's view of a wait set after a wait: an entry is null unless that entity is ready.
// Only the entity kinds this workspace waits on outside an executor are present.
#ifndef RCL__WAIT_H_
#define RCL__WAIT_H_

#include <stddef.h>

#include "rcl/guard_condition.h"
#include "rcl/subscription.h"

typedef struct rcl_wait_set_impl_s rcl_wait_set_impl_t;

typedef struct rcl_wait_set_s
{
  const rcl_subscription_t ** subscriptions;
  size_t size_of_subscriptions;
  const rcl_guard_condition_t ** guard_conditions;
  size_t size_of_guard_conditions;
  rcl_wait_set_impl_t * impl;
} rcl_wait_set_t;

#endif  // RCL__WAIT_H_
