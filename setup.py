"""Builds and installs the Python module tovalin from a checkout (`pip install .`).

setuptools drives the project's CMake with TOVALIN_PYTHON_ONLY: the computing core, the
extension modules and, where NetCDF and oneTBB are found, the network engine's module; no JDK,
shared library, tests or benchmarks. It needs CMake (3.25 or later), a C++20 compiler,
pybind11 (found by CMake) and this Python's development files; numpy at run time. Set
CMAKE_BUILD_PARALLEL_LEVEL to choose the number of compile jobs (default: every core).
"""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(tovalin VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    """The package's compiled part, built by CMake rather than by setuptools."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        # The package tree setuptools installs from: the extension's own directory's parent.
        target = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DTOVALIN_PYTHON_ONLY=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DTOVALIN_INSTALL_PYTHONDIR=.",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "python-package",
                        "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build), "--component", "python",
                        "--prefix", str(target)], check=True)


setup(
    name="tovalin",
    version=version(),
    description="Hydrologic channel routing (Muskingum, Muskingum-Cunge, modified Puls) "
                "of reaches and river networks, on numpy arrays",
    long_description=(ROOT / "python" / "README.md").read_text(),
    long_description_content_type="text/markdown",
    python_requires=">=3.9",
    install_requires=["numpy"],
    packages=["tovalin"],
    package_dir={"": "python"},
    ext_modules=[CMakeExtension("tovalin._tovalin")],
    cmdclass={"build_ext": CMakeBuild},
    # setuptools' own work goes beside the CMake build trees, not into build/.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
    zip_safe=False,
)
