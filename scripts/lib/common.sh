# Shared settings of the workspace scripts; sourced, not run.
# shellcheck shell=bash

repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# ament_cmake on Debian needs Debian's own interpreter, which carries ament_package.
export PATH="/usr/bin:$PATH"

# Jobs: one per core, unless QUORVANE_JOBS says otherwise. colcon builds up to that many packages at
# once and each make may start that many compilers; make's load limit keeps the total near the cap.
jobs="${QUORVANE_JOBS:-$(nproc)}"
export MAKEFLAGS="-j${jobs} -l${jobs}"

# Every build configures its tests; whether they are compiled is a matter of the target built (see
# install_without_tests.cmake), so the demo and the tests share one configured build folder.
cmake_common_args=(
  -DPython3_EXECUTABLE=/usr/bin/python3
  --no-warn-unused-cli
  -DBUILD_TESTING=ON
  "-DCMAKE_PROJECT_INCLUDE=$repo_root/scripts/lib/install_without_tests.cmake"
)

# colcon shows one line per finished package and its summary; the full output of every package
# stays in "$build_base/log" (see print_failed_logs).
quiet_event_handlers=(
  console_start_end+ summary+ console_stderr- console_cohesion- console_direct- console_package_list-
)
# colcon's executor also names the packages still running every 30 s; a script that wants only the
# lines above sets this to true.
hide_colcon_progress=false

# Options every building script takes; the rest of the arguments go to colcon.
flavour=""
compiler="gcc"
humble_dir=""
colcon_args=()
parse_build_options() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --sanitize)
        require_option_value "$1" "address or thread" "$@" || return; flavour="$2"; shift 2
        case "$flavour" in
          address|thread) ;;
          *) echo "unknown sanitizer '$flavour' (use address or thread)" >&2; return 2 ;;
        esac
        ;;
      --compiler) require_option_value "$1" "gcc or clang" "$@" || return; compiler="$2"; shift 2 ;;
      --humble)
        humble_dir="$(resolve_humble_dir "${2:-}")" || return 2
        shift 2
        ;;
      *) colcon_args+=("$1"); shift ;;
    esac
  done
}

# The absolute path of a folder holding Humble's own tf2, tf2_ros and message_filters sources, or a
# message saying what is missing.
resolve_humble_dir() {
  local dir="$1" pkg
  if [ -z "$dir" ]; then
    echo "--humble needs a folder holding Humble's tf2, tf2_ros and message_filters sources" >&2
    return 2
  fi
  for pkg in tf2 tf2_ros message_filters; do
    if [ ! -f "$dir/$pkg/CMakeLists.txt" ]; then
      echo "--humble $dir: no $pkg/CMakeLists.txt there (expected Humble's tf2, tf2_ros and message_filters)" >&2
      return 2
    fi
  done
  (cd "$dir" && pwd)
}

