#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_LAYOUT_STREAM_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_LAYOUT_STREAM_HPP_

// Reads the zone list of a zone file with libyaml, event by event: only one element of
// "editlayout" (and whatever anchors keep for later aliases) is held at a time, where yaml-cpp
// would hold the whole document at 60 or more times the file's size.

#include <functional>
#include <stdexcept>
#include <string>

#include "quorvane_nav2_gridmap/map_mark/streamed_node.hpp"

namespace plane_object
{

// What the first document of a zone file holds where yaml-cpp would look up "editlayout".
enum class ZoneLayout
{
  kSequence,  // a sequence: its elements were handed on
  kNone,  // no key "editlayout", or its value is not a sequence, or the root is null or a list
  kUnsubscriptable,  // the root is a scalar, which yaml-cpp refuses to look a key up in
};

// Raised where libyaml refuses the text (a syntax error, an encoding it does not take) or the
// text names an anchor it never defined: what yaml-cpp makes of such a file decides.
class ZoneFileUnreadable : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// Reads the first document of `text` to its end and calls `visit` with each element of the
// root's "editlayout" sequence in order, until `visit` returns false.
ZoneLayout streamZoneLayout(
  const std::string & text, const std::function<bool(const StreamedNode &)> & visit);

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_LAYOUT_STREAM_HPP_
