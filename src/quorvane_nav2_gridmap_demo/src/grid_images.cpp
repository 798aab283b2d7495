#include "quorvane_nav2_gridmap_demo/grid_images.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "quorvane_nav2_gridmap_demo/obstacle_bits.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

// Layout of a panel: the title strip (title, then the y axis' name), the grid with the y tick
// labels on its left, the x tick labels and the scale bar below it.
constexpr int kTitleHeight = 42;
constexpr int kLeftMargin = 46;
constexpr int kBottomMargin = 52;
constexpr int kRightMargin = 16;
constexpr int kColourBarWidth = 16;
constexpr int kColourBarMargin = 100;
constexpr int kLegendRowHeight = 20;
constexpr int kPanelGap = 12;
// Small maps get several pixels per cell, large ones one.
constexpr unsigned int kTargetGridPixels = 600;
constexpr int kMaxCellPixels = 4;

constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;
constexpr double kTitleScale = 0.5;
constexpr double kLabelScale = 0.4;

const cv::Scalar kBlack(0, 0, 0);
const cv::Scalar kWhite(255, 255, 255);
const cv::Scalar kFreeColour(245, 245, 245);
const cv::Scalar kOtherColour(150, 150, 150);

struct Legend
{
  unsigned int bit;
  const char * label;
  cv::Scalar colour;  // BGR
  bool camera;        // a camera category: a few cells, drawn enlarged
};

// The first matching entry colours a cell: camera categories over walls over zones.
const std::vector<Legend> & legend()
{
  static const std::vector<Legend> entries{
    {kBitCategory103, "103 person", cv::Scalar(0, 150, 255), true},
    {kBitCategory300, "300 box", cv::Scalar(60, 60, 220), true},
    {kBitCategory105, "105 spill", cv::Scalar(200, 80, 160), true},
    {kBitPeril, "peril (lethal or unknown cell)", cv::Scalar(40, 40, 40), false},
    {kBitNarrowPassage, "narrow corridor", cv::Scalar(235, 190, 120), false},
    {kBitPriorityPassage, "priority passage", cv::Scalar(150, 215, 150), false},
  };
  return entries;
}

// Where the cells of the grid maps lie in the map frame and in the picture of the grid.
struct GridFrame
{
  explicit GridFrame(const quorvane_nav2_gridmap::MultiGridMap & maps)
  : size_x(maps.costmap_->getSizeInCellsX()),
    size_y(maps.costmap_->getSizeInCellsY()),
    resolution(maps.costmap_->getResolution()),
    origin_x(maps.costmap_->getOriginX()),
    origin_y(maps.costmap_->getOriginY()),
    cell_pixels(std::clamp(
        static_cast<int>(kTargetGridPixels / std::max({size_x, size_y, 1U})), 1, kMaxCellPixels))
  {
  }

  int widthPixels() const {return static_cast<int>(size_x) * cell_pixels;}
  int heightPixels() const {return static_cast<int>(size_y) * cell_pixels;}
  double widthMetres() const {return size_x * resolution;}
  double heightMetres() const {return size_y * resolution;}
  double pixelsPerMetre() const {return cell_pixels / resolution;}

  // Map row 0 is the southern edge: it becomes the picture's bottom row.
  cv::Rect cellBlock(unsigned int mx, unsigned int my) const
  {
    return cv::Rect(
      static_cast<int>(mx) * cell_pixels, static_cast<int>(size_y - 1 - my) * cell_pixels,
      cell_pixels, cell_pixels);
  }

  // A point of the map frame in the picture of the grid.
  cv::Point pixelOf(double x, double y) const
  {
    return cv::Point(
      static_cast<int>(std::lround((x - origin_x) * pixelsPerMetre())),
      heightPixels() - static_cast<int>(std::lround((y - origin_y) * pixelsPerMetre())));
  }

  unsigned int size_x;
  unsigned int size_y;
  double resolution;
  double origin_x;
  double origin_y;
  int cell_pixels;
};

// 1, 2 or 5 times a power of ten, at least `rough`.
double roundStep(double rough)
{
  if (!(rough > 0.0)) {
    return 1.0;
  }
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * power >= rough) {
      return multiple * power;
    }
  }
  return 10.0 * power;
}

