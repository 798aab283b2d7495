// The PGM header reader on image files written to a scratch directory.

#include <gtest/gtest.h>

#include <string>

#include "quorvane_nav2_gridmap/map_mark/read_file.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using map_mark_test::error;

class ReadPgmSizeTest : public ::testing::Test
{
protected:
  std::optional<std::uint32_t> heightOf(const std::string & bytes)
  {
    return plane_object::readPGMSize(directory_.write("image.pgm", bytes).string());
  }

  map_mark_test::ScratchDirectory directory_;
  map_mark_test::LogRecorder log_;
};

TEST_F(ReadPgmSizeTest, ReadsTheHeightOfPlainAndRawHeaders)
{
  EXPECT_EQ(heightOf("P5\n# made by hand\n640 480\n255\n" + std::string(8, '\xff')), 480u);
  EXPECT_EQ(heightOf("P2 640 480\n"), 480u);
  EXPECT_EQ(heightOf("P5\n# one\n# two\n  320   200\n"), 200u);
  EXPECT_EQ(heightOf("P2\n1 0\n255\n"), 0u);
  EXPECT_EQ(heightOf("P5 1 4294967295\n"), 4294967295u);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(ReadPgmSizeTest, AcceptsEverySeparatorAndCommentTheFormatAllows)
{
  EXPECT_EQ(heightOf("P5\r\n# saved on another system\r\n640 480\r\n255\r\n"), 480u);
  EXPECT_EQ(heightOf("P2\n640\n480\n255\n"), 480u);
  EXPECT_EQ(heightOf("P5\t640\t480\t255\t"), 480u);
  EXPECT_EQ(heightOf("P2 640 # width above, height below\n480 255\n"), 480u);
  EXPECT_EQ(heightOf("P5 640 480# height\n255\n"), 480u);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(ReadPgmSizeTest, RefusesOtherMagicNumbers)
{
  EXPECT_FALSE(heightOf("P6\n640 480\n255\n"));
  EXPECT_FALSE(heightOf("p5\n640 480\n255\n"));
  EXPECT_FALSE(heightOf("X"));
  EXPECT_EQ(
    log_.lines(), std::vector<map_mark_test::LogLine>(
      3, error("Error: Unsupported PGM format!")));
}

TEST_F(ReadPgmSizeTest, RefusesAHeaderThatEndsBeforeItsHeight)
{
  for (const char * cut : {"P", "P5", "P5\n640", "P5\n640 ", "P5\n640 48", "P2 640 # 480\n"}) {
    log_.clear();
    EXPECT_FALSE(heightOf(cut)) << cut;
    EXPECT_EQ(log_.lines(), std::vector{error("Error: PGM header ends before its height!")}) << cut;
  }
}

TEST_F(ReadPgmSizeTest, RefusesAHeightThatIsNotAnUnsigned32BitNumber)
{
  EXPECT_FALSE(heightOf("P5 640 48O\n"));
  EXPECT_FALSE(heightOf("P5 640 -480\n"));
  EXPECT_FALSE(heightOf("P5 640 4294967296\n"));
  EXPECT_EQ(
    log_.lines(), (std::vector{
      error("Error: PGM height is not a decimal number!"),
      error("Error: PGM height is not a decimal number!"),
      error("Error: PGM height does not fit 32 bits!")}));
}

TEST_F(ReadPgmSizeTest, ReportsFilesThatCanNotBeMapped)
{
  EXPECT_FALSE(plane_object::readPGMSize((directory_.path() / "absent.pgm").string()));
  EXPECT_FALSE(heightOf(""));
  EXPECT_FALSE(plane_object::readPGMSize(directory_.path().string()));
  EXPECT_EQ(
    log_.lines(), (std::vector{
      error("Error: Could not open the file!"), error("Error: Could not mmap the file!"),
      error("Error: Could not mmap the file!")}));
}

TEST_F(ReadPgmSizeTest, LogsFromTheReaderItself)
{
  heightOf("P6");
  ASSERT_EQ(log_.lines().size(), 1u);
  EXPECT_EQ(log_.lines()[0].file, "./include/quorvane_nav2_gridmap/map_mark/read_file.hpp");
  EXPECT_EQ(log_.lines()[0].function, "readPGMSize");
}

// The parser sees exactly the mapped bytes, with no terminating NUL to stop at.
TEST(ParsePgmHeightTest, StopsAtTheEndOfTheBuffer)
{
  const std::string header = "P2 640 480\n";
  EXPECT_EQ(plane_object::parsePGMHeight(header.data(), header.size()).height, 480u);
  EXPECT_EQ(
    plane_object::parsePGMHeight(header.data(), header.size() - 1).status,
    plane_object::PgmHeaderStatus::kTruncated);
  EXPECT_EQ(
    plane_object::parsePGMHeight(header.data(), 0).status,
    plane_object::PgmHeaderStatus::kTruncated);
}

}  // namespace
