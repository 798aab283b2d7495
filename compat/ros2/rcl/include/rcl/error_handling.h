// Error state of the client library C layer (rcutils' error state).
#ifndef RCL__ERROR_HANDLING_H_
#define RCL__ERROR_HANDLING_H_

#include "rcutils/error_handling.h"

typedef rcutils_error_state_t rcl_error_state_t;
#define rcl_get_error_state rcutils_get_error_state
#define rcl_get_error_string rcutils_get_error_string
#define rcl_reset_error rcutils_reset_error
#define rcl_error_is_set rcutils_error_is_set

#endif  // RCL__ERROR_HANDLING_H_
