// Example host of quorvane_nav2_gridmap; see the package README section in the repository's
// README.md.

#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap_demo/demo_host.hpp"
#include "quorvane_nav2_gridmap_demo/working_map_directory.hpp"

namespace
{

using quorvane_nav2_gridmap_demo::DemoOptions;

constexpr char kUsage[] =
  "usage: demo_host [--output DIR] [--seconds S] [--verbose] [--ros-args ARGS...]\n"
  "  --output DIR   folder for the images and the full report\n"
  "  --seconds S    how long to update the grid maps, 0.1 to 3600 s (default 3)\n"
  "  --verbose      INFO lines of the ROS nodes too (default: warnings and errors only)\n"
  "  --ros-args     ROS arguments for every node of the host, e.g. --log-level debug";
constexpr char kSecondsRange[] = "a number of seconds from 0.1 to 3600";
constexpr double kMinSeconds = 0.1;
constexpr double kMaxSeconds = 3600.0;
constexpr int kUsageStatus = 2;

// A command line the host cannot run with; the message says what is wrong and what it takes.
class UsageError : public std::invalid_argument
{
public:
  using std::invalid_argument::invalid_argument;
};

const std::string & valueOf(
  const std::vector<std::string> & args, std::size_t & i, const std::string & expected)
{
  if (i + 1 >= args.size()) {
    throw UsageError(args[i] + " needs a value: " + expected);
  }
  return args[++i];
}

std::chrono::milliseconds parseSeconds(const std::string & text)
{
  double seconds = std::nan("");
  std::size_t used = 0;
  try {
    seconds = std::stod(text, &used);
  } catch (const std::logic_error &) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !(seconds >= kMinSeconds && seconds <= kMaxSeconds)) {
    throw UsageError(
            "--seconds takes " + std::string(kSecondsRange) + ", not '" + text + "'");
  }
  return std::chrono::milliseconds(std::lround(seconds * 1000.0));
}

bool helpAsked(int argc, char ** argv)
{
  for (int i = 1; i < argc && std::string(argv[i]) != "--ros-args"; ++i) {
    if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
      return true;
    }
  }
  return false;
}

DemoOptions parseOptions(int argc, char ** argv)
{
  DemoOptions options;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--output") {
      options.output = valueOf(args, i, "the folder for the images and the report");
    } else if (args[i] == "--seconds") {
      options.update_duration = parseSeconds(valueOf(args, i, kSecondsRange));
    } else if (args[i] == "--verbose") {
      options.verbose = true;
    } else if (args[i] == "--ros-args") {
      options.ros_arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    } else {
      throw UsageError("unknown option '" + args[i] + "'");
    }
  }
  return options;
}

// rclcpp's global arguments carry the demo's parameters to every node of the process, exactly
// as a launch file's --params-file would; the map directory is the host's working copy. The
// nodes log warnings and errors only, unless the host is verbose; ROS arguments given to the
// host come last and so win.
class RosSession
{
public:
  RosSession(
    const std::filesystem::path & params_file, const std::filesystem::path & map_dir,
    const DemoOptions & options)
  {
    std::vector<std::string> args{
      "demo_host", "--ros-args", "--params-file", params_file.string(),
      "-p", "obstacle_type.map_path_str:=" + map_dir.string()};
    if (!options.verbose) {
      args.insert(args.end(), {"--log-level", "warn"});
    }
    args.insert(args.end(), options.ros_arguments.begin(), options.ros_arguments.end());
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
  if (helpAsked(argc, argv)) {
    std::cout << kUsage << std::endl;
    return EXIT_SUCCESS;
  }
  DemoOptions options;
  try {
    options = parseOptions(argc, argv);
  } catch (const UsageError & error) {
    std::cerr << "demo_host: " << error.what() << "\n" << kUsage << std::endl;
    return kUsageStatus;
  }
  try {
    const std::filesystem::path share =
      ament_index_cpp::get_package_share_directory("quorvane_nav2_gridmap_demo");
    quorvane_nav2_gridmap_demo::WorkingMapDirectory maps(share / "maps");
    RosSession ros(share / "config" / "demo_params.yaml", maps.path(), options);
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
