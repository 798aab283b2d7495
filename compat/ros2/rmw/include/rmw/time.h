// Time types of the middleware interface, shared by QoS durations and message timestamps.
#ifndef RMW__TIME_H_
#define RMW__TIME_H_

#include <stdint.h>

#include "rcutils/time.h"

#ifdef __cplusplus
extern "C"
{
#endif

typedef struct rmw_time_s
{
  uint64_t sec;
  uint64_t nsec;
} rmw_time_t;

typedef rcutils_time_point_value_t rmw_time_point_value_t;
typedef rcutils_duration_value_t rmw_duration_t;

#define RMW_DURATION_INFINITE {9223372036LL, 854775807LL}
#define RMW_DURATION_UNSPECIFIED {0LL, 0LL}

#ifdef __cplusplus
}
#endif

#endif  // RMW__TIME_H_
