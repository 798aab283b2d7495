// Opaque subscription handle of the C layer.
#ifndef RCL__SUBSCRIPTION_H_
#define RCL__SUBSCRIPTION_H_

typedef struct rcl_subscription_impl_s rcl_subscription_impl_t;

typedef struct rcl_subscription_s
{
  rcl_subscription_impl_t * impl;
} rcl_subscription_t;

#endif  // RCL__SUBSCRIPTION_H_
