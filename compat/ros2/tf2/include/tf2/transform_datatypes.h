#ifndef TF2__TRANSFORM_DATATYPES_H_
#define TF2__TRANSFORM_DATATYPES_H_

// Data tagged with the time and frame it belongs to.

#include <array>
#include <string>

#include "tf2/time.h"

namespace tf2
{

template<typename T>
class Stamped : public T
{
public:
  TimePoint stamp_;
  std::string frame_id_;

  Stamped()
  : frame_id_("NO_ID_STAMPED_DEFAULT_CONSTRUCTION") {}

  Stamped(const T & input, const TimePoint & timestamp, const std::string & frame_id)
  : T(input), stamp_(timestamp), frame_id_(frame_id) {}

  Stamped(const Stamped<T> & s)
  : T(s), stamp_(s.stamp_), frame_id_(s.frame_id_) {}

  void setData(const T & input) {*static_cast<T *>(this) = input;}

  Stamped & operator=(const Stamped<T> & s)
  {
    T::operator=(s);
    this->stamp_ = s.stamp_;
    this->frame_id_ = s.frame_id_;
    return *this;
  }
};

template<typename T>
bool operator==(const Stamped<T> & a, const Stamped<T> & b)
{
  return a.frame_id_ == b.frame_id_ && a.stamp_ == b.stamp_ &&
         static_cast<const T &>(a) == static_cast<const T &>(b);
}

template<typename T>
class WithCovarianceStamped : public T
{
public:
  TimePoint stamp_;
  std::string frame_id_;
  std::array<std::array<double, 6>, 6> cov_mat_;

  WithCovarianceStamped()
  : frame_id_("NO_ID_STAMPED_DEFAULT_CONSTRUCTION"), cov_mat_{} {}

  WithCovarianceStamped(
    const T & input, const TimePoint & timestamp, const std::string & frame_id,
    const std::array<std::array<double, 6>, 6> & covariance_matrix)
  : T(input), stamp_(timestamp), frame_id_(frame_id), cov_mat_(covariance_matrix) {}

  WithCovarianceStamped(const WithCovarianceStamped<T> & w)
  : T(w), stamp_(w.stamp_), frame_id_(w.frame_id_), cov_mat_(w.cov_mat_) {}

  void setData(const T & input) {*static_cast<T *>(this) = input;}

  WithCovarianceStamped & operator=(const WithCovarianceStamped<T> & w)
  {
    T::operator=(w);
    this->stamp_ = w.stamp_;
    this->frame_id_ = w.frame_id_;
    this->cov_mat_ = w.cov_mat_;
    return *this;
  }
};

template<typename T>
bool operator==(const WithCovarianceStamped<T> & a, const WithCovarianceStamped<T> & b)
{
  return a.frame_id_ == b.frame_id_ && a.stamp_ == b.stamp_ && a.cov_mat_ == b.cov_mat_ &&
         static_cast<const T &>(a) == static_cast<const T &>(b);
}

}  // namespace tf2

#endif  // TF2__TRANSFORM_DATATYPES_H_
