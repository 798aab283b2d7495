// The per-update map from ground cell to highest z.

#include <gtest/gtest.h>

#include <cstdint>

#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"

namespace
{

using costmap_depth_camera::CellHeightMap;
using costmap_depth_camera::CellKey;

class CellHeightMapTest : public ::testing::Test
{
protected:
  CellHeightMap map_;
};

TEST_F(CellHeightMapTest, FirstPointOfACellIsRecorded)
{
  EXPECT_EQ(map_.find(CellKey{3, -4}), nullptr);
  EXPECT_TRUE(map_.raise(CellKey{3, -4}, 0.5f));
  ASSERT_NE(map_.find(CellKey{3, -4}), nullptr);
  EXPECT_FLOAT_EQ(*map_.find(CellKey{3, -4}), 0.5f);
}

TEST_F(CellHeightMapTest, OnlyAStrictlyHigherPointRaisesTheRecord)
{
  map_.raise(CellKey{0, 0}, 1.0f);
  EXPECT_FALSE(map_.raise(CellKey{0, 0}, 1.0f));
  EXPECT_FALSE(map_.raise(CellKey{0, 0}, 0.2f));
  EXPECT_FLOAT_EQ(*map_.find(CellKey{0, 0}), 1.0f);
  EXPECT_TRUE(map_.raise(CellKey{0, 0}, 1.5f));
  EXPECT_FLOAT_EQ(*map_.find(CellKey{0, 0}), 1.5f);
  EXPECT_EQ(map_.size(), 1u);
}

TEST_F(CellHeightMapTest, KeysDifferingOnlyInSignOrAxisAreDistinct)
{
  map_.raise(CellKey{1, 2}, 1.0f);
  map_.raise(CellKey{-1, 2}, 2.0f);
  map_.raise(CellKey{2, 1}, 3.0f);
  map_.raise(CellKey{1, -2}, 4.0f);
  EXPECT_FLOAT_EQ(*map_.find(CellKey{1, 2}), 1.0f);
  EXPECT_FLOAT_EQ(*map_.find(CellKey{-1, 2}), 2.0f);
  EXPECT_FLOAT_EQ(*map_.find(CellKey{2, 1}), 3.0f);
  EXPECT_FLOAT_EQ(*map_.find(CellKey{1, -2}), 4.0f);
  EXPECT_EQ(map_.find(CellKey{-1, -2}), nullptr);
}

TEST_F(CellHeightMapTest, KeepsEveryCellWhenItGrowsFarBeyondItsFirstSize)
{
  for (std::int32_t x = -200; x < 200; ++x) {
    for (std::int32_t y = -100; y < 100; ++y) {
      map_.raise(CellKey{x, y}, static_cast<float>(x * 1000 + y));
    }
  }
  EXPECT_EQ(map_.size(), 80000u);
  for (std::int32_t x = -200; x < 200; x += 7) {
    for (std::int32_t y = -100; y < 100; y += 3) {
      const float * z = map_.find(CellKey{x, y});
      ASSERT_NE(z, nullptr) << x << "," << y;
      EXPECT_EQ(*z, static_cast<float>(x * 1000 + y));
    }
  }
  EXPECT_EQ(map_.find(CellKey{200, 0}), nullptr);
}

}  // namespace
