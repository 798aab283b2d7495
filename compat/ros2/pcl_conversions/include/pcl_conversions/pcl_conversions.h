#ifndef PCL_CONVERSIONS__PCL_CONVERSIONS_H_
#define PCL_CONVERSIONS__PCL_CONVERSIONS_H_

// Conversions between PCL's data types and the ROS 2 messages that carry them. PCL keeps
// stamps in microseconds, ROS in nanoseconds: a round trip drops sub-microsecond precision.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <pcl/PCLHeader.h>
#include <pcl/PCLImage.h>
#include <pcl/PCLPointCloud2.h>
#include <pcl/PCLPointField.h>
#include <pcl/conversions.h>
#include <pcl/point_cloud.h>

#include "builtin_interfaces/msg/time.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "std_msgs/msg/header.hpp"

#if __has_include("rclcpp/time.hpp")
#include "rclcpp/time.hpp"
#define PCL_CONVERSIONS_HAVE_RCLCPP_TIME 1
#endif

namespace pcl_conversions
{

namespace detail
{

inline builtin_interfaces::msg::Time stampFromMicroseconds(std::uint64_t pcl_stamp)
{
  const std::uint64_t ns = pcl_stamp * 1000ULL;
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<std::int32_t>(ns / 1000000000ULL);
  stamp.nanosec = static_cast<std::uint32_t>(ns % 1000000000ULL);
  return stamp;
}

inline std::uint64_t microsecondsFromStamp(const builtin_interfaces::msg::Time & stamp)
{
  const std::int64_t ns = static_cast<std::int64_t>(stamp.sec) * 1000000000LL + stamp.nanosec;
  return static_cast<std::uint64_t>(ns) / 1000ULL;
}

}  // namespace detail

/** Stamps (rclcpp::Time, system clock) */

#ifdef PCL_CONVERSIONS_HAVE_RCLCPP_TIME
inline void fromPCL(const std::uint64_t & pcl_stamp, rclcpp::Time & stamp)
{
  stamp = rclcpp::Time(static_cast<std::int64_t>(pcl_stamp * 1000ULL), RCL_SYSTEM_TIME);
}

inline void toPCL(const rclcpp::Time & stamp, std::uint64_t & pcl_stamp)
{
  pcl_stamp = static_cast<std::uint64_t>(stamp.nanoseconds()) / 1000ULL;
}

inline rclcpp::Time fromPCL(const std::uint64_t & pcl_stamp)
{
  rclcpp::Time stamp;
  fromPCL(pcl_stamp, stamp);
  return stamp;
}

inline std::uint64_t toPCL(const rclcpp::Time & stamp)
{
  std::uint64_t pcl_stamp;
  toPCL(stamp, pcl_stamp);
  return pcl_stamp;
}
#endif

/** Header */

inline void fromPCL(const pcl::PCLHeader & pcl_header, std_msgs::msg::Header & header)
{
  header.stamp = detail::stampFromMicroseconds(pcl_header.stamp);
  header.frame_id = pcl_header.frame_id;
}

inline void toPCL(const std_msgs::msg::Header & header, pcl::PCLHeader & pcl_header)
{
  pcl_header.stamp = detail::microsecondsFromStamp(header.stamp);
  pcl_header.seq = 0;
  pcl_header.frame_id = header.frame_id;
}

inline std_msgs::msg::Header fromPCL(const pcl::PCLHeader & pcl_header)
{
  std_msgs::msg::Header header;
  fromPCL(pcl_header, header);
  return header;
}

inline pcl::PCLHeader toPCL(const std_msgs::msg::Header & header)
{
  pcl::PCLHeader pcl_header;
  toPCL(header, pcl_header);
  return pcl_header;
}

/** Image */

inline void copyPCLImageMetaData(const pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  fromPCL(pcl_image.header, image.header);
  image.height = pcl_image.height;
  image.width = pcl_image.width;
  image.encoding = pcl_image.encoding;
  image.is_bigendian = pcl_image.is_bigendian;
  image.step = pcl_image.step;
}

inline void fromPCL(const pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  copyPCLImageMetaData(pcl_image, image);
  image.data = pcl_image.data;
}

inline void moveFromPCL(pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  copyPCLImageMetaData(pcl_image, image);
  image.data.swap(pcl_image.data);
}

inline void copyImageMetaData(const sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  toPCL(image.header, pcl_image.header);
  pcl_image.height = image.height;
  pcl_image.width = image.width;
  pcl_image.encoding = image.encoding;
  pcl_image.is_bigendian = image.is_bigendian;
  pcl_image.step = image.step;
}

inline void toPCL(const sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  copyImageMetaData(image, pcl_image);
  pcl_image.data = image.data;
}

inline void moveToPCL(sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  copyImageMetaData(image, pcl_image);
  pcl_image.data.swap(image.data);
}

/** PointField */

inline void fromPCL(const pcl::PCLPointField & pcl_pf, sensor_msgs::msg::PointField & pf)
{
  pf.name = pcl_pf.name;
  pf.offset = pcl_pf.offset;
  pf.datatype = pcl_pf.datatype;
  pf.count = pcl_pf.count;
}

inline void fromPCL(
  const std::vector<pcl::PCLPointField> & pcl_pfs, std::vector<sensor_msgs::msg::PointField> & pfs)
{
  pfs.resize(pcl_pfs.size());
  for (std::size_t i = 0; i < pcl_pfs.size(); ++i) {
    fromPCL(pcl_pfs[i], pfs[i]);
  }
}

inline void toPCL(const sensor_msgs::msg::PointField & pf, pcl::PCLPointField & pcl_pf)
{
  pcl_pf.name = pf.name;
  pcl_pf.offset = pf.offset;
  pcl_pf.datatype = pf.datatype;
  pcl_pf.count = pf.count;
}

inline void toPCL(
  const std::vector<sensor_msgs::msg::PointField> & pfs, std::vector<pcl::PCLPointField> & pcl_pfs)
{
  pcl_pfs.resize(pfs.size());
  for (std::size_t i = 0; i < pfs.size(); ++i) {
    toPCL(pfs[i], pcl_pfs[i]);
  }
}

/** PointCloud2 */

inline void copyPCLPointCloud2MetaData(
  const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  fromPCL(pcl_pc2.header, pc2.header);
  pc2.height = pcl_pc2.height;
  pc2.width = pcl_pc2.width;
  fromPCL(pcl_pc2.fields, pc2.fields);
  pc2.is_bigendian = pcl_pc2.is_bigendian;
  pc2.point_step = pcl_pc2.point_step;
  pc2.row_step = pcl_pc2.row_step;
  pc2.is_dense = pcl_pc2.is_dense;
}

inline void fromPCL(const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data = pcl_pc2.data;
}

inline void moveFromPCL(pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data.swap(pcl_pc2.data);
}

inline void copyPointCloud2MetaData(
  const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  toPCL(pc2.header, pcl_pc2.header);
  pcl_pc2.height = pc2.height;
  pcl_pc2.width = pc2.width;
  toPCL(pc2.fields, pcl_pc2.fields);
  pcl_pc2.is_bigendian = pc2.is_bigendian;
  pcl_pc2.point_step = pc2.point_step;
  pcl_pc2.row_step = pc2.row_step;
  pcl_pc2.is_dense = pc2.is_dense;
}

inline void toPCL(const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  copyPointCloud2MetaData(pc2, pcl_pc2);
  pcl_pc2.data = pc2.data;
}

inline void moveToPCL(sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  copyPointCloud2MetaData(pc2, pcl_pc2);
  pcl_pc2.data.swap(pc2.data);
}

}  // namespace pcl_conversions

