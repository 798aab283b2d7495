# Dependants get PCL's common module (headers, Eigen and libpcl_common) with this package.
find_package(PCL REQUIRED COMPONENTS common)
