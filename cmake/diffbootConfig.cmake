# find_package(diffboot CONFIG) gives the target diffboot::diffboot: the
# static library and the headers include/diffboot/*.h. The library reads
# numbers with fast_float (Debian's libfast-float-dev, headers only).
include(CMakeFindDependencyMacro)
find_dependency(FastFloat)
include(${CMAKE_CURRENT_LIST_DIR}/diffbootTargets.cmake)
