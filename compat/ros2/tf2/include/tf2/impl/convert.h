#ifndef TF2__IMPL__CONVERT_H_
#define TF2__IMPL__CONVERT_H_

// Dispatch of tf2::convert on whether each side is a ROS message.

namespace tf2
{
namespace impl
{

template<bool IS_MESSAGE_A, bool IS_MESSAGE_B>
class Converter
{
public:
  template<typename A, typename B>
  static void convert(const A & a, B & b);
};

// Message to library type.
// Message to message is declared and left undefined: it is not a conversion.
template<>
template<typename A, typename B>
inline void Converter<true, true>::convert(const A & a, B & b);

template<>
template<typename A, typename B>
inline void Converter<true, false>::convert(const A & a, B & b)
{
  fromMsg(a, b);
}

// Library type to message.
template<>
template<typename A, typename B>
inline void Converter<false, true>::convert(const A & a, B & b)
{
  b = toMsg(a);
}

// Library type to library type, through their common message.
template<>
template<typename A, typename B>
inline void Converter<false, false>::convert(const A & a, B & b)
{
  fromMsg(toMsg(a), b);
}

}  // namespace impl
}  // namespace tf2

#endif  // TF2__IMPL__CONVERT_H_
