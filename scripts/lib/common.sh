# Shared settings of the workspace scripts; sourced, not run.
# shellcheck shell=bash

repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# ament_cmake on Debian needs Debian's own interpreter, which carries ament_package.
export PATH="/usr/bin:$PATH"

# Jobs: one per core, unless the caller says otherwise.
jobs="${QUORVANE_JOBS:-$(nproc)}"
export MAKEFLAGS="-j${jobs}"

cmake_common_args=(
  -DPython3_EXECUTABLE=/usr/bin/python3
  --no-warn-unused-cli
  -DBUILD_TESTING=ON
)

# Sets build_base, install_base and the cmake flags for a flavour:
# "" (plain RelWithDebInfo), "address" (ASan + UBSan) or "thread" (TSan).
configure_flavour() {
  local flavour="$1"
  case "$flavour" in
    "")
      build_base="$repo_root/build"; install_base="$repo_root/install"
      flavour_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
      ;;
    address)
      build_base="$repo_root/build-asan"; install_base="$repo_root/install-asan"
      local f="-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer -fno-sanitize-recover=undefined,float-cast-overflow"
      flavour_args=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_C_FLAGS=$f" "-DCMAKE_CXX_FLAGS=$f"
        "-DCMAKE_EXE_LINKER_FLAGS=$f" "-DCMAKE_SHARED_LINKER_FLAGS=$f" "-DCMAKE_MODULE_LINKER_FLAGS=$f")
      ;;
    thread)
      build_base="$repo_root/build-tsan"; install_base="$repo_root/install-tsan"
      local f="-fsanitize=thread -fno-omit-frame-pointer"
      flavour_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS=$f" "-DCMAKE_CXX_FLAGS=$f"
        "-DCMAKE_EXE_LINKER_FLAGS=$f" "-DCMAKE_SHARED_LINKER_FLAGS=$f" "-DCMAKE_MODULE_LINKER_FLAGS=$f")
      ;;
    *)
      echo "unknown sanitizer '$flavour' (use address or thread)" >&2
      return 2
      ;;
  esac
}

# Builds the whole workspace (or the packages named after "--") for a flavour.
build_workspace() {
  local flavour="$1"; shift
  configure_flavour "$flavour"
  cd "$repo_root"
  colcon build \
    --base-paths src compat \
    --build-base "$build_base" --install-base "$install_base" \
    --parallel-workers "$jobs" \
    --event-handlers console_cohesion+ summary+ \
    "$@" \
    --cmake-args "${cmake_common_args[@]}" "${flavour_args[@]}"
}
