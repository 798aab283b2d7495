#ifndef PCL_ROS__TRANSFORMS_HPP_
#define PCL_ROS__TRANSFORMS_HPP_

// Rigid transforms of point clouds and the 4x4 matrix form of a tf2 transform.
// Lookups through a tf2_ros::Buffer are not part of this stand-in and throw std::logic_error.

#include <stdexcept>
#include <string>

#include <Eigen/Core>
#include <pcl/common/transforms.h>
#include <pcl/point_cloud.h>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "tf2/LinearMath/Transform.h"

namespace tf2_ros
{
class Buffer;
}  // namespace tf2_ros

namespace rclcpp
{
class Time;
}  // namespace rclcpp

namespace pcl_ros
{

// Upper-left 3x3 = the basis, last column = the origin, bottom row (0, 0, 0, 1): applied to
// (x, y, z, 1) it maps a point of the transform's child frame into its parent frame.
void transformAsMatrix(const tf2::Transform & bt, Eigen::Matrix4f & out_mat);

// Same for the transform part of a stamped transform; frame names are ignored.
void transformAsMatrix(const geometry_msgs::msg::TransformStamped & bt, Eigen::Matrix4f & out_mat);

// Transforms the float32 x/y/z fields (and vp_x/vp_y/vp_z when present) of every finite
// point and copies every other field; the header is copied from `in`. Logs an error and
// leaves `out` untouched when the cloud has no float32 x/y/z.
void transformPointCloud(
  const Eigen::Matrix4f & transform, const sensor_msgs::msg::PointCloud2 & in,
  sensor_msgs::msg::PointCloud2 & out);

// As above, then out.header.frame_id = target_frame.
void transformPointCloud(
  const std::string & target_frame, const tf2::Transform & net_transform,
  const sensor_msgs::msg::PointCloud2 & in, sensor_msgs::msg::PointCloud2 & out);

void transformPointCloud(
  const std::string & target_frame, const geometry_msgs::msg::TransformStamped & net_transform,
  const sensor_msgs::msg::PointCloud2 & in, sensor_msgs::msg::PointCloud2 & out);

bool transformPointCloud(
  const std::string & target_frame, const sensor_msgs::msg::PointCloud2 & in,
  sensor_msgs::msg::PointCloud2 & out, const tf2_ros::Buffer & tf_buffer);

template<typename PointT>
void transformPointCloud(
  const pcl::PointCloud<PointT> & cloud_in, pcl::PointCloud<PointT> & cloud_out,
  const tf2::Transform & transform)
{
  Eigen::Matrix4f matrix;
  transformAsMatrix(transform, matrix);
  pcl::transformPointCloud(cloud_in, cloud_out, matrix);
}

template<typename PointT>
void transformPointCloud(
  const pcl::PointCloud<PointT> & cloud_in, pcl::PointCloud<PointT> & cloud_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  Eigen::Matrix4f matrix;
  transformAsMatrix(transform, matrix);
  pcl::transformPointCloud(cloud_in, cloud_out, matrix);
}

template<typename PointT>
bool transformPointCloud(
  const std::string &, const pcl::PointCloud<PointT> &, pcl::PointCloud<PointT> &,
  const tf2_ros::Buffer &)
{
  throw std::logic_error(
          "pcl_ros::transformPointCloud with a tf2_ros::Buffer not supported by this stand-in");
}

template<typename PointT>
bool transformPointCloud(
  const std::string &, const rclcpp::Time &, const pcl::PointCloud<PointT> &,
  const std::string &, pcl::PointCloud<PointT> &, const tf2_ros::Buffer &)
{
  throw std::logic_error(
          "pcl_ros::transformPointCloud with a tf2_ros::Buffer not supported by this stand-in");
}

template<typename PointT>
void transformPointCloudWithNormals(
  const pcl::PointCloud<PointT> & cloud_in, pcl::PointCloud<PointT> & cloud_out,
  const tf2::Transform & transform)
{
  Eigen::Matrix4f matrix;
  transformAsMatrix(transform, matrix);
  pcl::transformPointCloudWithNormals(cloud_in, cloud_out, matrix);
}

template<typename PointT>
void transformPointCloudWithNormals(
  const pcl::PointCloud<PointT> & cloud_in, pcl::PointCloud<PointT> & cloud_out,
  const geometry_msgs::msg::TransformStamped & transform)
{
  Eigen::Matrix4f matrix;
  transformAsMatrix(transform, matrix);
  pcl::transformPointCloudWithNormals(cloud_in, cloud_out, matrix);
}

template<typename PointT>
bool transformPointCloudWithNormals(
  const std::string &, const pcl::PointCloud<PointT> &, pcl::PointCloud<PointT> &,
  const tf2_ros::Buffer &)
{
  throw std::logic_error(
          "pcl_ros::transformPointCloudWithNormals with a tf2_ros::Buffer not supported by this "
          "stand-in");
}

template<typename PointT>
bool transformPointCloudWithNormals(
  const std::string &, const rclcpp::Time &, const pcl::PointCloud<PointT> &,
  const std::string &, pcl::PointCloud<PointT> &, const tf2_ros::Buffer &)
{
  throw std::logic_error(
          "pcl_ros::transformPointCloudWithNormals with a tf2_ros::Buffer not supported by this "
          "stand-in");
}

}  // namespace pcl_ros

#endif  // PCL_ROS__TRANSFORMS_HPP_
