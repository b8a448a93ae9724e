#!/usr/bin/env python3
"""zumbrel-cli against the files a hostile or unlucky user hands it.

A FIFO, a gzip file and binary junk are refused at once with what they are; an import that runs
out of memory (ulimit -v) says so and exits 1 instead of aborting; duplicate names are refused
before diff could list a folder as both changed and removed; Ctrl+C ends a diff of two big
imports without waiting for the watchdog; an export that would grow with the square of the
depth needs --force; exports record absolute roots.

usage: cli_hostile_check.py PATH-TO-zumbrel-cli
"""
import json
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time

CLI = os.path.abspath(sys.argv[1])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args, timeout=60, **kw):
    return subprocess.run([CLI] + args, capture_output=True, timeout=timeout, **kw)


def text(data):
    return data.decode("utf-8", "replace")


def sanitized():
    # AddressSanitizer reserves terabytes of address space: ulimit -v cannot work with it.
    out = subprocess.run(["ldd", CLI], capture_output=True).stdout
    return b"libasan" in out or b"libtsan" in out


def wide_export(path, folders, files):
    """An ncdu export of /w with `folders` folders of `files` files each."""
    with open(path, "w") as f:
        f.write('[1,2,{"progname":"test"},[{"name":"/w"}')
        for d in range(folders):
            f.write(',[{"name":"d%d"}' % d)
            f.write("".join(',{"name":"file-%06d","asize":%d}' % (i, i) for i in range(files)))
            f.write("]")
        f.write("]]\n")


with tempfile.TemporaryDirectory() as tmp:
    # ---- files that are no analysis ----
    fifo = os.path.join(tmp, "analysis.json")
    os.mkfifo(fifo)
    gz = os.path.join(tmp, "a.json.gz")
    with open(gz, "wb") as f:
        f.write(b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03junk")
    junk = os.path.join(tmp, "junk.bin")
    with open(junk, "wb") as f:
        f.write(bytes(range(256)))
    for path, says in ((fifo, "a FIFO"), (gz, "gzip"), (junk, "binary data")):
        for args in (["scan", "--import", path], ["diff", path, path]):
            try:
                r = run(args, timeout=20)
                check(r.returncode == 1 and says in text(r.stderr), "%s: %d %s" % (args, r.returncode, text(r.stderr)))
            except subprocess.TimeoutExpired:
                check(False, "%s hangs" % args)

    # ---- duplicate names: refused, never a folder both changed and removed ----
    dup = os.path.join(tmp, "dup.json")
    with open(dup, "w") as f:
        f.write('[1,2,{},[{"name":"/r"},[{"name":"a"},{"name":"f","asize":1}],[{"name":"a"}]]]')
    good = os.path.join(tmp, "good.json")
    with open(good, "w") as f:
        f.write('[1,2,{},[{"name":"/r"},[{"name":"a"},{"name":"f","asize":5}]]]')
    r = run(["diff", dup, good])
    check(r.returncode == 1 and "appears twice" in text(r.stderr), "duplicates: %d %s" % (r.returncode, text(r.stderr)))

    # ---- out of memory: a message and exit 1, not an abort ----
    big = os.path.join(tmp, "big.json")
    wide_export(big, 1000, 2000)  # two million files, about 70 MB
    if sanitized():
        print("skipped: the out-of-memory checks need a build without sanitizers")
    else:
        limit = 100 << 20

        def low_memory():
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

        for args in (["scan", "--import", big], ["diff", big, big]):
            r = run(args, timeout=300, preexec_fn=low_memory)
            err = text(r.stderr)
            check(r.returncode == 1 and "not enough memory to hold the analysis (" in err and "entries read)" in err,
                  "%s under ulimit -v: %d %s" % (args, r.returncode, err))
            check("bad_alloc" not in err, "%s: std::bad_alloc reached the user" % args)

    # ---- Ctrl+C ends a diff of two imports at once ----
    p = subprocess.Popen([CLI, "diff", big, big], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    time.sleep(0.5)
    sent = time.monotonic()
    p.send_signal(signal.SIGINT)
    try:
        p.communicate(timeout=30)
        took = time.monotonic() - sent
        check(p.returncode == 130, "diff after Ctrl+C: %d" % p.returncode)
        # The watchdog would end it after 3 s; the import itself stops within a few thousand entries.
        check(took < 2.5, "diff needed %.1f s to stop after Ctrl+C" % took)
    except subprocess.TimeoutExpired:
        p.kill()
        check(False, "diff ignores Ctrl+C")

    # ---- exports that would fill a disk need --force ----
    deep = os.path.join(tmp, "deep.json")
    depth = 30000
    with open(deep, "w") as f:
        f.write('[1,2,{},[{"name":"/d"}')
        for i in range(depth):
            f.write(',[{"name":"%s"}' % ("n%05d" % i + "x" * 94))
        f.write("]" * depth + "]]\n")
    out = os.path.join(tmp, "deep.csv")
    with open(out, "w") as f:
        f.write("old")
    r = run(["export", "--format", "csv", "--output", out, "--import", deep])
    check(r.returncode == 1 and "--force" in text(r.stderr), "deep CSV: %d %s" % (r.returncode, text(r.stderr)))
    with open(out) as f:
        check(f.read() == "old", "a refused export changed its file")
    # The text tree caps its indentation, so the same tree makes a modest file.
    r = run(["export", "--format", "txt", "--output", out, "--import", deep])
    check(r.returncode == 0, "deep text tree: %d %s" % (r.returncode, text(r.stderr)))
    longest = max(len(line) for line in open(out, "rb"))
    check(longest < 600, "a text tree line of %d bytes" % longest)

    # ---- exports record an absolute root ----
    os.makedirs(os.path.join(tmp, "tree/sub"))
    r = run(["export", "--format", "ncdu", "--quiet", "."], cwd=os.path.join(tmp, "tree"))
    check(r.returncode == 0, "export of .: %d %s" % (r.returncode, text(r.stderr)))
    if r.returncode == 0:
        root = json.loads(r.stdout)[3][0]["name"]
        check(root == os.path.realpath(os.path.join(tmp, "tree")), "the root is written as %r" % root)

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
