// Opaque node handle and node options of the C layer.
#ifndef RCL__NODE_H_
#define RCL__NODE_H_

#include "rcl/allocator.h"
#include "rcl/arguments.h"
#include "rcl/context.h"

typedef struct rcl_node_s
{
  const char * name;
  const char * namespace_;
} rcl_node_t;

typedef struct rcl_node_options_s
{
  rcl_allocator_t allocator;
  bool use_global_arguments;
  rcl_arguments_t arguments;
  bool enable_rosout;
} rcl_node_options_t;

#endif  // RCL__NODE_H_
