#include "quorvane_nav2_gridmap/map_mark/zone_layout_stream.hpp"

#include <yaml.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace plane_object
{
namespace
{

// Nodes are read here nested at most this deep, well within what yaml-cpp's own guard allows:
// a deeper text, which would exhaust the stack, is left to yaml-cpp to decide on.
constexpr int kMaxDepth = 1000;

std::string textOf(const yaml_char_t * text, std::size_t length)
{
  return std::string(reinterpret_cast<const char *>(text), length);
}

// libyaml's parser over a text, one event at a time, building nodes as yaml-cpp would see them.
class EventReader
{
public:
  explicit EventReader(const std::string & text)
  {
    if (!yaml_parser_initialize(&parser_)) {
      throw ZoneFileUnreadable("libyaml can not start a parser");
    }
    yaml_parser_set_input_string(
      &parser_, reinterpret_cast<const unsigned char *>(text.data()), text.size());
  }

  ~EventReader()
  {
    releaseEvent();
    yaml_parser_delete(&parser_);
  }

  EventReader(const EventReader &) = delete;
  EventReader & operator=(const EventReader &) = delete;

  // Moves to the next event; libyaml reports every structural error here.
  const yaml_event_t & next()
  {
    releaseEvent();
    if (!yaml_parser_parse(&parser_, &event_)) {
      throw ZoneFileUnreadable(parser_.problem ? parser_.problem : "libyaml refuses the text");
    }
    has_event_ = true;
    return event_;
  }

  // The node that starts at the current event, read to its end.
  StreamedNode node()
  {
    switch (event_.type) {
      case YAML_SCALAR_EVENT: {
          const auto & scalar = event_.data.scalar;
          std::string text = textOf(scalar.value, scalar.length);
          // yaml-cpp's null: a plain scalar without an explicit tag that reads as null.
          const bool null = scalar.style == YAML_PLAIN_SCALAR_STYLE && scalar.tag == nullptr &&
            YAML::IsNullString(text);
          return anchored(
            scalar.anchor, null ? StreamedNode::null() : StreamedNode::scalar(std::move(text)));
        }
      case YAML_ALIAS_EVENT: {
          const auto found = anchors_.find(anchorOf(event_.data.alias.anchor));
          if (found == anchors_.end()) {
            throw ZoneFileUnreadable("an alias names an anchor that is not defined before it");
          }
          return found->second;
        }
      case YAML_SEQUENCE_START_EVENT:
        return collection(
          StreamedNode::Kind::kSequence, event_.data.sequence_start.anchor,
          YAML_SEQUENCE_END_EVENT);
      case YAML_MAPPING_START_EVENT:
        return collection(
          StreamedNode::Kind::kMap, event_.data.mapping_start.anchor, YAML_MAPPING_END_EVENT);
      default:
        throw ZoneFileUnreadable("libyaml gives an event where a node belongs");
    }
  }

  // Whether the current event opens a sequence that no alias can name later: one that may be
  // read item by item and let go.
  bool atUnanchoredSequence() const
  {
    return event_.type == YAML_SEQUENCE_START_EVENT &&
           event_.data.sequence_start.anchor == nullptr;
  }

private:
  static std::string anchorOf(const yaml_char_t * anchor)
  {
    return std::string(reinterpret_cast<const char *>(anchor));
  }

  StreamedNode anchored(const yaml_char_t * anchor, StreamedNode node)
  {
    if (anchor != nullptr) {
      anchors_[anchorOf(anchor)] = node;
    }
    return node;
  }

  StreamedNode collection(
    StreamedNode::Kind kind, const yaml_char_t * anchor, yaml_event_type_t end)
  {
    // The anchor's name is copied out before the next event replaces this one.
    const std::string name = anchor != nullptr ? anchorOf(anchor) : std::string();
    if (++depth_ > kMaxDepth) {
      throw ZoneFileUnreadable("the text nests its nodes too deep");
    }
    std::vector<StreamedNode> children;
    while (next().type != end) {
      children.push_back(node());
    }
    --depth_;
    StreamedNode result = StreamedNode::collection(kind, std::move(children));
    if (anchor != nullptr) {
      anchors_[name] = result;
    }
    return result;
  }

  void releaseEvent()
  {
    if (has_event_) {
      yaml_event_delete(&event_);
      has_event_ = false;
    }
  }

  yaml_parser_t parser_{};
  yaml_event_t event_{};
  bool has_event_{false};
  int depth_{0};
  std::map<std::string, StreamedNode> anchors_;
};

// Hands on the items of the sequence whose start is the current event.
void streamSequence(
  EventReader & reader, const std::function<bool(const StreamedNode &)> & visit)
{
  bool visiting = true;
  while (reader.next().type != YAML_SEQUENCE_END_EVENT) {
    const StreamedNode element = reader.node();
    visiting = visiting && visit(element);
  }
}

// The root map's "editlayout", the first key of that text winning as in yaml-cpp.
ZoneLayout readRootMap(
  EventReader & reader, const std::function<bool(const StreamedNode &)> & visit)
{
  ZoneLayout layout = ZoneLayout::kNone;
  bool found = false;
  while (reader.next().type != YAML_MAPPING_END_EVENT) {
    const StreamedNode key = reader.node();
    reader.next();
    if (found || !key.IsScalar() || key.Scalar() != "editlayout") {
      reader.node();
      continue;
    }
    found = true;
    if (reader.atUnanchoredSequence()) {
      streamSequence(reader, visit);
      layout = ZoneLayout::kSequence;
      continue;
    }
    const StreamedNode value = reader.node();
    if (value.IsSequence()) {
      for (const StreamedNode & element : value) {
        if (!visit(element)) {
          break;
        }
      }
      layout = ZoneLayout::kSequence;
    }
  }
  return layout;
}

}  // namespace

ZoneLayout streamZoneLayout(
  const std::string & text, const std::function<bool(const StreamedNode &)> & visit)
{
  EventReader reader(text);
  reader.next();  // the stream's start
  if (reader.next().type == YAML_STREAM_END_EVENT) {
    return ZoneLayout::kNone;  // no document: a null root
  }
  ZoneLayout layout = ZoneLayout::kNone;
  const yaml_event_t & root = reader.next();
  if (root.type == YAML_MAPPING_START_EVENT) {
    layout = readRootMap(reader, visit);
  } else if (!reader.node().IsScalar()) {
    layout = ZoneLayout::kNone;
  } else {
    layout = ZoneLayout::kUnsubscriptable;
  }
  // The document must end well, as yaml-cpp parses it whole before anything is looked up; the
  // documents after it are not read.
  if (reader.next().type != YAML_DOCUMENT_END_EVENT) {
    throw ZoneFileUnreadable("the document does not end after its root");
  }
  return layout;
}

}  // namespace plane_object
