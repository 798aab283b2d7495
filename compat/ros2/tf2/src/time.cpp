#include "tf2/time.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tf2
{

TimePoint get_now()
{
  return TimePoint(std::chrono::duration_cast<Duration>(
             std::chrono::system_clock::now().time_since_epoch()));
}

// Seconds pass through 32 bits both ways: times from 2038 on do not survive the conversion.
Duration durationFromSec(double t_sec)
{
  int32_t sec = static_cast<int32_t>(std::floor(t_sec));
  int32_t nsec = static_cast<int32_t>(std::round((t_sec - sec) * 1e9));
  sec += nsec / 1000000000;
  nsec %= 1000000000;
  return std::chrono::seconds(sec) + std::chrono::nanoseconds(nsec);
}

TimePoint timeFromSec(double t_sec)
{
  return TimePoint(durationFromSec(t_sec));
}

double durationToSec(const tf2::Duration & input)
{
  const int64_t count = input.count();
  const auto nsec = static_cast<int32_t>(count % 1000000000);
  const auto sec = static_cast<int32_t>((count - nsec) / 1000000000);
  return static_cast<double>(sec) + 1e-9 * static_cast<double>(nsec);
}

double timeToSec(const TimePoint & timepoint)
{
  return durationToSec(timepoint.time_since_epoch());
}

std::string displayTimePoint(const TimePoint & stamp)
{
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.6f", timeToSec(stamp));
  return buffer;
}

}  // namespace tf2
