"""The package for pip: the module _core comes from the project's own CMake
build, in Release (-O3 and link-time optimisation, no contraction, no fast
math), the program's flags, so that its numbers are the program's.

In the source tree (pip install ./python) the library's sources are the
tree's; an sdist made there carries them in engine/ (the top-level
CMakeLists.txt, cmake/, include/ and src/), so it builds anywhere.
CMAKE_ARGS adds arguments to CMake's (-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)."""

import os
import pathlib
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.sdist import sdist

HERE = pathlib.Path(__file__).resolve().parent
# What of the source tree an sdist carries in engine/.
ENGINE_PARTS = ("CMakeLists.txt", "cmake", "include", "src")


def engine_source():
    """The top-level source folder: an sdist's engine/, else the tree's."""
    for root in (HERE / "engine", HERE.parent):
        if (root / "CMakeLists.txt").is_file() and (root / "src" / "api").is_dir():
            return root
    raise SystemExit("diffboot: the library's sources are missing; build from the "
                     "source tree (pip install ./python) or from an sdist made there")


class BuildWithCMake(build_ext):
    """Configures the library's parts and the module only (no program) and
    copies the module where setuptools puts extensions."""

    def build_extension(self, ext):
        cmake = shutil.which("cmake")
        if cmake is None:
            raise SystemExit("diffboot: cmake not found (Debian: apt-get install cmake)")
        import pybind11

        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        # Warnings do not stop a user's build: their compiler may warn where
        # ours does not; the project's own builds keep -Werror.
        configure = [cmake, "-S", str(engine_source()), "-B", str(build),
                     "-DCMAKE_BUILD_TYPE=Release", "-DDIFFBOOT_PROGRAM=OFF",
                     "-DDIFFBOOT_PYTHON=ON", "-DDIFFBOOT_WERROR=OFF",
                     f"-DDIFFBOOT_PYTHON_SOURCE={HERE}",
                     f"-DDIFFBOOT_PYTHON_INTERPRETER={sys.executable}",
                     f"-Dpybind11_DIR={pybind11.get_cmake_dir()}"]
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        compile_ = [cmake, "--build", str(build), "--target", "diffboot_python"]
        if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
            compile_ += ["-j", str(self.parallel or os.cpu_count() or 1)]
        subprocess.run(compile_, check=True)

        built = sorted((build / "python" / "diffboot").glob("_core.*"))
        if len(built) != 1:
            raise SystemExit(f"diffboot: expected one module _core in {build}/python/diffboot, found {len(built)}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


class SdistWithEngine(sdist):
    """The package's files, the library's sources in engine/ and the licence."""

    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        root = engine_source()
        engine = pathlib.Path(base_dir) / "engine"
        skip = shutil.ignore_patterns("__pycache__", "*.o", "*.so", "build")
        for part in ENGINE_PARTS:
            source = root / part
            if source.is_dir():
                shutil.copytree(source, engine / part, ignore=skip, dirs_exist_ok=True)
            else:
                engine.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(source, engine / part)
        for licence in (HERE / "LICENSE", root / "LICENSE", HERE.parent / "LICENSE"):
            if licence.is_file():
                shutil.copyfile(licence, pathlib.Path(base_dir) / "LICENSE")
                break


setup(
    ext_modules=[Extension("diffboot._core", sources=[])],
    cmdclass={"build_ext": BuildWithCMake, "sdist": SdistWithEngine},
)
