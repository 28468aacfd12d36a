"""The module _core for pip: the library's sources compiled with the flags
of the project's CMake build (C++20, no contraction, no fast math), so that
its numbers are the program's."""

import os
import pathlib

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
if not (ROOT / "src" / "api" / "analyse.cpp").exists():
    raise SystemExit("build from the diffboot source tree: pip install ./python")

PARTS = ("api", "analysis", "bootstrap", "numeric", "poisson")
# Relative to this folder: setuptools refuses absolute source paths.
sources = ["diffboot/_core/module.cpp"] + sorted(
    os.path.relpath(p, HERE) for part in PARTS for p in (ROOT / "src" / part).glob("*.cpp"))

setup(
    ext_modules=[Pybind11Extension(
        "diffboot._core", sources, cxx_std=20,
        include_dirs=[str(ROOT / "include"), str(ROOT / "src")],
        extra_compile_args=["-ffp-contract=off", "-fno-fast-math", "-O2"])],
    cmdclass={"build_ext": build_ext},
)
