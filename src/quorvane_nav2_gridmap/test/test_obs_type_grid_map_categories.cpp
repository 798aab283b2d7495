// The translation of semantic categories into obstacle-category bits.

#include <gtest/gtest.h>

#include "quorvane_nav2_gridmap/categrory_table.hpp"
#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

namespace
{

using quorvane_nav2_gridmap::categrory_table;
using quorvane_nav2_gridmap::ObsTypeBitMap;

class CategroryTableTest : public ::testing::Test
{
protected:
  static unsigned int bitsOf(int category)
  {
    return categrory_table[static_cast<semantic::SemanticType>(category)].bits_;
  }
};

TEST_F(CategroryTableTest, EveryCategoryWithARowGivesItsOwnBit)
{
  EXPECT_EQ(bitsOf(103), 0x8u);
  EXPECT_EQ(bitsOf(300), 0x4u);
  EXPECT_EQ(bitsOf(500), quorvane_nav2_gridmap::OBS_TYPE_NARROW_PASSAGE);
  EXPECT_EQ(bitsOf(105), 0x20u);
  EXPECT_EQ(bitsOf(106), 0x40u);
  EXPECT_EQ(bitsOf(108), 0x80u);
  EXPECT_EQ(bitsOf(203), 0x100u);
  EXPECT_EQ(bitsOf(204), 0x200u);
}

TEST_F(CategroryTableTest, CategoriesWithoutRowFallBackToNoBits)
{
  EXPECT_EQ(bitsOf(1), 0u);
  EXPECT_EQ(bitsOf(999), 0u);
  EXPECT_EQ(bitsOf(0), 0u);
  EXPECT_EQ(bitsOf(-7), 0u);
  // A lookup never adds a row: the unknown category still falls back afterwards.
  EXPECT_EQ(bitsOf(999), 0u);
}

TEST_F(CategroryTableTest, BitMapTakesTheTableBitsReplacingItsOwn)
{
  ObsTypeBitMap bits;
  bits.set(0x401);
  bits.fromSemanticMsgCategory(108);
  EXPECT_EQ(bits.bits_, 0x80u);
  bits.fromSemanticMsgCategory(semantic::SEMANTIC_NARROW_PASSAGE);
  EXPECT_EQ(bits.bits_, 0x10u);
  bits.fromSemanticMsgCategory(12345);
  EXPECT_FALSE(bits.any());
}

}  // namespace
