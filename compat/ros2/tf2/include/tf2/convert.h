#ifndef TF2__CONVERT_H_
#define TF2__CONVERT_H_

// Generic transformation and conversion entry points; the per-type overloads live in the
// conversion packages (tf2_geometry_msgs, ...).

#include <array>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rosidl_runtime_cpp/traits.hpp"
#include "tf2/exceptions.h"
#include "tf2/impl/convert.h"
#include "tf2/time.h"
#include "tf2/transform_datatypes.h"

namespace tf2
{

template<class T>
void doTransform(
  const T & data_in, T & data_out, const geometry_msgs::msg::TransformStamped & transform);

template<class T>
tf2::TimePoint getTimestamp(const T & t);

template<class T>
std::string getFrameId(const T & t);

template<class T>
std::array<std::array<double, 6>, 6> getCovarianceMatrix(const T & t);

template<class P>
tf2::TimePoint getTimestamp(const tf2::Stamped<P> & t)
{
  return t.stamp_;
}

template<class P>
std::string getFrameId(const tf2::Stamped<P> & t)
{
  return t.frame_id_;
}

template<class P>
std::array<std::array<double, 6>, 6> getCovarianceMatrix(const tf2::WithCovarianceStamped<P> & t)
{
  return t.cov_mat_;
}

template<typename A, typename B>
B toMsg(const A & a);

template<typename A, typename B>
void fromMsg(const A &, B & b);

template<class A, class B>
void convert(const A & a, B & b)
{
  impl::Converter<rosidl_generator_traits::is_message<A>::value,
    rosidl_generator_traits::is_message<B>::value>::convert(a, b);
}

template<class A>
void convert(const A & a1, A & a2)
{
  if (&a1 != &a2) {
    a2 = a1;
  }
}

inline std::array<std::array<double, 6>, 6> covarianceRowMajorToNested(
  const std::array<double, 36> & row_major)
{
  std::array<std::array<double, 6>, 6> nested;
  for (size_t i = 0; i < 6; ++i) {
    for (size_t j = 0; j < 6; ++j) {
      nested[i][j] = row_major[i * 6 + j];
    }
  }
  return nested;
}

inline std::array<double, 36> covarianceNestedToRowMajor(
  const std::array<std::array<double, 6>, 6> & nested)
{
  std::array<double, 36> row_major;
  for (size_t i = 0; i < 6; ++i) {
    for (size_t j = 0; j < 6; ++j) {
      row_major[i * 6 + j] = nested[i][j];
    }
  }
  return row_major;
}

}  // namespace tf2

#endif  // TF2__CONVERT_H_
