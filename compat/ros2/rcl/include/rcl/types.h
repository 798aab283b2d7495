// Return codes of the client library C layer.
#ifndef RCL__TYPES_H_
#define RCL__TYPES_H_

#include "rmw/types.h"

typedef rmw_ret_t rcl_ret_t;
#define RCL_RET_OK RMW_RET_OK
#define RCL_RET_ERROR RMW_RET_ERROR
#define RCL_RET_TIMEOUT RMW_RET_TIMEOUT
#define RCL_RET_BAD_ALLOC RMW_RET_BAD_ALLOC
#define RCL_RET_INVALID_ARGUMENT RMW_RET_INVALID_ARGUMENT
#define RCL_RET_UNSUPPORTED RMW_RET_UNSUPPORTED
#define RCL_RET_ALREADY_INIT 100
#define RCL_RET_NOT_INIT 101
#define RCL_RET_NODE_INVALID 200
#define RCL_RET_INVALID_ROS_ARGS 1010

#endif  // RCL__TYPES_H_