std::string number(double value)
{
  std::ostringstream text;
  // Adding zero turns -0 into 0.
  text << std::setprecision(3) << value + 0.0;
  return text.str();
}

enum class Align { kLeft, kCentre, kRight };

void label(
  cv::Mat & image, const std::string & text, cv::Point at, Align align,
  double scale = kLabelScale)
{
  int baseline = 0;
  const cv::Size size = cv::getTextSize(text, kFont, scale, 1, &baseline);
  if (align == Align::kCentre) {
    at.x -= size.width / 2;
  } else if (align == Align::kRight) {
    at.x -= size.width;
  }
  cv::putText(image, text, at, kFont, scale, kBlack, 1, cv::LINE_AA);
}

// Text readable over any colour of the grid.
void haloLabel(cv::Mat & image, const std::string & text, cv::Point at)
{
  cv::putText(image, text, at, kFont, kLabelScale, kWhite, 3, cv::LINE_AA);
  cv::putText(image, text, at, kFont, kLabelScale, kBlack, 1, cv::LINE_AA);
}

cv::Rect gridArea(const GridFrame & frame)
{
  return cv::Rect(kLeftMargin, kTitleHeight, frame.widthPixels(), frame.heightPixels());
}

// Tick marks every round number of metres along the bottom (x) and left (y) edges.
void drawAxes(cv::Mat & panel, const GridFrame & frame)
{
  const cv::Rect area = gridArea(frame);
  const double step = roundStep(std::max(frame.widthMetres(), frame.heightMetres()) / 6.0);
  const double tolerance = 1e-9 * step;
  for (double k = std::ceil(frame.origin_x / step - 1e-9);
    k * step <= frame.origin_x + frame.widthMetres() + tolerance; k += 1.0)
  {
    const int x = area.x + frame.pixelOf(k * step, frame.origin_y).x;
    const int bottom = area.y + area.height;
    cv::line(panel, cv::Point(x, bottom), cv::Point(x, bottom + 4), kBlack);
    label(panel, number(k * step), cv::Point(x, bottom + 17), Align::kCentre);
  }
  for (double k = std::ceil(frame.origin_y / step - 1e-9);
    k * step <= frame.origin_y + frame.heightMetres() + tolerance; k += 1.0)
  {
    const int y = area.y + frame.pixelOf(frame.origin_x, k * step).y;
    cv::line(panel, cv::Point(area.x - 5, y), cv::Point(area.x - 1, y), kBlack);
    label(panel, number(k * step), cv::Point(area.x - 8, y + 4), Align::kRight);
  }
  label(panel, "y (m)", cv::Point(4, kTitleHeight - 10), Align::kLeft);
  label(panel, "x (m)", cv::Point(area.x + area.width, area.y + area.height + 40), Align::kRight);
}

// The map frame's origin with its x and y axes, when it lies on the grid.
void drawOrigin(cv::Mat & panel, const GridFrame & frame)
{
  const bool on_grid = frame.origin_x <= 0.0 && 0.0 <= frame.origin_x + frame.widthMetres() &&
    frame.origin_y <= 0.0 && 0.0 <= frame.origin_y + frame.heightMetres();
  if (!on_grid) {
    return;
  }
  const cv::Rect area = gridArea(frame);
  const cv::Point origin = area.tl() + frame.pixelOf(0.0, 0.0);
  constexpr int kArrow = 56;
  const cv::Point x_tip = origin + cv::Point(kArrow, 0);
  const cv::Point y_tip = origin - cv::Point(0, kArrow);
  for (const auto & [colour, width] : {std::pair{kWhite, 5}, std::pair{kBlack, 2}}) {
    cv::arrowedLine(panel, origin, x_tip, colour, width, cv::LINE_AA, 0, 0.2);
    cv::arrowedLine(panel, origin, y_tip, colour, width, cv::LINE_AA, 0, 0.2);
    cv::circle(panel, origin, width, colour, cv::FILLED, cv::LINE_AA);
  }
  haloLabel(panel, "x", x_tip + cv::Point(6, 4));
  haloLabel(panel, "y", y_tip + cv::Point(7, 8));
  haloLabel(panel, "map origin", origin + cv::Point(12, -20));
}

