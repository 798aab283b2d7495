#include "rclcpp/duration.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace
{

constexpr int64_t kNsPerS = 1000000000LL;

int64_t checked_add(int64_t a, int64_t b, const char * what)
{
  if (add_will_overflow(a, b)) {
    throw std::overflow_error(std::string(what) + " leads to int64_t overflow");
  }
  if (add_will_underflow(a, b)) {
    throw std::underflow_error(std::string(what) + " leads to int64_t underflow");
  }
  return a + b;
}

int64_t checked_sub(int64_t a, int64_t b, const char * what)
{
  if (sub_will_overflow(a, b)) {
    throw std::overflow_error(std::string(what) + " leads to int64_t overflow");
  }
  if (sub_will_underflow(a, b)) {
    throw std::underflow_error(std::string(what) + " leads to int64_t underflow");
  }
  return a - b;
}

}  // namespace

Duration::Duration()
: rcl_duration_{0} {}

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
: rcl_duration_{static_cast<int64_t>(seconds) * kNsPerS + static_cast<int64_t>(nanoseconds)} {}

Duration::Duration(std::chrono::nanoseconds nanoseconds)
: rcl_duration_{nanoseconds.count()} {}

Duration::Duration(const builtin_interfaces::msg::Duration & duration_msg)
: Duration(duration_msg.sec, duration_msg.nanosec) {}

Duration::Duration(const rcl_duration_t & duration)
: rcl_duration_(duration) {}

Duration::operator builtin_interfaces::msg::Duration() const
{
  builtin_interfaces::msg::Duration msg;
  const int64_t ns = rcl_duration_.nanoseconds;
  constexpr int64_t max_ns = std::numeric_limits<int32_t>::max() * kNsPerS + (kNsPerS - 1);
  constexpr int64_t min_ns = std::numeric_limits<int32_t>::min() * kNsPerS;
  if (ns >= max_ns) {
    msg.sec = std::numeric_limits<int32_t>::max();
    msg.nanosec = static_cast<uint32_t>(kNsPerS - 1);
    return msg;
  }
  if (ns <= min_ns) {
    msg.sec = std::numeric_limits<int32_t>::min();
    msg.nanosec = 0;
    return msg;
  }
  int64_t sec = ns / kNsPerS;
  int64_t rem = ns % kNsPerS;
  if (rem < 0) {
    sec -= 1;
    rem += kNsPerS;
  }
  msg.sec = static_cast<int32_t>(sec);
  msg.nanosec = static_cast<uint32_t>(rem);
  return msg;
}

Duration & Duration::operator=(const builtin_interfaces::msg::Duration & duration_msg)
{
  *this = Duration(duration_msg);
  return *this;
}

bool Duration::operator==(const Duration & rhs) const
{
  return rcl_duration_.nanoseconds == rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator!=(const Duration & rhs) const
{
  return !(*this == rhs);
}

bool Duration::operator<(const Duration & rhs) const
{
  return rcl_duration_.nanoseconds < rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator<=(const Duration & rhs) const
{
  return rcl_duration_.nanoseconds <= rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator>=(const Duration & rhs) const
{
  return rcl_duration_.nanoseconds >= rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator>(const Duration & rhs) const
{
  return rcl_duration_.nanoseconds > rhs.rcl_duration_.nanoseconds;
}

Duration Duration::operator+(const Duration & rhs) const
{
  return from_nanoseconds(
    checked_add(rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds, "addition"));
}

Duration & Duration::operator+=(const Duration & rhs)
{
  *this = *this + rhs;
  return *this;
}

Duration Duration::operator-(const Duration & rhs) const
{
  return from_nanoseconds(
    checked_sub(
      rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds, "duration subtraction"));
}

Duration & Duration::operator-=(const Duration & rhs)
{
  *this = *this - rhs;
  return *this;
}

Duration Duration::operator*(double scale) const
{
  if (!std::isfinite(scale)) {
    throw std::runtime_error("abnormal scale in rclcpp::Duration");
  }
  const long double product = static_cast<long double>(rcl_duration_.nanoseconds) * scale;
  if (product > static_cast<long double>(std::numeric_limits<int64_t>::max())) {
    throw std::overflow_error("duration scaling leads to int64_t overflow");
  }
  if (product < static_cast<long double>(std::numeric_limits<int64_t>::min())) {
    throw std::underflow_error("duration scaling leads to int64_t underflow");
  }
  return from_nanoseconds(static_cast<int64_t>(product));
}

Duration & Duration::operator*=(double scale)
{
  *this = *this * scale;
  return *this;
}

rcl_duration_value_t Duration::nanoseconds() const
{
  return rcl_duration_.nanoseconds;
}

Duration Duration::max()
{
  return Duration(std::numeric_limits<int32_t>::max(), 999999999);
}

double Duration::seconds() const
{
  return std::chrono::duration<double>(std::chrono::nanoseconds(rcl_duration_.nanoseconds)).count();
}

Duration Duration::from_seconds(double seconds)
{
  return from_nanoseconds(static_cast<int64_t>(seconds * 1e9));
}

Duration Duration::from_nanoseconds(rcl_duration_value_t nanoseconds)
{
  Duration duration;
  duration.rcl_duration_.nanoseconds = nanoseconds;
  return duration;
}

Duration Duration::from_rmw_time(rmw_time_t duration)
{
  constexpr uint64_t max_sec = static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / kNsPerS);
  if (duration.sec > max_sec || duration.nsec > static_cast<uint64_t>(
      std::numeric_limits<int64_t>::max()) ||
    static_cast<int64_t>(duration.sec) * kNsPerS >
    std::numeric_limits<int64_t>::max() - static_cast<int64_t>(duration.nsec))
  {
    return from_nanoseconds(std::numeric_limits<int64_t>::max());
  }
  return from_nanoseconds(
    static_cast<int64_t>(duration.sec) * kNsPerS + static_cast<int64_t>(duration.nsec));
}

rmw_time_t Duration::to_rmw_time() const
{
  if (rcl_duration_.nanoseconds < 0) {
    throw std::runtime_error("rmw_time_t cannot be negative");
  }
  rmw_time_t result;
  result.sec = static_cast<uint64_t>(rcl_duration_.nanoseconds / kNsPerS);
  result.nsec = static_cast<uint64_t>(rcl_duration_.nanoseconds % kNsPerS);
  return result;
}

}  // namespace rclcpp