# Fails (status 2) with a message naming the option and what it takes when no value follows it.
# Usage: require_option_value OPTION EXPECTED "$@" (the arguments from the option on)
require_option_value() {
  local option="$1" expected="$2"
  if [ $# -lt 4 ]; then
    echo "scripts/$(basename "$0"): $option needs a value: $expected" >&2
    return 2
  fi
}

# Answers --help/-h at once, before anything is installed or built: prints the leading comment
# block of the calling script and exits.
exit_with_usage_if_asked() {
  local script="$1" arg; shift
  for arg in "$@"; do
    if [ "$arg" = "--help" ] || [ "$arg" = "-h" ]; then
      sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$script"
      exit 0
    fi
  done
}

# Sets build_base, install_base and the cmake flags for a flavour:
# "" (plain RelWithDebInfo), "address" (ASan + UBSan), "thread" (TSan) or "release" (Release
# without tests, for the benchmarks, in build-bench/), built with the
# compiler given ("gcc", the default, or "clang"; clang builds treat every warning as an error).
# A third argument names a folder of Humble's own tf2, tf2_ros and message_filters, built in place of
# the stand-ins of those names, in build-humble*/ and install-humble*/.
configure_flavour() {
  local flavour="$1" compiler="${2:-gcc}" humble="${3:-}" f=""
  case "$flavour" in
    "")
      build_base="$repo_root/build"; install_base="$repo_root/install"
      flavour_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
      ;;
    address)
      build_base="$repo_root/build-asan"; install_base="$repo_root/install-asan"
      local f="-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer -fno-sanitize-recover=undefined,float-cast-overflow"
      flavour_args=(-DCMAKE_BUILD_TYPE=Debug)
      ;;
    thread)
      build_base="$repo_root/build-tsan"; install_base="$repo_root/install-tsan"
      local f="-fsanitize=thread -fno-omit-frame-pointer"
      flavour_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
      ;;
    release)
      build_base="$repo_root/build-bench"; install_base="$repo_root/install-bench"
      flavour_args=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
      ;;
    *)
      echo "unknown sanitizer '$flavour' (use address or thread)" >&2
      return 2
      ;;
  esac
  if [ -n "$humble" ]; then
    build_base="$repo_root/build-humble${build_base#"$repo_root"/build}"
    install_base="$repo_root/install-humble${install_base#"$repo_root"/install}"
    flavour_args+=("-DQUORVANE_HUMBLE_DIR=$humble")
  fi
  local cflags="$f"
  case "$compiler" in
    gcc) ;;
    clang)
      build_base="$repo_root/build-clang${build_base#"$repo_root"/build}"
      install_base="$repo_root/install-clang${install_base#"$repo_root"/install}"
      cflags="${f:+$f }-Werror"
      flavour_args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
      ;;
    *)
      echo "unknown compiler '$compiler' (use gcc or clang)" >&2
      return 2
      ;;
  esac
  if [ -n "$cflags" ]; then
    flavour_args+=("-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cflags")
  fi
  if [ -n "$f" ]; then
    flavour_args+=("-DCMAKE_EXE_LINKER_FLAGS=$f" "-DCMAKE_SHARED_LINKER_FLAGS=$f"
      "-DCMAKE_MODULE_LINKER_FLAGS=$f")
  fi
  log_base="$build_base/log"
}

# Runs a colcon verb quietly (see quiet_event_handlers); returns colcon's exit status. What colcon
# printed is also kept in "$log_base/<verb>.console.log".
run_colcon() {
  local verb="$1"; shift
  mkdir -p "$log_base"
  local status=0
  local hidden='^Starting >>> '
  if [ "$hide_colcon_progress" = true ]; then hidden="$hidden|^\[Processing: |^$"; fi
  colcon --log-base "$log_base" "$verb" --event-handlers "${quiet_event_handlers[@]}" "$@" 2>&1 \
    | tee "$log_base/$verb.console.log" | grep --line-buffered -v -E "$hidden" \
    || status="${PIPESTATUS[0]}"
  return "$status"
}

# Prints the whole log of every package that failed (or had failing tests) in the last run of a
# colcon verb.
print_failed_logs() {
  local verb="$1" pkg
  for pkg in $(sed -n -e 's/^Failed *<<< *\([^ ]*\).*$/\1/p' \
      -e 's/^Finished *<<< *\([^ ]*\) .*with test failures.*$/\1/p' \
      "$log_base/$verb.console.log" 2>/dev/null); do
    local log="$log_base/latest_$verb/$pkg/stdout_stderr.log"
    if [ -f "$log" ]; then
      echo "----- $verb output of $pkg ($log) -----"
      cat "$log"
    fi
  done
}

# Builds the whole workspace (or the packages colcon's arguments select) for a flavour.
build_workspace() {
  local flavour="$1" compiler="$2" humble="$3"; shift 3
  configure_flavour "$flavour" "$compiler" "$humble"
  cd "$repo_root" || return
  if ! run_colcon build \
    --base-paths src compat \
    --build-base "$build_base" --install-base "$install_base" \
    --parallel-workers "$jobs" \
    "$@" \
    --cmake-args "${cmake_common_args[@]}" "${flavour_args[@]}"; then
    print_failed_logs build
    return 1
  fi
}
