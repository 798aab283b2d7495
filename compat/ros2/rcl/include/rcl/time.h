// Clock types, time points and time-jump records of the client library C layer.
// The clock functions declared here are defined by rclcpp, which owns the in-process clocks.
#ifndef RCL__TIME_H_
#define RCL__TIME_H_

#include <stdbool.h>
#include <stdint.h>

#include "rcl/types.h"
#include "rcutils/time.h"

#ifdef __cplusplus
extern "C"
{
#endif

#define RCL_S_TO_NS RCUTILS_S_TO_NS
#define RCL_MS_TO_NS RCUTILS_MS_TO_NS
#define RCL_US_TO_NS RCUTILS_US_TO_NS
#define RCL_NS_TO_S RCUTILS_NS_TO_S
#define RCL_NS_TO_MS RCUTILS_NS_TO_MS
#define RCL_NS_TO_US RCUTILS_NS_TO_US

typedef rcutils_time_point_value_t rcl_time_point_value_t;
typedef rcutils_duration_value_t rcl_duration_value_t;

typedef enum rcl_clock_type_e
{
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
} rcl_clock_type_t;

typedef struct rcl_duration_s
{
  rcl_duration_value_t nanoseconds;
} rcl_duration_t;

typedef struct rcl_time_point_s
{
  rcl_time_point_value_t nanoseconds;
  rcl_clock_type_t clock_type;
} rcl_time_point_t;

typedef enum rcl_clock_change_e
{
  RCL_ROS_TIME_NO_CHANGE = 1,
  RCL_ROS_TIME_ACTIVATED = 2,
  RCL_ROS_TIME_DEACTIVATED = 3,
  RCL_SYSTEM_TIME_NO_CHANGE = 4
} rcl_clock_change_t;

typedef struct rcl_time_jump_s
{
  rcl_clock_change_t clock_change;
  rcl_duration_t delta;
} rcl_time_jump_t;

typedef struct rcl_jump_threshold_s
{
  bool on_clock_change;
  rcl_duration_t min_forward;
  rcl_duration_t min_backward;
} rcl_jump_threshold_t;

/// The C view of an rclcpp::Clock; `impl` belongs to the clock that owns the handle.
typedef struct rcl_clock_s
{
  rcl_clock_type_t type;
  void * impl;
} rcl_clock_t;

bool rcl_clock_valid(rcl_clock_t * clock);
rcl_ret_t rcl_clock_get_now(rcl_clock_t * clock, rcl_time_point_value_t * time_point_value);
rcl_ret_t rcl_enable_ros_time_override(rcl_clock_t * clock);
rcl_ret_t rcl_disable_ros_time_override(rcl_clock_t * clock);
rcl_ret_t rcl_is_enabled_ros_time_override(rcl_clock_t * clock, bool * is_enabled);
rcl_ret_t rcl_set_ros_time_override(rcl_clock_t * clock, rcl_time_point_value_t time_value);

#ifdef __cplusplus
}
#endif

#endif  // RCL__TIME_H_
