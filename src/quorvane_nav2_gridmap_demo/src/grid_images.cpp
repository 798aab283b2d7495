#include "quorvane_nav2_gridmap_demo/grid_images.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "quorvane_nav2_gridmap_demo/obstacle_bits.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

// Small grids are hard to see: every cell becomes a block of pixels.
constexpr int kCellPixels = 2;
constexpr int kCaptionHeight = 22;

struct Legend
{
  unsigned int bit;
  const char * label;
  cv::Scalar colour;  // BGR
};

// The first matching entry colours a cell: camera categories over walls over zones.
const std::vector<Legend> & legend()
{
  static const std::vector<Legend> entries{
    {kBitCategory103, "103", cv::Scalar(0, 150, 255)},
    {kBitCategory300, "300", cv::Scalar(60, 60, 220)},
    {kBitCategory105, "105", cv::Scalar(200, 80, 160)},
    {kBitPeril, "peril", cv::Scalar(40, 40, 40)},
    {kBitNarrowPassage, "narrow", cv::Scalar(235, 190, 120)},
    {kBitPriorityPassage, "priority", cv::Scalar(150, 215, 150)},
  };
  return entries;
}

const cv::Scalar kFreeColour(245, 245, 245);
const cv::Scalar kOtherColour(150, 150, 150);

unsigned int sizeX(const quorvane_nav2_gridmap::MultiGridMap & maps)
{
  return maps.costmap_->getSizeInCellsX();
}

unsigned int sizeY(const quorvane_nav2_gridmap::MultiGridMap & maps)
{
  return maps.costmap_->getSizeInCellsY();
}

// Map row 0 is the southern edge: it becomes the image's bottom row.
cv::Rect cellBlock(unsigned int mx, unsigned int my, unsigned int size_y)
{
  return cv::Rect(
    static_cast<int>(mx) * kCellPixels, static_cast<int>(size_y - 1 - my) * kCellPixels,
    kCellPixels, kCellPixels);
}

cv::Scalar colourOf(const quorvane_nav2_gridmap::ObsTypeBitMap & bits)
{
  for (const auto & entry : legend()) {
    if (bits.any(entry.bit)) {
      return entry.colour;
    }
  }
  return bits.any() ? kOtherColour : kFreeColour;
}

cv::Mat legendStrip(int width)
{
  cv::Mat strip(kCaptionHeight, width, CV_8UC3, kFreeColour);
  int x = 4;
  for (const auto & entry : legend()) {
    cv::rectangle(strip, cv::Rect(x, 6, 10, 10), entry.colour, cv::FILLED);
    x += 13;
    cv::putText(
      strip, entry.label, cv::Point(x, 15), cv::FONT_HERSHEY_PLAIN, 0.8, cv::Scalar(0, 0, 0));
    x += 8 * static_cast<int>(std::string(entry.label).size()) + 6;
  }
  return strip;
}

cv::Mat captioned(const cv::Mat & image, const std::string & caption)
{
  cv::Mat strip(kCaptionHeight, image.cols, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::putText(
    strip, caption, cv::Point(4, 15), cv::FONT_HERSHEY_PLAIN, 0.9, cv::Scalar(0, 0, 0));
  cv::Mat result;
  cv::vconcat(strip, image, result);
  return result;
}

}  // namespace

cv::Mat distanceImage(quorvane_nav2_gridmap::MultiGridMap & maps, double saturation_m)
{
  const unsigned int size_x = sizeX(maps);
  const unsigned int size_y = sizeY(maps);
  cv::Mat nearness(
    static_cast<int>(size_y) * kCellPixels, static_cast<int>(size_x) * kCellPixels, CV_8UC1);
  for (unsigned int my = 0; my < size_y; ++my) {
    for (unsigned int mx = 0; mx < size_x; ++mx) {
      const double distance = std::min(maps.getDistance(mx, my), saturation_m);
      const double value = 255.0 * (1.0 - distance / saturation_m);
      nearness(cellBlock(mx, my, size_y)).setTo(cv::Scalar(value));
    }
  }
  cv::Mat coloured;
  cv::applyColorMap(nearness, coloured, cv::COLORMAP_JET);
  return coloured;
}

cv::Mat obstacleTypeImage(const quorvane_nav2_gridmap::MultiGridMap & maps)
{
  const unsigned int size_x = sizeX(maps);
  const unsigned int size_y = sizeY(maps);
  cv::Mat image(
    static_cast<int>(size_y) * kCellPixels, static_cast<int>(size_x) * kCellPixels, CV_8UC3);
  for (unsigned int my = 0; my < size_y; ++my) {
    for (unsigned int mx = 0; mx < size_x; ++mx) {
      quorvane_nav2_gridmap::ObsTypeBitMap bits;
      bits.reset();
      maps.getObstacleType(mx, my, bits);
      image(cellBlock(mx, my, size_y)).setTo(colourOf(bits));
    }
  }
  cv::Mat with_legend;
  cv::vconcat(image, legendStrip(image.cols), with_legend);
  return with_legend;
}

cv::Mat sideBySide(const cv::Mat & distance, const cv::Mat & obstacle_types)
{
  cv::Mat left = captioned(distance, "distance map (red 0 m .. blue 2.5 m)");
  cv::Mat right = captioned(obstacle_types, "obstacle types and zones");
  // The obstacle-type image carries a legend strip below: pad the distance image to match.
  if (left.rows < right.rows) {
    cv::copyMakeBorder(
      left, left, 0, right.rows - left.rows, 0, 0, cv::BORDER_CONSTANT, kFreeColour);
  }
  const cv::Mat gap(right.rows, 8, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::Mat result;
  cv::hconcat(std::vector<cv::Mat>{left, gap, right}, result);
  return result;
}

void writePng(const std::filesystem::path & file, const cv::Mat & image)
{
  std::filesystem::create_directories(file.parent_path());
  if (!cv::imwrite(file.string(), image)) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

}  // namespace quorvane_nav2_gridmap_demo
