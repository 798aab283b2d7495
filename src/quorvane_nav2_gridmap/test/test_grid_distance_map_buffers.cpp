// The anonymous mappings that hold the distance map's cell buffers.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "quorvane_nav2_gridmap/anonymous_mapping.hpp"

namespace
{

using quorvane_nav2_gridmap::AnonymousMapping;

class AnonymousMappingTest : public ::testing::Test {};

TEST_F(AnonymousMappingTest, MapsZeroFilledWritableMemory)
{
  AnonymousMapping mapping(10000);
  ASSERT_FALSE(mapping.empty());
  EXPECT_EQ(mapping.size(), 10000u);
  auto * bytes = static_cast<std::uint8_t *>(mapping.data());
  for (size_t i = 0; i < mapping.size(); ++i) {
    ASSERT_EQ(bytes[i], 0u);
  }
  bytes[9999] = 7;
  EXPECT_EQ(bytes[9999], 7u);
}

TEST_F(AnonymousMappingTest, ZeroBytesMapNothing)
{
  AnonymousMapping mapping(0);
  EXPECT_TRUE(mapping.empty());
  EXPECT_EQ(mapping.data(), nullptr);
  EXPECT_EQ(mapping.size(), 0u);
}

TEST_F(AnonymousMappingTest, FailedMappingThrowsWithTheSystemsReason)
{
  try {
    AnonymousMapping impossible(std::numeric_limits<size_t>::max() / 2);
    FAIL() << "an impossible mapping succeeded";
  } catch (const std::runtime_error & error) {
    EXPECT_NE(std::string(error.what()).find("Cannot allocate memory"), std::string::npos)
      << error.what();
  }
}

}  // namespace