void drawScaleBar(cv::Mat & panel, const GridFrame & frame)
{
  const double metres = roundStep(frame.widthMetres() / 5.0);
  const int length = static_cast<int>(std::lround(metres * frame.pixelsPerMetre()));
  const cv::Rect area = gridArea(frame);
  const cv::Point start(area.x, area.y + area.height + 36);
  cv::rectangle(panel, cv::Rect(start.x, start.y - 2, length, 5), kBlack, cv::FILLED);
  cv::line(panel, start - cv::Point(0, 6), start + cv::Point(0, 6), kBlack);
  cv::line(
    panel, start + cv::Point(length, -6), start + cv::Point(length, 6), kBlack);
  label(panel, number(metres) + " m", start + cv::Point(length + 8, 5), Align::kLeft);
}

// The grid's picture in a white panel with its title, axes, origin and scale bar, leaving
// `right` pixels free beside the grid and `below` pixels under the scale bar.
cv::Mat framedPanel(
  const cv::Mat & grid, const GridFrame & frame, const std::string & title, int right, int below)
{
  cv::Mat panel(
    kTitleHeight + grid.rows + kBottomMargin + below, kLeftMargin + grid.cols + right,
    CV_8UC3, kWhite);
  const cv::Rect area = gridArea(frame);
  grid.copyTo(panel(area));
  cv::rectangle(
    panel, cv::Rect(area.x - 1, area.y - 1, area.width + 2, area.height + 2), kBlack);
  label(panel, title, cv::Point(kLeftMargin, 18), Align::kLeft, kTitleScale);
  drawAxes(panel, frame);
  drawOrigin(panel, frame);
  drawScaleBar(panel, frame);
  return panel;
}

// Distance from red (0 m) to blue (`saturation_m` and beyond), as the grid shows it.
cv::Mat jetColours(const cv::Mat & distances_m, double saturation_m)
{
  cv::Mat nearness;
  distances_m.convertTo(nearness, CV_8UC1, -255.0 / saturation_m, 255.0);
  cv::Mat coloured;
  cv::applyColorMap(nearness, coloured, cv::COLORMAP_JET);
  return coloured;
}

void drawColourBar(cv::Mat & panel, const GridFrame & frame, double saturation_m)
{
  const cv::Rect area = gridArea(frame);
  const cv::Rect bar(area.x + area.width + 18, area.y, kColourBarWidth, area.height);
  cv::Mat distances(bar.height, 1, CV_32FC1);
  for (int row = 0; row < bar.height; ++row) {
    distances.at<float>(row) = static_cast<float>(
      saturation_m * (1.0 - static_cast<double>(row) / std::max(bar.height - 1, 1)));
  }
  cv::Mat column = jetColours(distances, saturation_m);
  cv::resize(column, panel(bar), bar.size(), 0, 0, cv::INTER_NEAREST);
  cv::rectangle(panel, bar, kBlack);
  label(panel, "distance", cv::Point(bar.x - 8, kTitleHeight - 10), Align::kLeft);
  const double step = roundStep(saturation_m / 5.0);
  for (double k = 0.0; k * step <= saturation_m + 1e-9 * step; k += 1.0) {
    const double metres = k * step;
    const int y = bar.y + bar.height - 1 -
      static_cast<int>(std::lround(metres / saturation_m * (bar.height - 1)));
    cv::line(panel, cv::Point(bar.x + bar.width, y), cv::Point(bar.x + bar.width + 4, y), kBlack);
    const bool last = (k + 1.0) * step > saturation_m + 1e-9 * step;
    label(
      panel, number(metres) + (last ? "+ m" : " m"), cv::Point(bar.x + bar.width + 7, y + 4),
      Align::kLeft);
  }
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

const Legend * cameraCategoryOf(const quorvane_nav2_gridmap::ObsTypeBitMap & bits)
{
  for (const auto & entry : legend()) {
    if (entry.camera && bits.any(entry.bit)) {
      return &entry;
    }
  }
  return nullptr;
}

// Legend entries in rows as wide as `width`; returns the height they take.
int drawLegend(cv::Mat * panel, int width, int top)
{
  struct Entry
  {
    std::string text;
    cv::Scalar colour;
  };
  std::vector<Entry> entries;
  for (const auto & entry : legend()) {
    entries.push_back({entry.label, entry.colour});
  }
  entries.push_back({"other bits", kOtherColour});
  int x = kLeftMargin;
  int y = top;
  for (const auto & entry : entries) {
    int baseline = 0;
    const int entry_width = 18 + cv::getTextSize(entry.text, kFont, kLabelScale, 1, &baseline).width;
    if (x > kLeftMargin && x + entry_width > width - kRightMargin) {
      x = kLeftMargin;
      y += kLegendRowHeight;
    }
    if (panel != nullptr) {
      cv::rectangle(*panel, cv::Rect(x, y, 12, 12), entry.colour, cv::FILLED);
      cv::rectangle(*panel, cv::Rect(x, y, 12, 12), kBlack);
      label(*panel, entry.text, cv::Point(x + 17, y + 11), Align::kLeft);
    }
    x += entry_width + 14;
  }
  y += kLegendRowHeight;
  if (panel != nullptr) {
    label(
      *panel, "camera categories are drawn one cell larger all round", cv::Point(kLeftMargin,
      y + 11), Align::kLeft);
  }
  return y + kLegendRowHeight - top;
}

}  // namespace

