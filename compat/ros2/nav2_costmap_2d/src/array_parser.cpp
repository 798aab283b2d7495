#include "nav2_costmap_2d/array_parser.hpp"

#include <sstream>
#include <string>
#include <vector>

namespace nav2_costmap_2d
{

std::vector<std::vector<float>> parseVVF(const std::string & input, std::string & error_return)
{
  std::vector<std::vector<float>> result;
  std::stringstream input_ss(input);
  int depth = 0;
  std::vector<float> current_vector;
  while (input_ss && !input_ss.eof()) {
    const int next = input_ss.peek();
    if (next == EOF) {
      break;
    }
    if (next == '[') {
      if (++depth > 2) {
        error_return = "Array depth greater than 2";
        return result;
      }
      input_ss.get();
      current_vector.clear();
    } else if (next == ']') {
      if (--depth < 0) {
        error_return = "More close ] than open [";
        return result;
      }
      input_ss.get();
      if (depth == 1) {
        result.push_back(current_vector);
      }
    } else if (next == ',' || next == ' ' || next == '\t') {
      input_ss.get();
    } else {
      // Anything else must be part of a number inside an inner vector.
      if (depth != 2) {
        std::stringstream err_ss;
        err_ss << "Numbers at depth other than 2. Char was '" << static_cast<char>(next) << "'.";
        error_return = err_ss.str();
        return result;
      }
      float value;
      input_ss >> value;
      if (input_ss) {
        current_vector.push_back(value);
      }
    }
  }
  error_return = depth != 0 ? "Unterminated vector string." : "";
  return result;
}

}  // namespace nav2_costmap_2d
