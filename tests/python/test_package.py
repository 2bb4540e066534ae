"""The package as a user gets it: its version and files, its types under
`mypy --strict`, its docstrings' examples, and the snippets of
docs/python.md and the README, run as written."""
import contextlib
import doctest
import importlib
import io
import os
import pathlib
import re
import subprocess
import sys
import typing

import pytest

import quorvel
from conftest import SOURCE

PACKAGE = pathlib.Path(quorvel.__file__).parent


def test_version_is_the_projects():
    project = re.search(r"project\(\s*quorvel\s+VERSION\s+([0-9.]+)", (SOURCE / "CMakeLists.txt").read_text())
    assert quorvel.__version__ == project.group(1)
    if os.environ.get("QUORVEL_INSTALLED"):  # CI: the tests run against the package pip installed
        from importlib import metadata
        assert "site-packages" in str(PACKAGE) and metadata.version("quorvel") == quorvel.__version__
        assert metadata.metadata("quorvel")["Summary"].startswith("Trispectrum tests")


def test_the_package_ships_its_types():
    assert (PACKAGE / "py.typed").is_file() and (PACKAGE / "_core.pyi").is_file()
    hints = typing.get_type_hints(quorvel.Result)
    assert set(hints) == set(quorvel.Result.__dataclass_fields__)  # every field typed
    assert hints["tests"] == typing.List[quorvel.TestResult] and hints["seed"] == typing.Optional[int]
    assert set(quorvel.__all__) >= {"analyse", "analyse_many", "plot", "Result", "TestResult", "RunWarning"}


def test_mypy_strict_accepts_a_typed_user_script(tmp_path):
    pytest.importorskip("mypy")
    env = dict(os.environ)
    env.pop("MYPYPATH", None)
    run_env = dict(env, MPLBACKEND="Agg")
    if "-packages" not in str(PACKAGE):
        # A build tree: mypy finds it on MYPYPATH and checks it as the script's
        # own code (on PYTHONPATH it would take it for an installed package,
        # whose errors it does not report).
        env.pop("PYTHONPATH", None)
        env["MYPYPATH"] = run_env["PYTHONPATH"] = str(PACKAGE.parent)
    done = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(tmp_path / "cache"),
                           "--python-executable", sys.executable, str(SOURCE / "tests" / "python" / "typed_user.py")],
                          capture_output=True, text=True, env=env, cwd=tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr
    # The script runs, too.
    ran = subprocess.run([sys.executable, str(SOURCE / "tests" / "python" / "typed_user.py")], capture_output=True,
                         text=True, cwd=tmp_path, env=run_env)
    assert ran.returncode == 0, ran.stderr


def test_the_docstrings_examples_run():
    pytest.importorskip("matplotlib")
    import matplotlib
    matplotlib.use("Agg")
    failed = 0
    for name in ("quorvel", "quorvel._result", "quorvel._plot"):
        result = doctest.testmod(importlib.import_module(name), optionflags=doctest.ELLIPSIS)
        failed += result.failed
    assert failed == 0


FENCE = re.compile(r"^```(\w+)\n(.*?)^```\n", re.S | re.M)


def lines_of(text):
    lines = [line.rstrip() for line in text.expandtabs().splitlines()]
    while lines and not lines[0]:
        lines.pop(0)
    while lines and not lines[-1]:
        lines.pop()
    return lines


def run_page(page, tmp_path, monkeypatch):
    """Runs a page's python blocks in order in one namespace, from a folder that
    sees the repository's examples; checks each `# -> text` and each text block
    that follows a python block."""
    pytest.importorskip("matplotlib")
    monkeypatch.chdir(tmp_path)
    (tmp_path / "examples").symlink_to(SOURCE / "examples")
    monkeypatch.setenv("MPLBACKEND", "Agg")
    text = page.read_text()
    blocks = list(FENCE.finditer(text))
    namespace = {"__name__": "__snippets__"}
    ran = 0
    for i, block in enumerate(blocks):
        if block.group(1) != "python":
            continue
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            exec(compile(block.group(2), f"{page.name} block {i}", "exec"), namespace)
        ran += 1
        for expected in re.findall(r"# -> (.*)$", block.group(2), re.M):
            assert expected.strip() in out.getvalue(), f"{page.name} block {i}: {expected!r} not printed"
        following = blocks[i + 1] if i + 1 < len(blocks) else None
        if following and following.group(1) == "text" and not text[block.end():following.start()].strip():
            assert lines_of(out.getvalue()) == lines_of(following.group(2)), f"{page.name} block {i}"
    return ran


def test_docs_python_page_runs_as_written(tmp_path, monkeypatch):
    pytest.importorskip("distributed")
    assert run_page(SOURCE / "docs" / "python.md", tmp_path, monkeypatch) >= 10


def test_readme_python_snippet_runs(tmp_path, monkeypatch):
    assert run_page(SOURCE / "README.md", tmp_path, monkeypatch) >= 1
