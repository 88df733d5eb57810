# Part of tovalin's package: tovalin::network (the network engine, a static library) and what
# it links, oneTBB and NetCDF, found the way the build found them.
#   target_link_libraries(app PRIVATE tovalin::network)   # #include <network/engine.h>
include(CMakeFindDependencyMacro)
find_dependency(TBB CONFIG)
find_dependency(PkgConfig)
pkg_check_modules(NETCDF QUIET IMPORTED_TARGET netcdf)
if(NOT NETCDF_FOUND)
  set(${CMAKE_FIND_PACKAGE_NAME}_FOUND FALSE)
  set(${CMAKE_FIND_PACKAGE_NAME}_NOT_FOUND_MESSAGE "tovalin::network needs NetCDF (pkg-config netcdf)")
  return()
endif()
include("${CMAKE_CURRENT_LIST_DIR}/tovalinNetworkTargets.cmake")
