// A node's own ROS arguments, parsed by the C++ layer, which owns what impl points to.
#ifndef RCL__ARGUMENTS_H_
#define RCL__ARGUMENTS_H_

typedef struct rcl_arguments_impl_s rcl_arguments_impl_t;

typedef struct rcl_arguments_s
{
  rcl_arguments_impl_t * impl;
} rcl_arguments_t;

#endif  // RCL__ARGUMENTS_H_
