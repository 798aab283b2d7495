#include "tf2/time.h"

#include <cmath>
#include <cstdio>

namespace tf2
{

TimePoint get_now()
{
  return TimePoint(std::chrono::duration_cast<Duration>(
             std::chrono::system_clock::now().time_since_epoch()));
}

Duration durationFromSec(double t_sec)
{
  // Whole seconds first, so large stamps keep their nanosecond part exactly.
  const double whole = std::floor(t_sec);
  const auto sec = static_cast<int64_t>(whole);
  const auto nsec = static_cast<int64_t>(std::round((t_sec - whole) * 1e9));
  return std::chrono::seconds(sec) + std::chrono::nanoseconds(nsec);
}

TimePoint timeFromSec(double t_sec)
{
  return TimePoint(durationFromSec(t_sec));
}

double durationToSec(const tf2::Duration & input)
{
  const auto sec = std::chrono::duration_cast<std::chrono::seconds>(input);
  const auto rest = input - sec;
  return static_cast<double>(sec.count()) + static_cast<double>(rest.count()) * 1e-9;
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
