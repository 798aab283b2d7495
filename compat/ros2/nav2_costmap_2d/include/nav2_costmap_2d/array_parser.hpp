#ifndef NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_
#define NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_

// Parser for "[[1, 2], [3.5, -4]]"-style strings (vectors of float vectors).

#include <string>
#include <vector>

namespace nav2_costmap_2d
{

// On failure error_return holds the reason and the result is what was parsed so far;
// on success error_return is empty.
std::vector<std::vector<float>> parseVVF(const std::string & input, std::string & error_return);

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__ARRAY_PARSER_HPP_
