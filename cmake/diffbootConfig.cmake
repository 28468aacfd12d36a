# find_package(diffboot CONFIG) gives the target diffboot::diffboot: the
# static library and include/diffboot/diffboot.h.
include(${CMAKE_CURRENT_LIST_DIR}/diffbootTargets.cmake)