namespace pcl
{

// Index of the field with that name, or -1.
inline int getFieldIndex(const sensor_msgs::msg::PointCloud2 & cloud, const std::string & field_name)
{
  for (std::size_t d = 0; d < cloud.fields.size(); ++d) {
    if (cloud.fields[d].name == field_name) {
      return static_cast<int>(d);
    }
  }
  return -1;
}

// The field names separated by single spaces.
inline std::string getFieldsList(const sensor_msgs::msg::PointCloud2 & cloud)
{
  std::string result;
  for (std::size_t i = 0; i < cloud.fields.size(); ++i) {
    result += (i == 0 ? "" : " ") + cloud.fields[i].name;
  }
  return result;
}

template<typename T>
void fromROSMsg(const sensor_msgs::msg::PointCloud2 & cloud, pcl::PointCloud<T> & pcl_cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::toPCL(cloud, pcl_pc2);
  pcl::fromPCLPointCloud2(pcl_pc2, pcl_cloud);
}

template<typename T>
void moveFromROSMsg(sensor_msgs::msg::PointCloud2 & cloud, pcl::PointCloud<T> & pcl_cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::moveToPCL(cloud, pcl_pc2);
  pcl::fromPCLPointCloud2(pcl_pc2, pcl_cloud);
}

template<typename T>
void toROSMsg(const pcl::PointCloud<T> & pcl_cloud, sensor_msgs::msg::PointCloud2 & cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl::toPCLPointCloud2(pcl_cloud, pcl_pc2);
  pcl_conversions::moveFromPCL(pcl_pc2, cloud);
}

// An organised cloud with an "rgb" field as an image.
inline void toROSMsg(const sensor_msgs::msg::PointCloud2 & cloud, sensor_msgs::msg::Image & image)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::toPCL(cloud, pcl_pc2);
  pcl::PCLImage pcl_image;
  pcl::toPCLPointCloud2(pcl_pc2, pcl_image);
  pcl_conversions::moveFromPCL(pcl_image, image);
}

