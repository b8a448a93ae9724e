#!/usr/bin/env python3
"""zumbrel-cli report: biggest first, --depth and --top limits with the rest summed up, the
small-files group as a line of its own, hostile names escaped, block bars on UTF-8 and "#"
otherwise, byte counts with --rounding none, German with Language=de."""
import os
import re
import subprocess
import sys
import tempfile

cli = sys.argv[1]
LINE = re.compile(r"^ *(?P<size>\S+(?: \S+)?)  +(?P<pct>\d+[.,]\d%)  (?P<bar>.{20})  +(?P<files>\S+)  (?P<indent> *)(?P<name>.*)$")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def write(path, size):
    with open(path, "wb") as f:
        f.write(b"x" * size)


def make_tree(base):
    os.makedirs(os.path.join(base, "big", "inner", "deepest"))
    write(os.path.join(base, "big", "a"), 50_000)
    write(os.path.join(base, "big", "inner", "b"), 30_000)
    write(os.path.join(base, "big", "inner", "deepest", "c"), 20_000)
    os.makedirs(os.path.join(base, "mid"))
    write(os.path.join(base, "mid", "m"), 40_000)
    write(os.path.join(base, "file.bin"), 60_000)
    os.makedirs(os.path.join(base, "many"))
    for i in range(15):
        write(os.path.join(base, "many", f"f{i:02}"), 1000 + 100 * i)
    for i in range(4):  # below the group size
        write(os.path.join(base, "many", f"tiny{i}"), 10)
    hostile = os.path.join(base.encode(), b"hostile")
    os.makedirs(os.path.join(hostile, b"new\nline\tdir"))
    write(os.path.join(hostile, b"new\nline\tdir", b"n"), 500)
    write(os.path.join(hostile, b"esc\x1b[31mred"), 400)
    write(os.path.join(hostile, b"bad\xff\xfename"), 300)
    write(os.path.join(hostile, b"back\\slash"), 200)


def report(base, *args, lang="C.UTF-8", config=None):
    env = dict(os.environ, LC_ALL=lang, LANG=lang, XDG_CONFIG_HOME=config or os.path.join(base, "..", "config"))
    env.pop("LANGUAGE", None)
    env.pop("NO_COLOR", None)
    out = subprocess.run([cli, "report", "--group-size", "100", *args, base], capture_output=True, env=env)
    check(out.returncode == 0, f"report {args}: exit {out.returncode}: {out.stderr!r}")
    return out.stdout


def rows(raw, encoding="utf-8"):
    """(level, size text, files, name) of every tree line; the header and summary left out."""
    lines = raw.decode(encoding).split("\n")
    result = []
    for line in lines[1:]:
        if not line:
            break
        m = LINE.match(line)
        check(m is not None, f"unreadable line {line!r}")
        if m:
            result.append((len(m["indent"]) // 2, m["size"], m["files"], m["name"], m["bar"], m["pct"]))
    return result


def children(rs, name):
    """The rows directly below the row called `name`."""
    start = next(i for i, r in enumerate(rs) if r[3] == name)
    level = rs[start][0]
    out = []
    for r in rs[start + 1:]:
        if r[0] <= level:
            break
        if r[0] == level + 1:
            out.append(r)
    return out


def main():
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "tree")
        os.makedirs(os.path.join(tmp, "config"))
        make_tree(base)

        # Bytes make the order checkable; the default depth is 2.
        rs = rows(report(base, "--rounding", "none", "--top", "20"))
        check(rs[0][0] == 0 and rs[0][3] == base, f"root line {rs[0]}")
        top = children(rs, base)
        names = [r[3] for r in top]
        check(names == ["big/", "file.bin", "mid/", "many/", "hostile/"], f"order of the first level: {names}")
        sizes = [int(r[1]) for r in top]
        check(sizes == sorted(sizes, reverse=True), f"sizes not biggest first: {sizes}")
        check(sizes[0] == 100_000, f"big/ is {sizes[0]} bytes")
        check(max(r[0] for r in rs) == 2, "the default depth is not 2")
        check("deepest/" not in names and all(r[3] != "deepest/" for r in rs), "a third level was shown")
        check(rs[0][5] in ("100.0%",), f"root percentage {rs[0][5]}")
        big = children(rs, "big/")
        check([r[3] for r in big] == ["a", "inner/"], f"children of big/: {big}")
        check(big[0][5] == "50.0%" and big[0][4] == "\u2588" * 10 + " " * 10, f"half bar {big[0]}")

        # The small files of "many" form one group line with their count.
        many = children(rs, "many/")
        groups = [r for r in many if r[3] == "<Grouped Files>"]
        check(len(groups) == 1 and groups[0][2] == "4" and groups[0][1] == "40", f"group line {groups}")

        # Hostile names stay on their line, escaped; nothing raw reaches the terminal.
        raw = report(base, "--depth", "3")
        check(b"\x1b" not in raw and b"\xff" not in raw and b"\t" not in raw, "raw control bytes in the report")
        hostile = [r[3] for r in children(rows(raw), "hostile/")]
        for expected in ["new\\nline\\tdir/", "esc\\x1b[31mred", "bad\\xff\\xfename", "back\\\\slash"]:
            check(expected in hostile, f"{expected!r} missing in {hostile}")

        # Depth and top limits; what --top leaves out is summed up in one line.
        check([r[0] for r in rows(report(base, "--depth", "0"))] == [0], "--depth 0 shows more than the root")
        rs = rows(report(base, "--depth", "1", "--top", "3", "--rounding", "none"))
        check(max(r[0] for r in rs) == 1, "--depth 1 went deeper")
        first = children(rs, base)
        check([r[3] for r in first] == ["big/", "file.bin", "mid/", "(2 more)"], f"--top 3: {first}")
        check(int(first[-1][1]) == 4 * 10 + sum(1000 + 100 * i for i in range(15)) + 1400,
              f"the rest line sums {first[-1]}")
        rs = rows(report(base, "--depth", "2", "--top", "2"))
        check(all(len(children(rs, r[3])) <= 3 for r in rs if r[3].endswith("/")), "more than top+1 lines per folder")

        # ASCII fallback outside UTF-8: "#" bars, nothing but ASCII.
        raw = report(base, "--depth", "1", lang="C")
        check(all(b < 0x80 for b in raw), "non-ASCII bytes in a C locale report")
        bars = [r[4] for r in rows(raw, "ascii")]
        check(bars[0] == "#" * 20 and all(set(b) <= {"#", " "} for b in bars), f"ASCII bars {bars}")
        check("\u2588" in report(base, "--depth", "1").decode(), "no block characters on UTF-8")

        # Translated like the window.
        config = os.path.join(tmp, "de")
        os.makedirs(os.path.join(config, "Zumbrel"))
        with open(os.path.join(config, "Zumbrel", "Zumbrel.ini"), "w") as f:
            f.write("[Settings]\nLanguage=de\n")
        text = report(base, "--depth", "1", config=config).decode()
        check("Dateien" in text and "Files" not in text, f"not German: {text[:200]!r}")

    for f in failures:
        print(f)
    return 1 if failures else 0


sys.exit(main())
