// Example host of quorvane_nav2_gridmap; see the package README section in the repository's
// README.md. Usage: demo_host [--output DIR] [--seconds S]

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap_demo/demo_host.hpp"
#include "quorvane_nav2_gridmap_demo/working_map_directory.hpp"

namespace
{

using quorvane_nav2_gridmap_demo::DemoOptions;

constexpr char kUsage[] = "usage: demo_host [--output DIR] [--seconds S]";

DemoOptions parseOptions(int argc, char ** argv)
{
  DemoOptions options;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--output" && has_value) {
      options.output = args[++i];
    } else if (args[i] == "--seconds" && has_value) {
      options.update_duration =
        std::chrono::milliseconds(static_cast<long>(std::stod(args[++i]) * 1000.0));
    } else {
      throw std::invalid_argument(kUsage);
    }
  }
  return options;
}

// rclcpp's global arguments carry the demo's parameters to every node of the process, exactly
// as a launch file's --params-file would; the map directory is the host's working copy.
class RosSession
{
public:
  RosSession(const std::filesystem::path & params_file, const std::filesystem::path & map_dir)
  {
    const std::string map_override = "obstacle_type.map_path_str:=" + map_dir.string();
    const std::vector<std::string> args{
      "demo_host", "--ros-args", "--params-file", params_file.string(), "-p", map_override};
    std::vector<const char *> argv;
    for (const auto & arg : args) {
      argv.push_back(arg.c_str());
    }
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
  }
  ~RosSession() {rclcpp::shutdown();}

  RosSession(const RosSession &) = delete;
  RosSession & operator=(const RosSession &) = delete;
};

}  // namespace

int main(int argc, char ** argv)
{
  // The library logs every update at INFO; the report is the point here. SPDLOG_LEVEL=info
  // shows the library's own lines.
  setenv("SPDLOG_LEVEL", "warning", 0);
  try {
    const DemoOptions options = parseOptions(argc, argv);
    const std::filesystem::path share =
      ament_index_cpp::get_package_share_directory("quorvane_nav2_gridmap_demo");
    quorvane_nav2_gridmap_demo::WorkingMapDirectory maps(share / "maps");
    RosSession ros(share / "config" / "demo_params.yaml", maps.path());
    bool succeeded = false;
    {
      quorvane_nav2_gridmap_demo::DemoHost host(options, maps, std::cout);
      succeeded = host.run();
    }
    std::cout << (succeeded ? "Demo finished." : "Demo finished with failures.") << std::endl;
    return succeeded ? EXIT_SUCCESS : EXIT_FAILURE;
  } catch (const std::exception & error) {
    std::cerr << "demo_host: " << error.what() << std::endl;
    return EXIT_FAILURE;
  }
}
