#!/usr/bin/env python3
"""zumbrel-cli scan agrees with find about files and sizes on a tree of awkward entries:
odd names, links to files and folders, a hard link (its size counted once), a FIFO, a 300-level chain whose paths
pass PATH_MAX, and (when run as root, through an unprivileged user) an unreadable folder."""
import os
import shutil
import subprocess
import sys
import tempfile

cli = sys.argv[1]


def make_tree(base):
    for name in [b"comma,name", b'quote"name', b"new\nline", b"bad\xff\xfebytes", b"tab\tname", b"\xe4\xb8\xad\xe6\x96\x87"]:
        with open(os.path.join(base.encode(), name), "wb") as f:
            f.write(b"x" * 123)
    os.makedirs(os.path.join(base, "dir"))
    with open(os.path.join(base, "dir", "data"), "wb") as f:
        f.truncate(5_000_000)
    os.symlink("dir/data", os.path.join(base, "link-to-file"))
    os.symlink("dir", os.path.join(base, "link-to-dir"))
    os.link(os.path.join(base, "dir", "data"), os.path.join(base, "hard"))
    os.mkfifo(os.path.join(base, "fifo"))
    # 300 levels of 20-byte names: about 6300 bytes of path.
    fd = os.open(base, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(300):
        os.mkdir("n" * 20, dir_fd=fd)
        nxt = os.open("n" * 20, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = nxt
    leaf = os.open("leaf", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
    os.write(leaf, b"y" * 77)
    os.close(leaf)
    os.close(fd)
    locked = os.path.join(base, "locked")
    os.makedirs(locked)
    with open(os.path.join(locked, "secret"), "wb") as f:
        f.write(b"z" * 999)
    os.chmod(locked, 0)


def as_user(cmd):
    # Root reads everything; an unprivileged user makes the locked folder really unreadable.
    if os.geteuid() == 0 and shutil.which("setpriv"):
        return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + cmd
    return cmd


def check_listable_only(tmp):
    """A folder that can be listed but not searched: its entries keep their kinds and the
    folder reports the failure instead of passing for complete."""
    base = os.path.join(tmp, "second")
    listable = os.path.join(base, "listable")
    os.makedirs(os.path.join(listable, "sub"))
    with open(os.path.join(listable, "f"), "wb") as f:
        f.write(b"q" * 10)
    os.chmod(base, 0o755)
    os.chmod(listable, 0o444)
    try:
        out = subprocess.run(as_user([cli, "scan", "--no-grouping", base]), capture_output=True, check=True)
        report = dict(line.split("=", 1) for line in out.stdout.decode().splitlines())
        expected = {"files": "1", "directories": "2", "errors": "2"}
        wrong = {k: report[k] for k, v in expected.items() if report[k] != v}
        if wrong:
            print("listable-only folder:", report)
        return not wrong
    finally:
        os.chmod(listable, 0o755)


def main():
    tmp = tempfile.mkdtemp(prefix="zumbrel-cli-")
    os.chmod(tmp, 0o755)
    try:
        make_tree(tmp)
        found = subprocess.run(as_user(["find", tmp, "-mindepth", "1", "!", "-type", "d", "-printf", "%y %s %D:%i\\n"]),
                               capture_output=True)
        files = 0
        size = 0
        inodes = set()
        for line in found.stdout.decode().splitlines():
            kind, bytes_, inode = line.split()
            files += 1
            # Every name counts as a file, a hard-linked file's size once.
            if kind == "f" and inode not in inodes:
                inodes.add(inode)
                size += int(bytes_)
        out = subprocess.run(as_user([cli, "scan", "--no-grouping", tmp]), capture_output=True, check=True)
        report = dict(line.split("=", 1) for line in out.stdout.decode().splitlines())
        ok = True
        for key, expected in (("files", files), ("bytes", size)):
            if int(report[key]) != expected:
                print(f"{key}: zumbrel-cli {report[key]}, find {expected}")
                ok = False
        if int(report["directories"]) < 302:
            print("directories:", report["directories"])
            ok = False
        unprivileged = found.returncode != 0
        if unprivileged and int(report["errors"]) < 1:
            print("the unreadable folder was not reported")
            ok = False
        print(report, "find:", files, size, "unreadable folder seen:", unprivileged)
        if unprivileged:
            ok = check_listable_only(tmp) and ok
        return 0 if ok else 1
    finally:
        os.chmod(os.path.join(tmp, "locked"), 0o755)
        subprocess.run(["rm", "-rf", tmp])


sys.exit(main())
