# Whether the Python module can be built here, for the option TOVALIN_PYTHON: a Python
# interpreter with its development files and numpy, and pybind11. The Python is the one named
# by Python3_EXECUTABLE; else, outside a virtual environment, the system's /usr/bin/python3
# rather than a per-user shim first on the PATH (as the cronel tests choose); else whatever
# FindPython3 finds. Sets TOVALIN_PYTHON_DEFAULT; the module stays off under the sanitizers (a
# plain interpreter cannot load such a module) and when the project is added to another one
# (as tests and benchmarks are).
set(TOVALIN_PYTHON_DEFAULT OFF)
if(NOT Python3_EXECUTABLE AND NOT DEFINED ENV{VIRTUAL_ENV} AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 QUIET COMPONENTS Interpreter Development.Module)
if(Python3_FOUND)
  # pybind11 finds the same Python through FindPython once Python3 has been found.
  find_package(pybind11 2.6 CONFIG QUIET)
  execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy"
                  RESULT_VARIABLE _tovalin_numpy OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT Python3_FOUND)
  set(_tovalin_python_why "no Python interpreter with its development files")
elseif(NOT pybind11_FOUND)
  set(_tovalin_python_why "pybind11 not found")
elseif(NOT _tovalin_numpy EQUAL 0)
  set(_tovalin_python_why "${Python3_EXECUTABLE} has no numpy; name another with -DPython3_EXECUTABLE=")
elseif(TOVALIN_SANITIZE)
  set(_tovalin_python_why "a sanitizer build")
elseif(NOT PROJECT_IS_TOP_LEVEL)
  set(_tovalin_python_why "added to another project")
else()
  set(TOVALIN_PYTHON_DEFAULT ON)
  set(_tovalin_python_why "")
endif()
set(TOVALIN_PYTHON_WHY_NOT "${_tovalin_python_why}")
