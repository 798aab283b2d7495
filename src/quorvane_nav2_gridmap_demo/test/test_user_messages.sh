#!/usr/bin/env bash
# What a user sees when a command is given something it cannot run with, what the demo logs, and
# what the demo's build leaves out.
# Usage: test_user_messages.sh CASE, with DEMO_HOST (the demo_host program) and, for the cases of
# the workspace scripts, WORKSPACE_SCRIPTS (the scripts/ folder) in the environment. The scripts
# run from a copy in a temporary workspace, so nothing of the real one is built or read.
set -uo pipefail

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Runs a command, keeping its status in $status and what it printed in $scratch/out, err.
run() {
  "$@" > "$scratch/out" 2> "$scratch/err"
  status=$?
}

expect_refusal() {
  local expected_status="$1" message="$2"
  if [ "$status" -ne "$expected_status" ]; then
    fail "exit status $status, expected $expected_status; stderr: $(cat "$scratch/err")"
  fi
  grep -qF -- "$message" "$scratch/err" || fail "stderr lacks '$message': $(cat "$scratch/err")"
}

# An empty workspace holding a copy of the scripts and one fuzz target's source.
workspace_copy() {
  local root="$scratch/workspace"
  mkdir -p "$root/src/quorvane_nav2_gridmap/fuzz"
  cp -r "$WORKSPACE_SCRIPTS" "$root/scripts"
  touch "$root/src/quorvane_nav2_gridmap/fuzz/fuzz_zone_file.cpp"
  echo "$root"
}

case_demo_seconds_not_a_number() {
  run "$DEMO_HOST" --seconds abc --output "$scratch/demo"
  expect_refusal 2 "--seconds takes a number of seconds from 0.1 to 3600, not 'abc'"
}

case_demo_ros_logs_at_warn() {
  run "$DEMO_HOST" --seconds 1 --output "$scratch/demo"
  grep -q "^Demo finished" "$scratch/out" || fail "the demo did not finish: $(cat "$scratch/err")"
  if grep -q "\[INFO\]" "$scratch/err"; then
    fail "INFO lines of the ROS nodes: $(grep -c "\[INFO\]" "$scratch/err")"
  fi
}

case_test_sanitize_without_value() {
  run "$(workspace_copy)/scripts/test" --sanitize
  expect_refusal 2 "scripts/test: --sanitize needs a value: address or thread"
}

case_bench_skip_build_before_any_build() {
  run "$(workspace_copy)/scripts/bench" --skip-build
  expect_refusal 1 "run scripts/bench once without --skip-build"
}

case_fuzz_unknown_target() {
  run "$(workspace_copy)/scripts/fuzz" 1 fuzz_nope
  expect_refusal 2 "no fuzz target 'fuzz_nope' (targets: fuzz_zone_file)"
}

# A package with a library, a test program and a benchmark, built as scripts/demo builds one.
case_demo_build_leaves_out_test_programs() {
  local source="$scratch/package" build="$scratch/package-build"
  mkdir -p "$source"
  echo 'int main() { return 0; }' > "$source/main.cpp"
  cat > "$source/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(sample CXX)
add_library(sample SHARED main.cpp)
install(TARGETS sample DESTINATION lib)
add_executable(test_sample main.cpp)
add_test(NAME test_sample COMMAND test_sample)
add_executable(bench_sample main.cpp)
add_library(benchmark::benchmark INTERFACE IMPORTED)
target_link_libraries(bench_sample benchmark::benchmark)
CMAKE
  run cmake -S "$source" -B "$build" -DCMAKE_INSTALL_PREFIX="$scratch/install" \
    -DCMAKE_PROJECT_INCLUDE="$WORKSPACE_SCRIPTS/lib/install_without_tests.cmake"
  [ "$status" -eq 0 ] || fail "configure: $(cat "$scratch/err")"
  run cmake --build "$build" --target quorvane_install_without_tests
  [ "$status" -eq 0 ] || fail "build: $(cat "$scratch/out" "$scratch/err")"
  [ -f "$scratch/install/lib/libsample.so" ] || fail "the library was not installed"
  [ ! -e "$build/test_sample" ] || fail "the test program was built"
  [ ! -e "$build/bench_sample" ] || fail "the benchmark was built"
}

"case_$1"
