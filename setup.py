"""Builds the extension quorvel._core for `pip install .` and `python3 -m build`.

The library's C++ sources — the layers of tools/layers.txt that the bindings
stand on: the library and every layer it may include (common, readers,
stats, ar, engine, report, pipeline), not the batch driver src/input, the
command line src/cli or src/main.cpp — and python/core.cpp are
compiled with the flags of the CMake build: C++20, -O2, no contraction into
fused multiply-adds, never fast-math, so the package computes the numbers the
batch program prints. The version is the one of CMakeLists.txt's project().
"""
import pathlib
import re

from setuptools import setup

try:
    from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
except ImportError:  # pragma: no cover
    raise SystemExit("building quorvel needs pybind11 for this Python (Debian: apt-get install python3-pybind11, "
                     "and a venv of Debian's /usr/bin/python3 made with --system-site-packages)") from None

ROOT = pathlib.Path(__file__).resolve().parent


def version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*quorvel\s+VERSION\s+([0-9][0-9.]*)", text)
    if not found:
        raise RuntimeError("CMakeLists.txt: no project(quorvel VERSION x.y.z)")
    return found.group(1)


def headers():
    """Every header the sources may include: a change to one rebuilds the extension."""
    return [str(path.relative_to(ROOT)) for folder in ("src", "include") for path in sorted((ROOT / folder).rglob("*.hpp"))]


def library_layers():
    """The folders of src/ that the library's layer and the layers below it hold (tools/layers.txt)."""
    groups, allowed = {}, {}
    for line in (ROOT / "tools" / "layers.txt").read_text(encoding="utf-8").splitlines():
        words = line.split("#", 1)[0].split()
        if len(words) > 2 and words[0] == "group":
            groups[words[1]] = words[2:]
        elif len(words) > 1 and words[0] == "allow":
            allowed[words[1]] = words[2:]
    folders = []
    for group in ["library"] + allowed["library"]:
        for pattern in groups[group]:
            parts = pattern.split("/")
            if parts[0] == "src" and len(parts) == 3 and parts[2] == "*":
                folders.append(parts[1])
    return folders


def sources():
    files = [str(path.relative_to(ROOT)) for layer in library_layers()
             for path in sorted((ROOT / "src" / layer).glob("*.cpp"))]
    return files + ["python/core.cpp"]


# Compiles on every processor (QUORVEL_BUILD_JOBS=n for fewer).
ParallelCompile("QUORVEL_BUILD_JOBS", default=0).install()

core = Pybind11Extension(
    "quorvel._core",
    sources(),
    include_dirs=["src", "include"],
    depends=headers() + ["CMakeLists.txt"],
    define_macros=[("QUORVEL_VERSION", f'"{version()}"')],
    cxx_std=20,
    extra_compile_args=["-O2", "-ffp-contract=off", "-fno-fast-math", "-fno-semantic-interposition", "-pthread"],
    extra_link_args=["-pthread"],
)

# Builds apart from CMake's build/ folder (the egg-info's folder must exist).
(ROOT / "build-python").mkdir(exist_ok=True)

setup(
    version=version(),
    package_dir={"": "python"},
    packages=["quorvel"],
    package_data={"quorvel": ["py.typed", "*.pyi"]},
    include_package_data=False,
    ext_modules=[core],
    cmdclass={"build_ext": build_ext},
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
)
