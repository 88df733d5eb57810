# Install rules of the product: the shared library and its public C header, the C++ API
# (static library tovalin::core and its headers), the cronel program and its manual page,
# and a CMake package (tovalinConfig.cmake, its version file and the exported targets
# tovalin::tovalin, tovalin::core and tovalin::cronel) so that another project can
# find_package(tovalin). The version is the project's, defined once in project().
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOVALIN_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tovalin
    CACHE STRING "Where the CMake package files of tovalin are installed")

set_target_properties(tovalin PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})

install(TARGETS tovalin EXPORT tovalinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tovalin/tovalin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tovalin COMPONENT development)
install(TARGETS tovalin_core EXPORT tovalinTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
file(GLOB _tovalin_api_headers ${PROJECT_SOURCE_DIR}/include/tovalin/*.hpp)
install(FILES ${_tovalin_api_headers}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tovalin COMPONENT development)

if(TARGET cronel)
  install(TARGETS cronel EXPORT tovalinTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/man/cronel.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
endif()

# The Java host classes where Java users look for them: share/java/tovalin-<version>.jar and
# the link tovalin.jar beside it; the package names the jar in TOVALIN_JAR.
set(TOVALIN_INSTALL_JAVADIR ${CMAKE_INSTALL_DATADIR}/java
    CACHE STRING "Where the jar of the Java host classes is installed")
if(TARGET tovalin_host)
  get_target_property(_tovalin_host_jar tovalin_host JAR_FILE)
  install(FILES ${_tovalin_host_jar} DESTINATION ${TOVALIN_INSTALL_JAVADIR}
    RENAME tovalin-${PROJECT_VERSION}.jar COMPONENT runtime)
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
  file(CREATE_LINK tovalin-${PROJECT_VERSION}.jar ${PROJECT_BINARY_DIR}/package/tovalin.jar
    SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/package/tovalin.jar DESTINATION ${TOVALIN_INSTALL_JAVADIR}
    COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/java/example/RoutingExample.java
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT development)
endif()

# The Fortran module: its source always, beside the C header; the compiled module and its
# library (tovalin::fortran) where a Fortran compiler built them.
install(FILES ${PROJECT_SOURCE_DIR}/include/tovalin/tovalin.f90
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tovalin COMPONENT development)
if(TARGET tovalin_fortran)
  install(TARGETS tovalin_fortran EXPORT tovalinTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  get_target_property(_tovalin_module_dir tovalin_fortran Fortran_MODULE_DIRECTORY)
  install(FILES ${_tovalin_module_dir}/tovalin.mod
    DESTINATION ${TOVALIN_INSTALL_FORTRAN_MODDIR} COMPONENT development)
endif()

install(EXPORT tovalinTargets
  NAMESPACE tovalin::
  FILE tovalinTargets.cmake
  DESTINATION ${TOVALIN_INSTALL_CMAKEDIR}
  COMPONENT development)

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/tovalinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/tovalinConfig.cmake
  INSTALL_DESTINATION ${TOVALIN_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR TOVALIN_INSTALL_JAVADIR)
# Before 1.0 a minor release may change the interface: only the same major.minor matches.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/package/tovalinConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/tovalinConfig.cmake
  ${PROJECT_BINARY_DIR}/package/tovalinConfigVersion.cmake
  DESTINATION ${TOVALIN_INSTALL_CMAKEDIR}
  COMPONENT development)
