# generated from rosidl_default_generators/rosidl_default_generators-extras.cmake

# Order matters: rosidl_generate_interfaces() runs the generators in the order they registered,
# and the C++ generator expects the C generator's targets to exist.
foreach(_rosidl_default_generators_dep rosidl_cmake rosidl_generator_c rosidl_generator_cpp)
  if(NOT ${_rosidl_default_generators_dep}_FOUND)
    find_package(${_rosidl_default_generators_dep} REQUIRED)
  endif()
endforeach()
unset(_rosidl_default_generators_dep)
