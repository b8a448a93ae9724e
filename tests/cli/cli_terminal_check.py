#!/usr/bin/env python3
"""zumbrel-cli as a command line tool: the progress line on a terminal's standard error
(erased before the results) and nowhere else, Ctrl+C stopping a scan with exit 130 and the
output file untouched, --help and --version on standard output, named argument errors with
exit 2, failing roots and write errors with exit 1, and the escaped path= line."""
import fcntl
import os
import pty
import struct
import termios
import select
import signal
import subprocess
import sys
import tempfile
import time

cli = sys.argv[1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def environment(tmp, **extra):
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8", TERM="xterm", XDG_CONFIG_HOME=os.path.join(tmp, "config"))
    env.pop("LANGUAGE", None)
    env.update(extra)
    return env


def make_tree(base, folders=40, files=500):
    """20,000 files: a scan that lasts long enough to be watched and interrupted."""
    for d in range(folders):
        folder = os.path.join(base, f"d{d:03}")
        os.makedirs(folder)
        for f in range(files):
            open(os.path.join(folder, f"f{f:04}"), "wb").close()


def run_on_terminal(args, env, on_first_output=None, columns=100, stdout_too=False):
    """Runs with standard error (and with `stdout_too` standard output) on a pseudo-terminal
    of `columns` columns, standard output otherwise on a pipe; returns (exit code, stdout
    bytes, terminal bytes)."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    proc = subprocess.Popen([cli, *args], stdout=slave if stdout_too else subprocess.PIPE, stderr=slave, env=env)
    os.close(slave)
    seen = b""
    fired = False
    while True:
        ready, _, _ = select.select([master], [], [], 20)
        if not ready:
            break
        try:
            chunk = os.read(master, 65536)
        except OSError:
            break
        if not chunk:
            break
        seen += chunk
        if on_first_output and not fired and b"entries" in seen:
            fired = True
            on_first_output(proc)
    out = proc.stdout.read() if proc.stdout else b""
    code = proc.wait(timeout=60)
    os.close(master)
    return code, out, seen


def check_progress(tmp, tree):
    env = environment(tmp, ZUMBREL_PROGRESS_DELAY_MS="0")
    code, out, term = run_on_terminal(["scan", tree], env)
    check(code == 0, f"scan on a terminal: exit {code}")
    check(b"entries" in term and b"entries/s" in term, f"no progress line on the terminal: {term[-300:]!r}")
    check(term.endswith(b"\r\x1b[K"), f"the progress line was not erased at the end: {term[-80:]!r}")
    check(b"files=20000" in out and b"entries" not in out, f"results on standard output: {out!r}")
    # Not on a pipe, and not with --quiet.
    piped = subprocess.run([cli, "scan", tree], capture_output=True, env=env)
    check(b"entries" not in piped.stderr and b"\x1b" not in piped.stderr, f"progress on a pipe: {piped.stderr!r}")
    code, out, term = run_on_terminal(["scan", "--quiet", tree], env)
    check(b"entries" not in term and code == 0, f"progress despite --quiet: {term!r}")
    # A narrow terminal gets a shortened line that never wraps, the folder cut at its front.
    # The small tree is scanned before the line is drawn a second time, so this reads the
    # system's /usr with one thread: long folder names, and time for several redraws.
    for _ in range(5):
        code, out, term = run_on_terminal(["scan", "--threads", "1", "/usr"], env, columns=60)
        drawn = [line for line in term.split(b"\r\x1b[K") if b"entries" in line]
        check(drawn and all(len(line.decode()) <= 57 for line in drawn), f"lines wider than the terminal: {drawn}")
        if any("\u2026" in line.decode() for line in drawn):
            break
    check(any("\u2026" in line.decode() for line in drawn), f"no shortened folder: {drawn}")
    # A dumb terminal (an editor's shell buffer) shows control sequences as text: the line is
    # erased by overwriting it with spaces.
    code, out, term = run_on_terminal(["scan", tree], dict(env, TERM="dumb"))
    check(code == 0 and b"entries" in term and b"\x1b" not in term, f"control sequences on a dumb terminal: {term[-200:]!r}")
    last = term.rsplit(b"\r", 2)
    check(len(last) == 3 and last[2] == b"" and last[1].strip(b" ") == b"" and len(last[1]) > 20,
          f"the progress line was not blanked on a dumb terminal: {term[-120:]!r}")


def check_colour(tmp, tree):
    """The report has colours on a terminal only, and never with NO_COLOR."""
    env = environment(tmp)
    env.pop("NO_COLOR", None)
    code, _, term = run_on_terminal(["report", "--quiet", tree], env, stdout_too=True)
    check(code == 0 and b"\x1b[1;34m" in term, f"no colours on a terminal: {term[:200]!r}")
    code, _, term = run_on_terminal(["report", "--quiet", tree], dict(env, NO_COLOR="1"), stdout_too=True)
    check(code == 0 and b"\x1b[" not in term, f"colours despite NO_COLOR: {term[:200]!r}")
    code, _, term = run_on_terminal(["report", "--quiet", tree], dict(env, TERM="dumb"), stdout_too=True)
    check(code == 0 and b"\x1b[" not in term, f"colours on a dumb terminal: {term[:200]!r}")


def check_interrupt(tmp, tree):
    """SIGINT while the scan runs: exit 130, the old output file as it was, nothing left over.
    The process is frozen while the signal is queued, so that the scan cannot finish first."""
    out_dir = os.path.join(tmp, "out")
    os.makedirs(out_dir)
    target = os.path.join(out_dir, "result.xml")
    with open(target, "w") as f:
        f.write("old content\n")

    def interrupt(proc):
        os.kill(proc.pid, signal.SIGSTOP)
        os.kill(proc.pid, signal.SIGINT)
        os.kill(proc.pid, signal.SIGCONT)

    env = environment(tmp, ZUMBREL_PROGRESS_DELAY_MS="0")
    started = time.monotonic()
    code, out, term = run_on_terminal(["export", "--format", "xml", "--output", target, tree], env, interrupt)
    check(code == 130, f"Ctrl+C: exit {code}, terminal {term[-200:]!r}")
    check(time.monotonic() - started < 10, "Ctrl+C did not stop promptly")
    check(open(target).read() == "old content\n", "the output file changed")
    check(os.listdir(out_dir) == ["result.xml"], f"left over: {os.listdir(out_dir)}")
    check(term.endswith(b"\r\x1b[K"), f"the progress line stayed: {term[-80:]!r}")


def check_messages(tmp, tree):
    env = environment(tmp)
    cases = [
        # arguments, exit code, text on standard error
        (["export", "--format", "foo", tree], 2, "unknown format 'foo' (csv, txt, html, xml, xml2, ncdu)"),
        (["scan", "--group-size", "12k", tree], 2, "--group-size needs a number of bytes"),
        (["report", "--top", "0", tree], 2, "--top needs a number of entries from 1"),
        (["report", "--depth", "x", tree], 2, "--depth needs a number of levels"),
        (["export", "--rounding", "up", "--format", "csv", tree], 2, "unknown rounding 'up'"),
        (["scan", "--frob", tree], 2, "unknown option '--frob'"),
        (["scan", "--quiet=yes", tree], 2, "--quiet takes no value"),
        (["report", "--top", tree], 2, "--top needs a number of entries"),
        (["scan", tree, tree], 2, "only one folder"),
        (["scan"], 2, "no folder given"),
        (["frob"], 2, "unknown command 'frob'"),
        ([], 2, "no command given"),
        (["scan", os.path.join(tree, "d000", "f0000")], 1, "f0000: Not a directory"),
        (["scan", os.path.join(tmp, "missing")], 1, "missing: No such file or directory"),
    ]
    for args, code, text in cases:
        r = subprocess.run([cli, *args], capture_output=True, env=env)
        check(r.returncode == code, f"{args}: exit {r.returncode}, wanted {code}")
        check(text in r.stderr.decode(), f"{args}: {text!r} not in {r.stderr.decode()!r}")
        check(r.stdout == b"", f"{args}: standard output {r.stdout!r}")
    for args in (["--help"], ["-h"], ["report", "--help"]):
        r = subprocess.run([cli, *args], capture_output=True, env=env)
        text = r.stdout.decode()
        check(r.returncode == 0 and "zumbrel-cli [report]" in text and "\\xNN" in text, f"{args}: {r}")
    for args in (["--version"], ["-V"]):
        r = subprocess.run([cli, *args], capture_output=True, env=env)
        check(r.returncode == 0 and r.stdout.decode().startswith("zumbrel-cli "), f"{args}: {r}")
    # A write error on standard output is named.
    with open("/dev/full", "wb") as full:
        r = subprocess.run([cli, "scan", tree], stdout=full, stderr=subprocess.PIPE, env=env)
    check(r.returncode == 1 and b"standard output: No space left on device" in r.stderr, f"/dev/full: {r}")
    # A closed standard output stays an error; no file opened later takes its place.
    r = subprocess.run(["sh", "-c", '"$0" "$@" >&-', cli, "scan", tree], capture_output=True, env=env)
    check(r.returncode == 1 and b"standard output: Bad file descriptor" in r.stderr, f"closed output: {r}")


def check_path_line(tmp):
    """A folder name cannot forge a line of the key=value output."""
    base = os.path.join(tmp.encode(), b"evil\nfiles=999\t\\\xff")
    os.makedirs(base)
    r = subprocess.run([cli, "scan", base], capture_output=True, env=environment(tmp))
    lines = r.stdout.split(b"\n")
    check(lines[0] == b"path=" + tmp.encode() + b"/evil\\nfiles=999\\t\\\\\\xff", f"path line {lines[0]!r}")
    check([l.split(b"=")[0] for l in lines if l] == [b"path", b"files", b"directories", b"bytes", b"errors", b"seconds"],
          f"lines {lines}")


def check_export_on_terminal(tmp):
    """An export shown on a terminal has the control characters of names escaped, so that a
    planted name cannot set the window title; piped, the data stays byte for byte."""
    base = os.path.join(tmp, "planted")
    names = [b"title\x1b]0;owned\x07", b"csi\xc2\x9b2J", b"del\x7f", "caf\u00e9 \u6f22".encode()]
    for name in names:
        os.makedirs(os.path.join(base.encode(), name))
    env = environment(tmp)
    code, _, term = run_on_terminal(["export", "--quiet", "--format", "csv", base], env, stdout_too=True)
    check(code == 0, f"export on a terminal: exit {code}")
    for raw, shown in zip(names, [b"title\\x1b]0;owned\\x07", b"csi\\xc2\\x9b2J", b"del\\x7f", names[3]]):
        check((raw == shown or raw not in term) and shown in term, f"{raw!r} shown as {term!r}")
    piped = subprocess.run([cli, "export", "--format", "csv", base], capture_output=True, env=env)
    check(piped.returncode == 0 and all(name in piped.stdout for name in names), f"piped export changed: {piped}")


def as_nobody(cmd):
    return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", *cmd]


def check_unreadable_root(tmp):
    """An unreadable root fails; an unreadable folder below it only counts."""
    base = os.path.join(tmp, "perm")
    os.makedirs(os.path.join(base, "locked"))
    os.makedirs(os.path.join(base, "open", "closed"))
    os.chmod(base, 0o755)
    os.chmod(os.path.join(base, "open"), 0o755)
    os.chmod(os.path.join(base, "locked"), 0)
    os.chmod(os.path.join(base, "open", "closed"), 0)
    env = environment(tmp)
    try:
        if os.geteuid() == 0:
            wrap = as_nobody
        else:
            wrap = lambda c: c
        r = subprocess.run(wrap([cli, "scan", os.path.join(base, "locked")]), capture_output=True, env=env)
        check(r.returncode == 1 and b"locked: Permission denied" in r.stderr and r.stdout == b"", f"locked root: {r}")
        r = subprocess.run(wrap([cli, "export", "--format", "csv", os.path.join(base, "locked")]),
                           capture_output=True, env=env)
        check(r.returncode == 1 and r.stdout == b"", f"locked root export: {r}")
        r = subprocess.run(wrap([cli, "scan", os.path.join(base, "open")]), capture_output=True, env=env)
        check(r.returncode == 0 and b"errors=1" in r.stdout, f"locked folder below the root: {r}")
    finally:
        os.chmod(os.path.join(base, "locked"), 0o755)
        os.chmod(os.path.join(base, "open", "closed"), 0o755)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        os.chmod(tmp, 0o755)
        os.makedirs(os.path.join(tmp, "config"))
        tree = os.path.join(tmp, "tree")
        make_tree(tree)
        check_progress(tmp, tree)
        check_interrupt(tmp, tree)
        check_colour(tmp, tree)
        check_messages(tmp, tree)
        check_path_line(tmp)
        check_export_on_terminal(tmp)
        if os.geteuid() != 0 or os.path.exists("/usr/bin/setpriv"):
            check_unreadable_root(tmp)
    for f in failures:
        print(f)
    return 1 if failures else 0


sys.exit(main())
