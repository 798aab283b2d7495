#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

#include "quorvane_nav2_gridmap/categrory_table.hpp"

namespace quorvane_nav2_gridmap
{

void ObsTypeBitMap::fromSemanticMsgCategory(semantic::SemanticType type)
{
  set(categrory_table[type]);
}

void ObsTypeBitMap::fromSemanticMsgCategory(int type)
{
  fromSemanticMsgCategory(static_cast<semantic::SemanticType>(type));
}

}  // namespace quorvane_nav2_gridmap
