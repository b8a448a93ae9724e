#!/usr/bin/env python3
"""zumbrel's own command line: --help and --version on standard output without a display,
usage errors on standard error with exit 2 before any window appears, with or without a display
(QApplication aborts with 134 when none can be opened, so they must be found before it starts)."""
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
    usage_errors = ((["--frob"], "unknown option '--frob'"), ([tmp, tmp], "only one folder"),
                    (["-style", "fusion", "--frob"], "unknown option '--frob'"),
                    (["--style=fusion", tmp, "-reverse", tmp], "only one folder"),
                    (["-platform", "offscreen", "-x"], "unknown option '-x'"),
                    (["-reverse=1"], "unknown option '-reverse=1'"),
                    (["-style"], "option '-style' needs a value"))
    for env in (offscreen, headless):
        for args, wanted in usage_errors:
            r = subprocess.run([gui, *args], capture_output=True, env=env, timeout=60)
            if r.returncode != 2 or wanted not in r.stderr.decode() or r.stdout:
                where = "offscreen" if env is offscreen else "no display"
                failures.append(f"{where} {args}: exit {r.returncode}, {r.stdout!r} {r.stderr!r}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
