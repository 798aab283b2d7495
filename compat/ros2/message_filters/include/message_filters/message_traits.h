// Compile-time access to a message's header frame and stamp, used by time- and frame-aware filters.
#ifndef MESSAGE_FILTERS__MESSAGE_TRAITS_H_
#define MESSAGE_FILTERS__MESSAGE_TRAITS_H_

#include <string>
#include <type_traits>

#include "rclcpp/rclcpp.hpp"

namespace message_filters
{
namespace message_traits
{

template<typename M, typename = void>
struct HasHeader : public std::false_type {};

template<typename M>
struct HasHeader<M, decltype((void) M::header)>: public std::true_type {};

template<typename M, typename Enable = void>
struct FrameId
{
  static std::string * pointer(M &) {return nullptr;}
  static std::string const * pointer(const M &) {return nullptr;}
};

template<typename M>
struct FrameId<M, typename std::enable_if<HasHeader<M>::value>::type>
{
  static std::string * pointer(M & m) {return &m.header.frame_id;}
  static std::string const * pointer(const M & m) {return &m.header.frame_id;}
  static std::string value(const M & m) {return m.header.frame_id;}
};

template<typename M, typename Enable = void>
struct TimeStamp
{
  static rclcpp::Time value(const M &) {return rclcpp::Time();}
};

// Header stamps are ROS time, so filters compare them against ROS clocks.
template<typename M>
struct TimeStamp<M, typename std::enable_if<HasHeader<M>::value>::type>
{
  static rclcpp::Time value(const M & m) {return rclcpp::Time(m.header.stamp, RCL_ROS_TIME);}
};

}  // namespace message_traits
}  // namespace message_filters

#endif  // MESSAGE_FILTERS__MESSAGE_TRAITS_H_
