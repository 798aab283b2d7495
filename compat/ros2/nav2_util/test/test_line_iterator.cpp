// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "nav2_util/line_iterator.hpp"

namespace
{

using Cells = std::vector<std::pair<int, int>>;

class LineIteratorTest : public ::testing::Test
{
protected:
  static Cells walk(int x0, int y0, int x1, int y1)
  {
    Cells cells;
    for (nav2_util::LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
      cells.emplace_back(line.getX(), line.getY());
    }
    return cells;
  }
};

TEST_F(LineIteratorTest, ZeroLengthLineYieldsOneCell)
{
  EXPECT_EQ(walk(3, 4, 3, 4), (Cells{{3, 4}}));
}

TEST_F(LineIteratorTest, AxisAlignedLinesIncludeBothEnds)
{
  EXPECT_EQ(walk(0, 0, 3, 0), (Cells{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
  EXPECT_EQ(walk(2, 5, 2, 3), (Cells{{2, 5}, {2, 4}, {2, 3}}));
}

TEST_F(LineIteratorTest, DiagonalStepsBothAxesEveryCell)
{
  EXPECT_EQ(walk(0, 0, -2, 2), (Cells{{0, 0}, {-1, 1}, {-2, 2}}));
}

TEST_F(LineIteratorTest, ShallowLineCarriesTheMinorAxisAtHalfway)
{
  // Error starts at half the major delta: 2, +1 per step, carry once it reaches 4.
  EXPECT_EQ(walk(0, 0, 4, 1), (Cells{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
}

TEST_F(LineIteratorTest, SteepLineMajorAxisIsY)
{
  const Cells cells = walk(0, 0, 1, 4);
  ASSERT_EQ(cells.size(), 5u);
  EXPECT_EQ(cells.front(), std::make_pair(0, 0));
  EXPECT_EQ(cells.back(), std::make_pair(1, 4));
  for (size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ(cells[i].second, static_cast<int>(i));
  }
}

}  // namespace
