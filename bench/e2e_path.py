# Imported first by the benchmarks that drive the game through the real-screen harness: puts e2e/ on the
# import path, after installing the one package its modules import (python3-xlib), as that must be in before
# they are imported.
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def ensure_packages(*names):
    """Installs those of the Debian packages that are missing when run as root; otherwise names them and fails."""
    script = '. "$0/scripts/ensure-packages.sh" && ensure_packages "$@"'
    subprocess.run(["bash", "-c", script, ROOT, *names], check=True)


ensure_packages("python3-xlib")
sys.path.insert(0, os.path.join(ROOT, "e2e"))
