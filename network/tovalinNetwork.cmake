# Part of tovalin's package: tovalin::network (the network engine, a static library) and what
# it links, oneTBB and NetCDF. Where the consumer's machine lacks either, the package is found
# all the same, without tovalin::network.
#   if(TARGET tovalin::network)
#     target_link_libraries(app PRIVATE tovalin::network)   # #include <network/engine.h>
find_package(TBB QUIET CONFIG)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(NETCDF QUIET IMPORTED_TARGET netcdf)
endif()
if(TBB_FOUND AND NETCDF_FOUND)
  include("${CMAKE_CURRENT_LIST_DIR}/tovalinNetworkTargets.cmake")
elseif(NOT ${CMAKE_FIND_PACKAGE_NAME}_FIND_QUIETLY)
  message(STATUS "tovalin: tovalin::network left out (it needs oneTBB and NetCDF)")
endif()
