# Included after the project() call of every package the workspace scripts build (they pass it as
# CMAKE_PROJECT_INCLUDE). Adds the target quorvane_install_without_tests: what "all" builds except
# the test and benchmark programs, followed by the package's install. scripts/demo builds that
# target and scripts/test builds "all" in the same build folder with the same configuration, so
# switching between them configures nothing again and compiles only what the other left out.

if(NOT CMAKE_CURRENT_SOURCE_DIR STREQUAL CMAKE_SOURCE_DIR)
  return()
endif()

# A test program is run by a test of its own name (ament_add_gtest); a benchmark links Google
# Benchmark.
function(quorvane_is_test_program target tests result)
  set(${result} FALSE PARENT_SCOPE)
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    return()
  endif()
  get_target_property(libraries ${target} LINK_LIBRARIES)
  if(target IN_LIST tests OR "benchmark::benchmark" IN_LIST libraries OR
      "benchmark" IN_LIST libraries)
    set(${result} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(quorvane_add_install_without_tests)
  # Every target and test of the package's folders, except those of folders left out of "all".
  set(directories "${CMAKE_SOURCE_DIR}")
  set(targets)
  set(tests)
  while(directories)
    list(POP_FRONT directories directory)
    get_property(excluded DIRECTORY "${directory}" PROPERTY EXCLUDE_FROM_ALL)
    if(excluded)
      continue()
    endif()
    get_property(found DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
    list(APPEND targets ${found})
    get_property(found DIRECTORY "${directory}" PROPERTY TESTS)
    list(APPEND tests ${found})
    get_property(found DIRECTORY "${directory}" PROPERTY SUBDIRECTORIES)
    list(APPEND directories ${found})
  endwhile()

  set(needed)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(excluded ${target} EXCLUDE_FROM_ALL)
    quorvane_is_test_program(${target} "${tests}" test_program)
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT excluded AND NOT test_program)
      list(APPEND needed ${target})
    endif()
  endforeach()
  add_custom_target(quorvane_install_without_tests
    COMMAND "${CMAKE_COMMAND}" --install "${CMAKE_BINARY_DIR}"
    VERBATIM)
  if(needed)
    add_dependencies(quorvane_install_without_tests ${needed})
  endif()
endfunction()

cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL quorvane_add_install_without_tests)
