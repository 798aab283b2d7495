#ifndef TF2__EXCEPTIONS_H_
#define TF2__EXCEPTIONS_H_

// The exceptions a transform lookup raises, one class per kind of failure.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tf2
{

enum class TF2Error : std::uint8_t
{
  TF2_NO_ERROR = 0,
  TF2_LOOKUP_ERROR = 1,
  TF2_CONNECTIVITY_ERROR = 2,
  TF2_EXTRAPOLATION_ERROR = 3,
  TF2_INVALID_ARGUMENT_ERROR = 4,
  TF2_TIMEOUT_ERROR = 5,
  TF2_TRANSFORM_ERROR = 6,

  NO_ERROR [[deprecated("Use TF2_NO_ERROR instead")]] = 0,
  LOOKUP_ERROR [[deprecated("Use TF2_LOOKUP_ERROR instead")]] = 1,
  CONNECTIVITY_ERROR [[deprecated("Use TF2_CONNECTIVITY_ERROR instead")]] = 2,
  EXTRAPOLATION_ERROR [[deprecated("Use TF2_EXTRAPOLATION_ERROR instead")]] = 3,
  INVALID_ARGUMENT_ERROR [[deprecated("Use TF2_INVALID_ARGUMENT_ERROR instead")]] = 4,
  TIMEOUT_ERROR [[deprecated("Use TF2_TIMEOUT_ERROR instead")]] = 5,
  TRANSFORM_ERROR [[deprecated("Use TF2_TRANSFORM_ERROR instead")]] = 6
};

class TransformException : public std::runtime_error
{
public:
  explicit TransformException(const std::string errorDescription)
  : std::runtime_error(errorDescription) {}
};

// Two frames are known but no chain of transforms links them.
class ConnectivityException : public TransformException
{
public:
  explicit ConnectivityException(const std::string errorDescription)
  : tf2::TransformException(errorDescription) {}
};

// A frame is unknown, or the tree is malformed.
class LookupException : public TransformException
{
public:
  explicit LookupException(const std::string errorDescription)
  : tf2::TransformException(errorDescription) {}
};

// The requested time lies outside the buffered data.
class ExtrapolationException : public TransformException
{
public:
  explicit ExtrapolationException(const std::string errorDescription)
  : tf2::TransformException(errorDescription) {}
};

class InvalidArgumentException : public TransformException
{
public:
  explicit InvalidArgumentException(const std::string errorDescription)
  : tf2::TransformException(errorDescription) {}
};

class TimeoutException : public TransformException
{
public:
  explicit TimeoutException(const std::string errorDescription)
  : tf2::TransformException(errorDescription) {}
};

}  // namespace tf2

#endif  // TF2__EXCEPTIONS_H_
