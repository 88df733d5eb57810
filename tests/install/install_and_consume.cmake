# Run by ctest: installs BUILD_DIR into PREFIX (emptied first), checks that every installed
# piece is where a user looks for it, and builds and runs the consumer project against it.
cmake_minimum_required(VERSION 3.25)

function(run_step description)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${description} failed (${result}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${PREFIX} ${CONSUMER_BUILD})
run_step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})

# The installed layout.
include(GNUInstallDirs)
file(GLOB_RECURSE libraries LIST_DIRECTORIES false ${PREFIX}/lib*/libtovalin.so)
file(GLOB_RECURSE configs ${PREFIX}/lib*/cmake/tovalin/tovalinConfig.cmake)
foreach(expected include/tovalin/tovalin.h include/tovalin/core.hpp bin/cronel share/man/man1/cronel.1)
  if(NOT EXISTS ${PREFIX}/${expected})
    message(FATAL_ERROR "not installed: ${expected}")
  endif()
endforeach()
if(NOT libraries OR NOT configs)
  message(FATAL_ERROR "library or package configuration not installed under ${PREFIX}")
endif()
get_filename_component(config_dir "${configs}" DIRECTORY)
if(NOT EXISTS ${config_dir}/tovalinConfigVersion.cmake)
  message(FATAL_ERROR "package version file not installed")
endif()
get_filename_component(library_dir "${libraries}" DIRECTORY)

# The Java host kit: the versioned jar with its unversioned link, and the example.
set(jar_dir ${PREFIX}/share/java)
file(READ_SYMLINK ${jar_dir}/tovalin.jar jar_link)
if(NOT EXISTS ${jar_dir}/tovalin-${EXPECTED_VERSION}.jar
   OR NOT jar_link STREQUAL "tovalin-${EXPECTED_VERSION}.jar")
  message(FATAL_ERROR "jar not installed as share/java/tovalin-${EXPECTED_VERSION}.jar "
                      "with the link tovalin.jar (link: '${jar_link}')")
endif()
# The Fortran kit: the module's source always, the compiled module where it was built.
set(fortran_expected include/tovalin/tovalin.f90)
if(FORTRAN_COMPILER)
  list(APPEND fortran_expected include/tovalin/tovalin.mod)
endif()
foreach(expected ${fortran_expected})
  if(NOT EXISTS ${PREFIX}/${expected})
    message(FATAL_ERROR "not installed: ${expected}")
  endif()
endforeach()

# The manual page formats without warnings where a formatter is present.
find_program(GROFF groff)
if(GROFF)
  run_step("manual page" ${GROFF} -man -Tutf8 -ww -z ${PREFIX}/share/man/man1/cronel.1)
endif()

# A consumer project built against the installed tree only.
run_step("consumer configure" ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BUILD}
         -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${PREFIX}
         -DTOVALIN_EXPECTED_VERSION=${EXPECTED_VERSION} -DCONSUMER_WERROR=${WERROR})
run_step("consumer build" ${CMAKE_COMMAND} --build ${CONSUMER_BUILD})
run_step("consumer run" ${CONSUMER_BUILD}/route_consumer)
message(STATUS "${step_output}")

# The example of the C++ API's documentation: its cpp block with main, built against the
# installed tovalin::core and run.
file(READ ${CPP_API_DOC} doc)
string(REGEX MATCH "```cpp\n(//[^`]*int main\\(\\)[^`]*)```" block "${doc}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "no example with main in ${CPP_API_DOC}")
endif()
set(cpp_build ${CONSUMER_BUILD}/cpp-api)
file(WRITE ${cpp_build}/example.cpp "${CMAKE_MATCH_1}")
run_step("C++ API example configure" ${CMAKE_COMMAND} -S ${CPP_CONSUMER_SOURCE} -B ${cpp_build}
         -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${PREFIX} -DEXAMPLE_SOURCE=${cpp_build}/example.cpp
         -DCONSUMER_WERROR=${WERROR})
run_step("C++ API example build" ${CMAKE_COMMAND} --build ${cpp_build})
run_step("C++ API example run" ${cpp_build}/cpp_api_example)
message(STATUS "${step_output}")

# The Java example compiled and run as the README's quick start says, against the
# installed jar and library only.
file(GLOB example ${PREFIX}/share/doc/*/examples/RoutingExample.java)
if(NOT example)
  message(FATAL_ERROR "the Java example is not installed")
endif()
set(classes ${CONSUMER_BUILD}/java-classes)
run_step("Java example compile" ${JAVAC} -cp ${jar_dir}/tovalin.jar -d ${classes} ${example})
run_step("Java example run" ${JAVA} -cp ${jar_dir}/tovalin.jar:${classes}
         -Djava.library.path=${library_dir} RoutingExample)
message(STATUS "${step_output}")

# A Fortran program through the installed module: once through the package's
# tovalin::fortran, once compiled together with the installed module source.
if(FORTRAN_COMPILER)
  set(fortran_build ${CONSUMER_BUILD}/fortran)
  run_step("Fortran consumer configure" ${CMAKE_COMMAND} -S ${FORTRAN_CONSUMER_SOURCE}
           -B ${fortran_build} -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${PREFIX}
           -DCMAKE_Fortran_COMPILER=${FORTRAN_COMPILER})
  run_step("Fortran consumer build" ${CMAKE_COMMAND} --build ${fortran_build})
  run_step("Fortran consumer run" ${fortran_build}/call_module)
  message(STATUS "${step_output}")
  set(source_build ${fortran_build}/from-source)
  file(MAKE_DIRECTORY ${source_build})
  execute_process(COMMAND ${FORTRAN_COMPILER} -o call_module
                          ${PREFIX}/include/tovalin/tovalin.f90
                          ${FORTRAN_CONSUMER_SOURCE}/call_module.f90
                          -L${library_dir} -ltovalin -Wl,-rpath,${library_dir}
                  WORKING_DIRECTORY ${source_build} RESULT_VARIABLE result
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Fortran from the module source failed (${result}):\n${out}\n${err}")
  endif()
  run_step("Fortran from module source run" ${source_build}/call_module)
endif()

# A version the package does not satisfy is refused.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BUILD}-wrong
                -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${PREFIX}
                -DTOVALIN_EXPECTED_VERSION=99.0
                RESULT_VARIABLE wrong_result OUTPUT_QUIET ERROR_QUIET)
file(REMOVE_RECURSE ${CONSUMER_BUILD}-wrong)
if(wrong_result EQUAL 0)
  message(FATAL_ERROR "find_package(tovalin 99.0) was satisfied by ${EXPECTED_VERSION}")
endif()

# The installed cronel runs: one line into a log without extension.
set(log ${PREFIX}/consumer.log)
file(WRITE ${PREFIX}/input.txt "installed cronel\n")
execute_process(COMMAND ${PREFIX}/bin/cronel -q -n -o ${log}
                INPUT_FILE ${PREFIX}/input.txt RESULT_VARIABLE cronel_result
                OUTPUT_QUIET ERROR_VARIABLE cronel_errors)
if(NOT cronel_result EQUAL 0)
  message(FATAL_ERROR "installed cronel failed (${cronel_result}): ${cronel_errors}")
endif()
file(READ ${log} log_text)
if(NOT log_text MATCHES "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]:installed cronel\n")
  message(FATAL_ERROR "installed cronel wrote an unexpected log:\n${log_text}")
endif()
