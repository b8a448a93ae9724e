#!/usr/bin/env python3
"""How `zumbrel-cli export --output FILE` treats what is already there, and what the command
line leaves on standard error. Needs root (files of other users, planted links); skipped
otherwise.

usage: cli_output_check.py PATH-TO-zumbrel-cli
"""
import os
import stat
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1]
OTHER, THIRD = 12345, 23456
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def export(out, tree, **kw):
    return subprocess.run([CLI, "export", "--format", "csv", "--output", out, tree],
                          capture_output=True, **kw)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data, mode=0o644):
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def planted_link(top, tree):
    victim = os.path.join(top, "victim")
    write(victim, b"secret", 0o600)
    shared = os.path.join(top, "shared")
    os.mkdir(shared)
    os.chown(shared, OTHER, OTHER)
    os.chmod(shared, 0o1777)
    link = os.path.join(shared, "report.csv")
    os.symlink(victim, link)
    os.lchown(link, THIRD, THIRD)
    r = export(link, tree)
    check(r.returncode == 1, f"planted link: exit {r.returncode}")
    check(r.stderr.startswith(f"zumbrel-cli: {link}: Permission denied".encode()),
          f"planted link: stderr {r.stderr!r}")
    check(read(victim) == b"secret" and stat.S_IMODE(os.stat(victim).st_mode) == 0o600,
          "planted link: the victim was changed")


def descriptor(top, tree):
    log = os.path.join(top, "app.log")
    write(log, b"earlier lines\n")
    inode = os.stat(log).st_ino
    with open(log, "ab") as out:
        r = subprocess.run([CLI, "export", "--format", "csv", "--output", "/dev/stdout", tree],
                           stdout=out, stderr=subprocess.PIPE)
    check(r.returncode == 0, f"/dev/stdout: exit {r.returncode} {r.stderr!r}")
    data = read(log)
    check(data.startswith(b"earlier lines\n") and data.count(b"\r\n") == 1, f"/dev/stdout: log is {data!r}")
    check(os.stat(log).st_ino == inode, "/dev/stdout: the log was replaced by a new file")


def read_only(top, tree):
    path = os.path.join(top, "readonly.csv")
    write(path, b"keep", 0o444)
    r = export(path, tree)
    check(r.returncode == 1, f"read-only: exit {r.returncode}")
    check(r.stderr == f"zumbrel-cli: {path}: Permission denied\n".encode(), f"read-only: stderr {r.stderr!r}")
    check(read(path) == b"keep", "read-only: the file was changed")


def wait_for_fifo_open(pid, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            with open(f"/proc/{pid}/wchan") as f:
                where = f.read()
            if "partner" in where or "fifo" in where:
                return True
        except OSError:
            return False
        time.sleep(0.02)
    return False


def fifo_before_scan(top):
    # The export opens the FIFO (and waits for its reader) before it scans: a file added to the
    # tree while it waits is part of the result.
    tree = os.path.join(top, "fifo-tree")
    os.mkdir(tree)
    fifo = os.path.join(top, "out.fifo")
    os.mkfifo(fifo)
    p = subprocess.Popen([CLI, "export", "--format", "csv", "--output", fifo, tree],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    waiting = wait_for_fifo_open(p.pid)
    write(os.path.join(tree, "late"), b"x" * 4096)
    with open(fifo, "rb") as f:
        data = f.read()
    p.wait(timeout=60)
    check(waiting, "fifo: the export never waited for a reader")
    check(p.returncode == 0, f"fifo: exit {p.returncode}")
    check(data == f"{tree},4096,1\r\n".encode(), f"fifo: the export scanned before opening its output: {data!r}")
    check(stat.S_ISFIFO(os.lstat(fifo).st_mode), "fifo: no longer a FIFO")


def quiet_standard_error(tree):
    env = {k: v for k, v in os.environ.items() if k != "ZUMBREL_DEBUG"}
    for args in (["scan", tree], ["export", "--format", "txt", tree]):
        r = subprocess.run([CLI] + args, capture_output=True, env=env)
        check(r.returncode == 0 and r.stderr == b"", f"{args[0]}: stderr {r.stderr!r} exit {r.returncode}")
    r = subprocess.run([CLI, "scan", tree], capture_output=True, env=dict(env, ZUMBREL_DEBUG="1"))
    check(b" info Zumbrel  - CmdLine: " in r.stderr,
          f"ZUMBREL_DEBUG=1: no copy of the events on stderr: {r.stderr!r}")


def main():
    with tempfile.TemporaryDirectory() as top:
        os.chmod(top, 0o755)
        tree = os.path.join(top, "tree")
        os.mkdir(tree)
        write(os.path.join(tree, "file"), b"y" * 100)
        quiet_standard_error(tree)
        if os.geteuid() != 0:
            print("cli_output_check: not root, the ownership checks are skipped")
        else:
            planted_link(top, tree)
            read_only(top, tree)
        descriptor(top, tree)
        fifo_before_scan(top)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


sys.exit(main())
