#ifndef QUORVANE_NAV2_GRIDMAP__CATEGRORY_TABLE_HPP_
#define QUORVANE_NAV2_GRIDMAP__CATEGRORY_TABLE_HPP_

// The fixed translation from a semantic point category to obstacle-category bits, with the one
// global instance every camera and zone writer reads.

#include <map>

#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"
#include "quorvane_nav2_gridmap/semantic_type.hpp"

namespace quorvane_nav2_gridmap
{

class CategroryTable
{
public:
  CategroryTable();

  // The row of `type`, or the no-bits row of SEMANTIC_NONE for a category without one; a lookup
  // never extends the table.
  ObsTypeBitMap & operator[](semantic::SemanticType type);

private:
  std::map<semantic::SemanticType, ObsTypeBitMap> table_;
};

// Built during the library's static initialisation; read-only afterwards, so any thread may read it.
extern CategroryTable categrory_table;

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__CATEGRORY_TABLE_HPP_
