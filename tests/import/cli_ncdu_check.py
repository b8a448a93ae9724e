#!/usr/bin/env python3
"""The ncdu JSON format between zumbrel-cli, ncdu and gdu, and the diff and top commands.

Files written by ncdu and gdu (when installed) import with the totals of the folder; our
exports are read back by both tools; cut-off files fail with the byte offset; `diff` and `top`
print the expected tables for two small trees.

usage: cli_ncdu_check.py PATH-TO-zumbrel-cli
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args, **kw):
    return subprocess.run([CLI] + args, capture_output=True, **kw)


def key_values(stdout):
    return dict(line.split("=", 1) for line in stdout.decode("utf-8", "surrogateescape").splitlines())


def write(path, size):
    with open(path, "wb") as f:
        f.write(b"x" * size)


def build_fixture(root):
    os.makedirs(root)
    odd = [b"quote\"back\\slash", b"ctl\x01\x1f\x7f", b"bad\xff\xfeutf", b"new\nline", b"\xe6\x97\xa5\xe6\x9c\xac"]
    for i, name in enumerate(odd):
        d = os.path.join(root, name)
        os.mkdir(d)
        write(os.path.join(d, name + b".dat"), 1000 * (i + 1))
        write(os.path.join(d, b"small"), i)
    os.makedirs(os.path.join(root, b"empty", b"inner"))
    deep = os.path.join(root, *([b"d"] * 40))
    os.makedirs(deep)
    write(os.path.join(deep, b"bottom"), 4321)
    write(os.path.join(root, b"original"), 70000)
    os.link(os.path.join(root, b"original"), os.path.join(root, b"hardlink"))
    os.symlink(b"original", os.path.join(root, b"symlink"))


def expected_totals(root, links_once=True):
    """Files count every name; bytes count a file with several hard links once, as du does, unless
    links_once is false (a gdu file names no inodes, so each of its names carries its size)."""
    files = dirs = size = 0
    seen = set()
    for top, dirnames, filenames in os.walk(root):
        dirs += len(dirnames)
        for name in filenames:
            files += 1
            st = os.lstat(os.path.join(top, name))
            if links_once and st.st_nlink > 1 and not os.path.islink(os.path.join(top, name)):
                if (st.st_dev, st.st_ino) in seen:
                    continue
                seen.add((st.st_dev, st.st_ino))
            size += st.st_size
    return files, dirs, size


def load_export(path):
    with open(path, "rb") as f:
        return json.loads(f.read().decode("utf-8", "surrogateescape"))


def entries(doc):
    """(path, asize) of every entry below the root of a parsed export."""
    out = set()
    pending = [("", doc[3])]
    while pending:
        prefix, item = pending.pop()
        for child in item[1:]:
            info = child[0] if isinstance(child, list) else child
            path = prefix + "/" + info["name"]
            out.add((path, info.get("asize", 0) if not isinstance(child, list) else -1))
            if isinstance(child, list):
                pending.append((path, child))
    return out


def tree(top, spec):
    """Files of exact sizes from {relative path: size}; a size of None makes a folder."""
    for rel, size in spec.items():
        path = os.path.join(top, rel)
        if size is None:
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write(path, size)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        top = os.fsencode(tmp)
        root = os.path.join(top, b"tree")
        build_fixture(root)
        files, dirs, size = expected_totals(root)

        ours = os.path.join(top, b"ours.json")
        result = run(["export", "--format", "ncdu", "--output", ours, root])
        check(result.returncode == 0, "export failed: %r" % result.stderr)
        result = run(["scan", "--import", ours])
        check(result.returncode == 0, "import of our export failed: %r" % result.stderr)
        kv = key_values(result.stdout)
        scan = key_values(run(["scan", root]).stdout)
        for k in ("path", "files", "directories", "bytes", "errors"):
            check(kv.get(k) == scan.get(k), "our round trip: %s %r, scan %r" % (k, kv.get(k), scan.get(k)))

        tools = {"ncdu": ["ncdu", "-o"], "gdu": ["gdu", "-p", "-o"]}
        for tool, command in tools.items():
            if not shutil.which(tool):
                print("%s is not installed: its part is skipped" % tool)
                continue
            theirs = os.path.join(top, tool.encode() + b".json")
            made = subprocess.run(command + [theirs, root], capture_output=True, stdin=subprocess.DEVNULL)
            check(made.returncode == 0, "%s -o failed: %r" % (tool, made.stderr))
            result = run(["scan", "--import", theirs])
            check(result.returncode == 0, "import of %s's file failed: %r" % (tool, result.stderr))
            kv = key_values(result.stdout)
            check(kv.get("path") == root.decode("utf-8", "surrogateescape"), "%s path %r" % (tool, kv.get("path")))
            check(kv.get("files") == str(files), "%s files %r, expected %d" % (tool, kv.get("files"), files))
            check(kv.get("directories") == str(dirs), "%s dirs %r, expected %d" % (tool, kv.get("directories"), dirs))
            want = size if tool == "ncdu" else expected_totals(root, links_once=False)[2]
            check(kv.get("bytes") == str(want), "%s bytes %r, expected %d" % (tool, kv.get("bytes"), want))
            # The other commands take the file as well.
            result = run(["export", "--import", theirs, "--format", "csv"])
            check(result.returncode == 0 and result.stdout.count(b"\r\n") == dirs + 1,
                  "export --import of %s's file: %r" % (tool, result.stderr))

        if shutil.which("ncdu"):
            back = subprocess.run(["ncdu", "-f", ours, "-o", "-"], capture_output=True, stdin=subprocess.DEVNULL)
            check(back.returncode == 0, "ncdu -f of our export failed: %r" % back.stderr)
            again = json.loads(back.stdout.decode("utf-8", "surrogateescape"))
            mine = load_export(ours)
            check(entries(again) == entries(mine), "ncdu read back another tree: %r" %
                  (entries(again) ^ entries(mine)))
            check(again[3][0]["name"] == mine[3][0]["name"], "ncdu changed the root name")
        if shutil.which("gdu"):
            back = subprocess.run(["gdu", "-f", ours, "-n", "-p", "-c", "-a", "-s", "--no-prefix"],
                                  capture_output=True, stdin=subprocess.DEVNULL)
            check(back.returncode == 0, "gdu -f of our export failed: %r" % back.stderr)
            # gdu counts 4096 bytes for every folder that records no size of its own.
            total = int(back.stdout.split()[0]) if back.stdout.split() else -1
            # A scan records links with 0 bytes, so our export does.
            want = int(scan["bytes"]) + 4096 * (dirs + 1)
            check(total == want, "gdu total %d, expected %d" % (total, want))

        # Cut off and damaged files: a clear error with the offset, nothing on standard output.
        with open(ours, "rb") as f:
            text = f.read()
        cut = os.path.join(top, b"cut.json")
        for length in (0, 1, len(text) // 3, len(text) - 2):
            with open(cut, "wb") as f:
                f.write(text[:length])
            result = run(["scan", "--import", cut])
            check(result.returncode == 1 and result.stdout == b"",
                  "cut at %d: exit %d, output %r" % (length, result.returncode, result.stdout))
            check(b"damaged analysis file at byte %d" % length in result.stderr,
                  "cut at %d: message %r" % (length, result.stderr))
        result = run(["export", "--format", "xml", "--import", cut])
        check(result.returncode == 1 and result.stdout == b"", "export of a cut file: %r" % result.stdout)
        result = run(["scan", "--import", os.path.join(top, b"missing.json")])
        check(result.returncode == 1 and b"No such file" in result.stderr, "missing file: %r" % result.stderr)

        # diff: growth, shrinkage, an added and a removed folder, the table and CSV.
        old = os.path.join(tmp, "old")
        new = os.path.join(tmp, "new")
        tree(old, {"a/x": 100000, "b/y": 3000000, "c/z": 500, "gone/deep/f": 2048, "same/s": 7})
        tree(new, {"a/x": 2200000, "b/y": 1000000, "c/z": 500, "added/f": 1536, "added/sub": None, "same/s": 7})
        old_json = os.path.join(tmp, "old.json")
        check(run(["export", "--format", "ncdu", "--output", old_json, old]).returncode == 0, "export of old")
        result = run(["diff", old_json, new])
        check(result.returncode == 0, "diff failed: %r" % result.stderr)
        expected = (
            "Old: %s  3.0M\n"
            "New: %s  3.1M  (+98K)\n"
            "\n"
            "Changed folders:\n"
            "  Change   Old   New  Path\n"
            "   +2.1M   98K  2.1M  a\n"
            "   -2.0M  2.9M  977K  b\n"
            "    +98K  3.0M  3.1M  .\n"
            "\n"
            "Added folders:\n"
            "  Change  Old   New  Path\n"
            "   +1.5K    -  1.5K  added\n"
            "\n"
            "Removed folders:\n"
            "  Change   Old  New  Path\n"
            "   -2.0K  2.0K    -  gone\n" % (old, new))
        check(result.stdout.decode() == expected, "diff table:\n%s\nexpected:\n%s" % (result.stdout.decode(), expected))
        result = run(["diff", "--top", "1", "--format", "csv", old, new])
        check(result.stdout.decode() == "kind,path,old_bytes,new_bytes,change_bytes\n"
              "changed,a,100000,2200000,2100000\nadded,added,0,1536,1536\nremoved,gone,2048,0,-2048\n",
              "diff csv: %r" % result.stdout)
        check(run(["diff", old]).returncode == 2, "diff with one argument")
        result = run(["diff", old, cut])
        check(result.returncode == 1 and b"damaged analysis file" in result.stderr, "diff with a cut file")

        # top: the largest files, largest first, small-files groups looked into.
        result = run(["top", "--count", "3", new])
        lines = result.stdout.decode().splitlines()
        check(result.returncode == 0 and len(lines) == 4, "top output %r" % result.stdout)
        sizes_paths = [(l.split()[0], l.split()[-1]) for l in lines[1:]]
        check(sizes_paths == [("2.1M", new + "/a/x"), ("977K", new + "/b/y"), ("1.5K", new + "/added/f")],
              "top rows %r" % sizes_paths)
        result = run(["top", old_json])
        check(result.returncode == 0 and len(result.stdout.decode().splitlines()) == 6, "top of a file %r" % result.stdout)

    if failures:
        for f in failures:
            print("FAIL:", f)
        return 1
    print("all ncdu/gdu, diff and top checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
