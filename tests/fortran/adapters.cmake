# A Fortran program that calls the library's adapters as any Fortran caller links them:
# arguments by reference, hidden text lengths at the end, default name mangling (one trailing
# underscore on lower-case names) and bind(C) names for the mixed-case adapter. It exits
# non-zero when a result differs from the expected one.
add_executable(call_adapters_fortran ${CMAKE_CURRENT_SOURCE_DIR}/call_adapters.f90)
target_link_libraries(call_adapters_fortran PRIVATE tovalin)
set_target_properties(call_adapters_fortran PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  LINKER_LANGUAGE Fortran)
add_test(NAME fortran.call_adapters COMMAND call_adapters_fortran)
set_tests_properties(fortran.call_adapters PROPERTIES LABELS "fortran")
