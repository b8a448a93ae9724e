#!/usr/bin/env python3
"""Sizes as Linux counts them, on a small tree: one file hard-linked into three folders, a
sparse file, a folder with a valid CACHEDIR.TAG (and one with a wrong tag), a FIFO, links, and a
bind mount when this machine allows one. Totals in both modes against du -sxB1 and against the
unique regular files' sizes counted here; the CSV the same at 1, 2 and 8 threads; ncdu reading
our export gives the disk usage ncdu finds on the folder; excluded folders are rows without a
size."""
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile

cli = sys.argv[1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run(*args):
    return subprocess.run([cli, *args], check=True, capture_output=True).stdout.decode("utf-8", "replace")


def totals(*args):
    return json.loads(run("scan", "--json", "-q", *args))


def unique_regular_bytes(top):
    """Logical sizes of the regular files below `top`, each inode once, on top's file system."""
    seen = set()
    total = 0
    for root, dirs, files in os.walk(top):
        here = os.lstat(root).st_dev
        dirs[:] = [d for d in dirs if os.lstat(os.path.join(root, d)).st_dev == here
                   and not os.path.ismount(os.path.join(root, d))]
        for name in files:
            st = os.lstat(os.path.join(root, name))
            if stat.S_ISREG(st.st_mode) and (st.st_dev, st.st_ino) not in seen:
                seen.add((st.st_dev, st.st_ino))
                total += st.st_size
    return total


def du_bytes(path, *extra):
    out = subprocess.run(["du", "-sxB1", *extra, path], check=True, capture_output=True).stdout.decode()
    return int(out.split()[0])


def make_tree(base):
    for d in ("one", "two", "three", "cache", "notcache", "plain", "node_modules/pkg"):
        os.makedirs(os.path.join(base, d))
    with open(os.path.join(base, "one", "linked"), "wb") as f:
        f.write(os.urandom(150_000))
    os.link(os.path.join(base, "one", "linked"), os.path.join(base, "two", "linked"))
    os.link(os.path.join(base, "one", "linked"), os.path.join(base, "three", "linked"))
    with open(os.path.join(base, "sparse.img"), "wb") as f:
        f.truncate(256 << 20)
        f.seek(1 << 20)
        f.write(os.urandom(8192))
    with open(os.path.join(base, "cache", "CACHEDIR.TAG"), "wb") as f:
        f.write(b"Signature: 8a477f597d28d172789f06886806bc55\n# a cache\n")
    with open(os.path.join(base, "cache", "blob"), "wb") as f:
        f.write(os.urandom(70_000))
    with open(os.path.join(base, "notcache", "CACHEDIR.TAG"), "wb") as f:
        f.write(b"Signature: not the right one\n")
    with open(os.path.join(base, "node_modules", "pkg", "index.js"), "wb") as f:
        f.write(b"x" * 9000)
    with open(os.path.join(base, "plain", "small"), "wb") as f:
        f.write(b"y" * 10)
    os.mkfifo(os.path.join(base, "fifo"))
    os.symlink("one/linked", os.path.join(base, "short-link"))
    os.symlink("x" * 300, os.path.join(base, "long-link"))  # takes a block on most file systems


def csv_at(base, threads):
    return run("export", "--format", "csv", "--no-grouping", "-q", "-t", str(threads), base)


def ncdu_disk_usage(path):
    """The disk usage of an ncdu JSON file as ncdu counts it: dsize summed, an inode once."""
    with open(path) as f:
        data = json.load(f)
    seen = set()
    total = 0

    def walk(item, dev):
        nonlocal total
        if isinstance(item, list):
            info = item[0]
            dev = info.get("dev", dev)
            total += info.get("dsize", 0)
            for child in item[1:]:
                walk(child, dev)
            return
        if item.get("excluded"):
            return
        if item.get("hlnkc"):
            key = (item.get("dev", dev), item["ino"])
            if key in seen:
                return
            seen.add(key)
        total += item.get("dsize", 0)

    walk(data[3], 0)
    return total


def main():
    base = tempfile.mkdtemp(prefix="zumbrel-sizes-")
    try:
        make_tree(base)

        # Both sizes against du and the files themselves.
        t = totals(base)
        check(t["bytes"] == unique_regular_bytes(base), f"logical {t['bytes']} != {unique_regular_bytes(base)}")
        check(t["disk_bytes"] == du_bytes(base), f"on disk {t['disk_bytes']} != du {du_bytes(base)}")
        disk = totals("--size-on-disk", base)
        check(disk["size"] == "disk" and disk["disk_bytes"] == t["disk_bytes"], "--size-on-disk changes the sizes")
        plain = run("scan", "-q", "--size-on-disk", base)
        check(f"bytes={du_bytes(base)}\n" in plain, "scan --size-on-disk prints du's total as bytes=")
        # Twelve names: the three of the linked file count as three files, its sizes once.
        check(t["files"] == 12, f"files counts names: {t['files']}")

        # The same tree whatever the thread count, hard-link carrier included.
        one = csv_at(base, 1)
        check(one == csv_at(base, 2) and one == csv_at(base, 8), "the CSV differs between 1, 2 and 8 threads")

        # The report shows the sparse file's real allocation and the hard links once.
        report = run("report", "-q", "--size-on-disk", "--rounding", "none", "--no-grouping", "-d", "2", base)
        check(report.count("<HARDLINK>") == 2, "two names of the linked file are marked as hard links")
        sparse_disk = os.lstat(os.path.join(base, "sparse.img")).st_blocks * 512
        check(any(line.split()[0] == str(sparse_disk) and line.endswith("sparse.img") for line in report.splitlines()),
              "the sparse file shows its allocation")

        # Exclusions: absent from the sums, present as rows.
        cache_disk = du_bytes(os.path.join(base, "cache"))
        cache_logical = unique_regular_bytes(os.path.join(base, "cache"))
        ex = totals("--exclude-caches", base)
        check(ex["disk_bytes"] == t["disk_bytes"] - cache_disk, "--exclude-caches leaves the cache out of the sums")
        check(ex["bytes"] == t["bytes"] - cache_logical, "--exclude-caches leaves the cache's files out")
        rows = run("report", "-q", "--exclude-caches", "--exclude", "node_modules", "-d", "1", base)
        check(any("<EXCLUDED>" in r and r.endswith("cache/") for r in rows.splitlines()), "the cache stays as a row")
        check(any("<EXCLUDED>" in r and r.endswith("node_modules/") for r in rows.splitlines()),
              "an excluded folder stays as a row")
        check(not any("<EXCLUDED>" in r and "notcache" in r for r in rows.splitlines()), "a wrong tag excludes nothing")
        nm = unique_regular_bytes(os.path.join(base, "node_modules"))
        check(totals("--exclude", "node_modules", base)["bytes"] == t["bytes"] - nm, "--exclude by name")
        check(totals("--exclude", "node_modules/pkg", base)["bytes"] == t["bytes"] - nm, "--exclude by path")
        patterns = os.path.join(base, "..", os.path.basename(base) + ".patterns")
        with open(patterns, "w") as f:
            f.write("node_modules\n\n*.img\n")
        try:
            sparse = os.lstat(os.path.join(base, "sparse.img")).st_size
            check(totals("--exclude-from", patterns, base)["bytes"] == t["bytes"] - nm - sparse, "--exclude-from")
        finally:
            os.unlink(patterns)

        # ncdu reads our export as its own: the same disk usage as ncdu finds on the folder.
        if shutil.which("ncdu"):
            ours = os.path.join(base + ".ours.json")
            again = os.path.join(base + ".again.json")
            theirs = os.path.join(base + ".theirs.json")
            try:
                run("export", "--format", "ncdu", "-q", "-o", ours, base)
                subprocess.run(["ncdu", "-f", ours, "-o", again], check=True, capture_output=True)
                subprocess.run(["ncdu", "-x", "-o", theirs, base], check=True, capture_output=True)
                check(ncdu_disk_usage(again) == ncdu_disk_usage(theirs) == du_bytes(base),
                      f"ncdu on our export {ncdu_disk_usage(again)} != ncdu {ncdu_disk_usage(theirs)}")
                back = totals("-f", ours)
                check(back["bytes"] == t["bytes"] and back["disk_bytes"] == t["disk_bytes"],
                      "our import of our export keeps both sizes")
                theirs_back = totals("-f", theirs)
                check(theirs_back["disk_bytes"] == t["disk_bytes"], "our import of ncdu's file counts links once")
            finally:
                for p in (ours, again, theirs):
                    if os.path.exists(p):
                        os.unlink(p)
        else:
            print("SKIP: ncdu is not installed (scripts/install-deps.sh installs it)")

        # A bind mount is a mount point: shown, not entered, unless --cross-mounts.
        target = os.path.join(base, "plain", "mounted")
        os.makedirs(target)
        mounted = subprocess.run(["mount", "--bind", os.path.join(base, "one"), target], capture_output=True)
        if mounted.returncode != 0:
            print("SKIP: mount --bind does not work here:", mounted.stderr.decode().strip())
        else:
            try:
                m = totals(base)
                check(m["disk_bytes"] == du_bytes(base, "--exclude=mounted"), "a bind mount is not entered")
                check(m["bytes"] == t["bytes"], "a bind mount adds nothing")
                rows = run("report", "-q", "-d", "2", base)
                check(any("<MOUNT>" in r and r.endswith("mounted/") for r in rows.splitlines()), "a mount point row")
                crossed = totals("--cross-mounts", base)
                check(crossed["files"] == m["files"] + 1, "--cross-mounts enters the mount point")
                check(crossed["bytes"] == t["bytes"], "the linked file seen through the mount counts once")
            finally:
                subprocess.run(["umount", target], check=True)
    finally:
        shutil.rmtree(base, ignore_errors=True)
    if failures:
        sys.exit(1)
    print("ok")


main()
