"""How long `pip install .` takes the first time and again with nothing
changed, each in pip's own isolated build environment. Prints the two times;
asserts nothing.

    python bench/install_time.py [--jobs 2] [--keep-build]

It installs into a new virtual environment in a temporary folder and builds
in the checkout's build/<wheel tag> folder as a user's install does. Without
--keep-build that folder is removed first, so the first install compiles
everything. Each full compile takes minutes.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def install(python: pathlib.Path, jobs: int) -> float:
    env = {**os.environ, "CMAKE_BUILD_PARALLEL_LEVEL": str(jobs)}
    started = time.perf_counter()
    subprocess.run([str(python), "-m", "pip", "install", "--quiet", "."], cwd=ROOT, env=env, check=True)
    return time.perf_counter() - started


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jobs", type=int, default=2, help="CMAKE_BUILD_PARALLEL_LEVEL (default 2)")
    parser.add_argument("--keep-build", action="store_true", help="keep build/ (the first install may be quick)")
    args = parser.parse_args()
    if not args.keep_build:
        for folder in (ROOT / "build").glob("*abi3*"):
            shutil.rmtree(folder)
    with tempfile.TemporaryDirectory() as work:
        venv = pathlib.Path(work) / "venv"
        subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
        python = venv / "bin" / "python"
        first = install(python, args.jobs)
        second = install(python, args.jobs)
    print(f"first pip install .   {first:7.1f} s")
    print(f"second pip install .  {second:7.1f} s  (nothing changed)")


if __name__ == "__main__":
    main()