inline void moveToROSMsg(sensor_msgs::msg::PointCloud2 & cloud, sensor_msgs::msg::Image & image)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::moveToPCL(cloud, pcl_pc2);
  pcl::PCLImage pcl_image;
  pcl::toPCLPointCloud2(pcl_pc2, pcl_image);
  pcl_conversions::moveFromPCL(pcl_image, image);
}

template<typename T>
void toROSMsg(const pcl::PointCloud<T> & cloud, sensor_msgs::msg::Image & msg)
{
  pcl::PCLImage pcl_image;
  pcl::toPCLPointCloud2(cloud, pcl_image);
  pcl_conversions::moveFromPCL(pcl_image, msg);
}

template<typename PointT>
void createMapping(
  const std::vector<sensor_msgs::msg::PointField> & msg_fields, MsgFieldMap & field_map)
{
  std::vector<pcl::PCLPointField> pcl_msg_fields;
  pcl_conversions::toPCL(msg_fields, pcl_msg_fields);
  return createMapping<PointT>(pcl_msg_fields, field_map);
}

// Appends cloud2's points to cloud1's; false when the two do not have the same fields.
inline bool concatenatePointCloud(
  const sensor_msgs::msg::PointCloud2 & cloud1, const sensor_msgs::msg::PointCloud2 & cloud2,
  sensor_msgs::msg::PointCloud2 & cloud_out)
{
  if (cloud1.fields.size() != cloud2.fields.size() || cloud1.point_step != cloud2.point_step) {
    return false;
  }
  for (std::size_t i = 0; i < cloud1.fields.size(); ++i) {
    if (cloud1.fields[i].name != cloud2.fields[i].name) {
      return false;
    }
  }
  const std::size_t points1 = static_cast<std::size_t>(cloud1.width) * cloud1.height;
  const std::size_t points2 = static_cast<std::size_t>(cloud2.width) * cloud2.height;
  std::vector<std::uint8_t> data(cloud1.data);
  data.insert(data.end(), cloud2.data.begin(), cloud2.data.end());
  cloud_out = cloud1;
  cloud_out.data = std::move(data);
  cloud_out.width = static_cast<std::uint32_t>(points1 + points2);
  cloud_out.height = 1;
  cloud_out.is_dense = cloud1.is_dense && cloud2.is_dense;
  cloud_out.row_step = cloud_out.width * cloud_out.point_step;
  return true;
}

}  // namespace pcl

#endif  // PCL_CONVERSIONS__PCL_CONVERSIONS_H_
