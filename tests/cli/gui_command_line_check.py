#!/usr/bin/env python3
"""zumbrel's own command line: --help and --version on standard output without a display,
usage errors on standard error with exit 2 before any window appears."""
import os
import subprocess
import sys
import tempfile

gui = sys.argv[1]
failures = []

with tempfile.TemporaryDirectory() as tmp:
    base = dict(os.environ, LC_ALL="C.UTF-8", XDG_CONFIG_HOME=tmp, XDG_RUNTIME_DIR=tmp)
    base.pop("LANGUAGE", None)
    headless = {k: v for k, v in base.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    for args, wanted in ((["--help"], "Usage: zumbrel"), (["-h"], "--version"), (["--version"], "zumbrel "),
                         (["-V"], "zumbrel ")):
        r = subprocess.run([gui, *args], capture_output=True, env=headless, timeout=60)
        if r.returncode != 0 or wanted not in r.stdout.decode():
            failures.append(f"{args}: exit {r.returncode}, {r.stdout!r} {r.stderr!r}")
    offscreen = dict(base, QT_QPA_PLATFORM="offscreen")
    for args, wanted in ((["--frob"], "unknown option '--frob'"), ([tmp, tmp], "only one folder"),
                         (["-style", "fusion", "--frob"], "unknown option '--frob'")):
        r = subprocess.run([gui, *args], capture_output=True, env=offscreen, timeout=60)
        if r.returncode != 2 or wanted not in r.stderr.decode() or r.stdout:
            failures.append(f"{args}: exit {r.returncode}, {r.stdout!r} {r.stderr!r}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
