import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def cli():
    """Runs kelvora-cli (the build's, or $KELVORA_CLI) with the given arguments, checked."""
    path = os.environ.get("KELVORA_CLI") or str(ROOT / "build" / "cli" / "kelvora-cli")

    def run(*args, cwd=None):
        return subprocess.run([path, *map(str, args)], cwd=cwd, check=True, capture_output=True, text=True).stdout

    return run
