#include "quorvane_nav2_gridmap/categrory_table.hpp"

namespace quorvane_nav2_gridmap
{

namespace
{

ObsTypeBitMap bitsOf(unsigned int bits)
{
  ObsTypeBitMap map;
  map.set(bits);
  return map;
}

}  // namespace

CategroryTable::CategroryTable()
{
  table_.emplace(semantic::SEMANTIC_CATEGORY_103, bitsOf(0x8));
  table_.emplace(semantic::SEMANTIC_CATEGORY_300, bitsOf(0x4));
  table_.emplace(semantic::SEMANTIC_NONE, bitsOf(0x0));
  table_.emplace(semantic::SEMANTIC_NARROW_PASSAGE, bitsOf(OBS_TYPE_NARROW_PASSAGE));
  table_.emplace(semantic::SEMANTIC_CATEGORY_105, bitsOf(0x20));
  table_.emplace(semantic::SEMANTIC_CATEGORY_106, bitsOf(0x40));
  table_.emplace(semantic::SEMANTIC_CATEGORY_108, bitsOf(0x80));
  table_.emplace(semantic::SEMANTIC_CATEGORY_203, bitsOf(0x100));
  table_.emplace(semantic::SEMANTIC_CATEGORY_204, bitsOf(0x200));
}

ObsTypeBitMap & CategroryTable::operator[](semantic::SemanticType type)
{
  const auto row = table_.find(type);
  if (row != table_.end()) {
    return row->second;
  }
  return table_.find(semantic::SEMANTIC_NONE)->second;
}

CategroryTable categrory_table;

}  // namespace quorvane_nav2_gridmap
