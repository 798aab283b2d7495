#ifndef QUORVANE_NAV2_GRIDMAP__SEMANTIC_TYPE_HPP_
#define QUORVANE_NAV2_GRIDMAP__SEMANTIC_TYPE_HPP_

// Semantic categories carried by the depth cameras' sub-clouds and by the narrow-corridor zones.
// The numbers are what the cameras send; only they bind.

#include <cstdint>

namespace semantic
{

// The underlying type is fixed so that any number a camera sends, with or without an enumerator
// here, is a defined value of this type (it then falls back to the no-bits row of the table).
enum SemanticType : std::int32_t
{
  SEMANTIC_NONE = 1,
  SEMANTIC_CATEGORY_103 = 103,
  SEMANTIC_CATEGORY_105 = 105,
  SEMANTIC_CATEGORY_106 = 106,
  SEMANTIC_CATEGORY_108 = 108,
  SEMANTIC_CATEGORY_203 = 203,
  SEMANTIC_CATEGORY_204 = 204,
  SEMANTIC_CATEGORY_300 = 300,
  SEMANTIC_NARROW_PASSAGE = 500,
};

}  // namespace semantic

#endif  // QUORVANE_NAV2_GRIDMAP__SEMANTIC_TYPE_HPP_
