#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__STREAMED_NODE_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__STREAMED_NODE_HPP_

// One node of a zone file read event by event (an element of "editlayout", or what an anchor
// keeps), answering the questions the zone reader asks of a yaml-cpp node exactly as yaml-cpp
// answers them, exceptions included, so that one reader serves both.

#include <charconv>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <yaml-cpp/yaml.h>

namespace plane_object
{

class StreamedNode
{
public:
  enum class Kind {kUndefined, kNull, kScalar, kSequence, kMap};

  // A key a map does not hold; every question but its truth raises YAML::InvalidNode.
  StreamedNode() = default;

  static StreamedNode null() {return StreamedNode(Kind::kNull, {});}
  static StreamedNode scalar(std::string text)
  {
    return StreamedNode(Kind::kScalar, std::move(text));
  }
  // A sequence's items, or a map's keys and values in turn.
  static StreamedNode collection(Kind kind, std::vector<StreamedNode> children)
  {
    StreamedNode node(kind, {});
    node.children_ = std::make_shared<const std::vector<StreamedNode>>(std::move(children));
    return node;
  }

  explicit operator bool() const {return kind_ != Kind::kUndefined;}
  bool IsNull() const {return kind_ == Kind::kNull;}
  bool IsScalar() const {return kind_ == Kind::kScalar;}
  bool IsSequence() const {return kind_ == Kind::kSequence;}
  bool IsMap() const {return kind_ == Kind::kMap;}
  const std::string & Scalar() const {return text_;}
  YAML::Mark Mark() const {return YAML::Mark::null_mark();}

  // The value of the first key whose scalar text is `key`. A scalar can't be subscripted; any
  // other node answers with an undefined one.
  StreamedNode operator[](const std::string & key) const
  {
    throwIfUndefined();
    if (IsScalar()) {
      throw YAML::BadSubscript(Mark(), key);
    }
    if (IsMap()) {
      const std::vector<StreamedNode> & pairs = *children_;
      for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs[i].IsScalar() && pairs[i].Scalar() == key) {
          return pairs[i + 1];
        }
      }
    }
    return StreamedNode(Kind::kUndefined, key);
  }

  // A sequence's items; nothing for any other node.
  std::vector<StreamedNode>::const_iterator begin() const {return items().begin();}
  std::vector<StreamedNode>::const_iterator end() const {return items().end();}

  template<typename T>
  T as() const;

private:
  StreamedNode(Kind kind, std::string text)
  : kind_(kind), text_(std::move(text)) {}

  // An undefined node keeps the key it was looked up by, for yaml-cpp's message.
  void throwIfUndefined() const
  {
    if (kind_ == Kind::kUndefined) {
      throw YAML::InvalidNode(text_);
    }
  }

  const std::vector<StreamedNode> & items() const
  {
    static const std::vector<StreamedNode> none;
    return IsSequence() ? *children_ : none;
  }

  // A plain decimal such as -12.5 or 3e2 reads as strtod reads it, which is what yaml-cpp's
  // stream extraction does; anything else (a sign +, white space, .inf, a value beyond double)
  // is left to yaml-cpp's own conversion.
  static bool plainDecimal(const std::string & text, double & value)
  {
    const char * first = text.data();
    const char * last = first + text.size();
    const char * at = first + (first != last && *first == '-' ? 1 : 0);
    bool digits = false;
    for (; at != last && *at >= '0' && *at <= '9'; ++at) {
      digits = true;
    }
    if (at != last && *at == '.') {
      for (++at; at != last && *at >= '0' && *at <= '9'; ++at) {
        digits = true;
      }
    }
    if (!digits) {
      return false;
    }
    if (at != last && (*at == 'e' || *at == 'E')) {
      ++at;
      at += at != last && (*at == '-' || *at == '+') ? 1 : 0;
      const char * exponent = at;
      for (; at != last && *at >= '0' && *at <= '9'; ++at) {
      }
      if (at == exponent) {
        return false;
      }
    }
    if (at != last) {
      return false;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
  }

  Kind kind_{Kind::kUndefined};
  // A scalar's text, or the key an undefined node was looked up by.
  std::string text_;
  std::shared_ptr<const std::vector<StreamedNode>> children_;
};

// As yaml-cpp: a null reads as the text "null"; a sequence or map can't be read as text.
template<>
inline std::string StreamedNode::as<std::string>() const
{
  throwIfUndefined();
  if (IsNull()) {
    return "null";
  }
  if (!IsScalar()) {
    throw YAML::TypedBadConversion<std::string>(Mark());
  }
  return Scalar();
}

template<>
inline double StreamedNode::as<double>() const
{
  throwIfUndefined();
  double value = 0.0;
  if (IsScalar() && (plainDecimal(Scalar(), value) ||
    YAML::convert<double>::decode(YAML::Node(Scalar()), value)))
  {
    return value;
  }
  throw YAML::TypedBadConversion<double>(Mark());
}

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__STREAMED_NODE_HPP_
