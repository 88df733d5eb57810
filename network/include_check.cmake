# Fails when a file of network/ (FOLDER) includes a path under hydro/: the engine builds on
# the C++ API (include/tovalin/) alone.
file(GLOB_RECURSE _files ${FOLDER}/*.h ${FOLDER}/*.hpp ${FOLDER}/*.cpp)
set(_found "")
foreach(_file IN LISTS _files)
  file(STRINGS ${_file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*hydro/")
  foreach(_line IN LISTS _lines)
    string(APPEND _found "\n  ${_file}: ${_line}")
  endforeach()
endforeach()
if(_found)
  message(FATAL_ERROR "network/ includes the core's internals (use include/tovalin/):${_found}")
endif()