cv::Mat distanceImage(
  quorvane_nav2_gridmap::MultiGridMap & maps, double saturation_m, const std::string & title)
{
  const GridFrame frame(maps);
  cv::Mat distances(frame.heightPixels(), frame.widthPixels(), CV_32FC1);
  for (unsigned int my = 0; my < frame.size_y; ++my) {
    for (unsigned int mx = 0; mx < frame.size_x; ++mx) {
      const double distance = std::min(maps.getDistance(mx, my), saturation_m);
      distances(frame.cellBlock(mx, my)).setTo(cv::Scalar(distance));
    }
  }
  cv::Mat panel = framedPanel(
    jetColours(distances, saturation_m), frame, title, kColourBarMargin, 0);
  drawColourBar(panel, frame, saturation_m);
  return panel;
}

cv::Mat obstacleTypeImage(
  const quorvane_nav2_gridmap::MultiGridMap & maps, const std::string & title)
{
  const GridFrame frame(maps);
  cv::Mat grid(frame.heightPixels(), frame.widthPixels(), CV_8UC3);
  std::vector<std::pair<cv::Rect, cv::Scalar>> camera_marks;
  for (unsigned int my = 0; my < frame.size_y; ++my) {
    for (unsigned int mx = 0; mx < frame.size_x; ++mx) {
      quorvane_nav2_gridmap::ObsTypeBitMap bits;
      bits.reset();
      maps.getObstacleType(mx, my, bits);
      const cv::Rect block = frame.cellBlock(mx, my);
      grid(block).setTo(colourOf(bits));
      if (const Legend * category = cameraCategoryOf(bits)) {
        const int grow = frame.cell_pixels;
        camera_marks.emplace_back(
          cv::Rect(block.x - grow, block.y - grow, block.width + 2 * grow,
          block.height + 2 * grow), category->colour);
      }
    }
  }
  // A person or a box is a line one cell wide: outlined and enlarged, it shows at this size.
  for (const auto & [mark, colour] : camera_marks) {
    cv::rectangle(
      grid, cv::Rect(mark.x - 1, mark.y - 1, mark.width + 2, mark.height + 2), kBlack,
      cv::FILLED);
  }
  for (const auto & [mark, colour] : camera_marks) {
    cv::rectangle(grid, mark, colour, cv::FILLED);
  }
  const int width = kLeftMargin + grid.cols + kRightMargin;
  const int legend_height = drawLegend(nullptr, width, 0);
  cv::Mat panel = framedPanel(grid, frame, title, kRightMargin, legend_height);
  drawLegend(&panel, width, kTitleHeight + grid.rows + kBottomMargin);
  return panel;
}

cv::Mat sideBySide(const cv::Mat & distance, const cv::Mat & obstacle_types)
{
  const int rows = std::max(distance.rows, obstacle_types.rows);
  auto padded = [rows](const cv::Mat & image) {
      cv::Mat result;
      cv::copyMakeBorder(
        image, result, 0, rows - image.rows, 0, 0, cv::BORDER_CONSTANT, kWhite);
      return result;
    };
  const cv::Mat gap(rows, kPanelGap, CV_8UC3, kWhite);
  cv::Mat result;
  cv::hconcat(std::vector<cv::Mat>{padded(distance), gap, padded(obstacle_types)}, result);
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
