"""The build of pip install .: the module _kelvora is the CMake build's target kelvora_python (one build
for every front end), configured without the window, the tests and the benchmarks; CMAKE_ARGS adds
options (a compiler launcher, say)."""

import os
import pathlib
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release", "-DKELVORA_GUI=OFF",
                        "-DKELVORA_TESTS=OFF", "-DKELVORA_BENCH=OFF", f"-DPython_EXECUTABLE={sys.executable}",
                        *shlex.split(os.environ.get("CMAKE_ARGS", ""))], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "kelvora_python", "-j", str(os.cpu_count() or 1)],
                       check=True)
        built = next((build / "python" / "kelvora").glob("_kelvora*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(ext_modules=[Extension("kelvora._kelvora", sources=[])], cmdclass={"build_ext": CMakeBuild})
