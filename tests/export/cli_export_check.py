#!/usr/bin/env python3
"""Runs `zumbrel-cli export` on a folder tree with odd names and reads every format back with
Python's standard parsers; the numbers must agree with `zumbrel-cli scan` and with the files.

usage: cli_export_check.py PATH-TO-zumbrel-cli
"""
import csv
import html.parser
import io
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CLI = sys.argv[1]
FFFD = "\ufffd"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args, **kw):
    return subprocess.run([CLI] + args, capture_output=True, **kw)


# Names as bytes: separators, quotes, markup, line breaks, TABs, control characters,
# invalid UTF-8 and non-Latin letters.
ODD_NAMES = [
    b"comma, here",
    b'say "hi"',
    b"it's",
    b"fish & chips",
    b"<b>bold &amp; more",
    b"two\nlines",
    b"tab\there",
    b"cr\rreturn",
    b"bell\x07\x1b",
    b"bad\xff\xfeutf",
    "\u03a9\u043c\u0438\u0440 \u65e5\u672c".encode(),
    b"semi;colon",
]


def build_fixture(top):
    root = os.path.join(top, b"<img src=x onerror=alert(1)>")
    os.mkdir(root)
    size = 1
    for name in ODD_NAMES:
        d = os.path.join(root, name)
        os.mkdir(d)
        with open(os.path.join(d, name + b".dat"), "wb") as f:
            f.write(b"x" * size)
        sub = os.path.join(d, b"inner " + name)
        os.mkdir(sub)
        with open(os.path.join(sub, b"file"), "wb") as f:
            f.write(b"y" * (size * 3))
        size = size * 2 + 7
    with open(os.path.join(root, b"top,file\n"), "wb") as f:
        f.write(b"z" * 5000)
    return root


def expected_dirs(root):
    """Full path (bytes) -> (size, files) of every directory, sizes summed upwards."""
    totals = {}
    for dirpath, dirnames, filenames in os.walk(root, topdown=False):
        size = sum(os.lstat(os.path.join(dirpath, n)).st_size for n in filenames)
        files = len(filenames)
        for d in dirnames:
            s, c = totals[os.path.join(dirpath, d)]
            size += s
            files += c
        totals[dirpath] = (size, files)
    return totals


def text(b):
    return b.decode("utf-8", "replace")


def xml_text(b):
    return "".join(ch if ch in "\t\n\r" or ord(ch) >= 0x20 else FFFD for ch in text(b))


def line_text(b):
    return "".join(FFFD if ord(ch) < 0x20 or 0x7F <= ord(ch) <= 0x9F or ch in "\u2028\u2029" else ch
                   for ch in text(b))


class HtmlRows(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows = []
        self.cells = None
        self.cell = None
        self.depth = 0
        self.tags = []
        self.title = ""
        self.h1 = ""
        self.where = None

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag in ("title", "h1"):
            self.where = tag
        if tag == "table":
            self.depth += 1
        if tag == "tr" and self.depth == 1 and dict(attrs).get("bgcolor") in ("#FFFFFF", "#F0F0F0"):
            self.cells = []
        if tag == "td" and self.cells is not None and self.depth == 1:
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("title", "h1"):
            self.where = None
        if tag == "td" and self.cell is not None and self.depth == 1:
            self.cells.append(self.cell)
            self.cell = None
        if tag == "table":
            self.depth -= 1
        if tag == "tr" and self.depth == 1 and self.cells is not None:
            self.rows.append(self.cells)
            self.cells = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data
        if self.where == "title":
            self.title += data
        elif self.where == "h1":
            self.h1 += data


def main():
    with tempfile.TemporaryDirectory() as tmp:
        top = tmp.encode()
        root = build_fixture(top)
        dirs = expected_dirs(root)

        scan = run(["scan", "--no-grouping", root])
        check(scan.returncode == 0, "scan failed: %r" % scan.stderr)
        numbers = dict(line.split("=", 1) for line in scan.stdout.decode("utf-8", "replace").splitlines())
        check(int(numbers["bytes"]) == dirs[root][0], "scan bytes differ from the files")
        check(int(numbers["files"]) == dirs[root][1], "scan files differ from the files")
        check(int(numbers["directories"]) + 1 == len(dirs), "scan directories differ from the folders")

        outputs = {}
        for fmt in ("csv", "txt", "html", "xml", "xml2"):
            args = ["export", "--format", fmt, "--rounding", "none", "--group-size", "100", root]
            result = run(args)
            check(result.returncode == 0, "%s export failed: %r" % (fmt, result.stderr))
            check(not result.stdout.startswith(b"\xef\xbb\xbf"), "%s has a byte order mark" % fmt)
            try:
                outputs[fmt] = result.stdout.decode("utf-8")
            except UnicodeDecodeError as e:
                check(False, "%s is not UTF-8: %s" % (fmt, e))
                outputs[fmt] = result.stdout.decode("utf-8", "replace")
            # --output writes the same bytes through the atomic writer.
            target = os.path.join(top, b"out." + fmt.encode())
            result = run(args[:-1] + ["--output", target, root])
            check(result.returncode == 0, "%s export to a file failed: %r" % (fmt, result.stderr))
            with open(target, "rb") as f:
                check(f.read() == outputs[fmt].encode("utf-8"), "%s file differs from standard output" % fmt)

        # CSV: one row per directory with the right fields, numbers as on disk.
        rows = list(csv.reader(io.StringIO(outputs["csv"], newline="")))
        want = {text(p): (str(s), str(c)) for p, (s, c) in dirs.items()}
        got = {r[0]: (r[1], r[2]) for r in rows if len(r) == 3}
        check(all(len(r) == 3 for r in rows), "CSV rows with other than 3 fields: %r" % [r for r in rows if len(r) != 3])
        check(len(rows) == len(dirs), "CSV has %d rows for %d folders" % (len(rows), len(dirs)))
        check(got == want, "CSV fields differ: %r" % set(got.items()).symmetric_difference(want.items()))
        check(rows[0][1] == numbers["bytes"] and rows[0][2] == numbers["files"], "CSV root differs from scan")

        # Text tree: one line per directory, each holding its name.
        lines = outputs["txt"].split("\r\n")
        check(lines[-1] == "", "text tree does not end with CR LF")
        lines = lines[:-1]
        check(len(lines) == len(dirs), "text tree has %d lines for %d folders" % (len(lines), len(dirs)))
        check(len(outputs["txt"].splitlines()) == len(dirs), "a name breaks a text tree line")
        names = {line_text(os.path.basename(p)) for p in dirs if p != root} | {line_text(root)}
        for name in names:
            check(any(name + "   (" in line for line in lines), "text tree misses %r" % name)
        check(lines[0] == "   %s   (%s, %s Files)" % (line_text(root), numbers["bytes"], numbers["files"]),
              "text tree root line %r" % lines[0])

        # Both XML dialects parse; the tree of names and numbers is the folder tree.
        def xml_tree(element, parent, dialect):
            if dialect == 1:
                name, size, count = (element.findtext(k) for k in ("name", "size", "count"))
                children = element.findall("subdirs/dir")
            else:
                name, size, count = element.get("name"), element.get("size"), element.get("filecount")
                children = element.findall("dir")
            path = name if parent is None else parent + "/" + name
            found = {path: (size, count)}
            for child in children:
                found.update(xml_tree(child, path, dialect))
            return found

        want_xml = {}
        for p, (s, c) in dirs.items():
            rel = os.path.relpath(p, root)
            parts = [root] + ([] if rel == b"." else rel.split(b"/"))
            want_xml["/".join(xml_text(x) for x in parts)] = (str(s), str(c))
        for fmt, dialect in (("xml", 1), ("xml2", 2)):
            try:
                doc = ET.fromstring(outputs[fmt].encode("utf-8"))
            except ET.ParseError as e:
                check(False, "%s does not parse: %s" % (fmt, e))
                continue
            check(doc.tag == "Zumbrel", "%s root element %r" % (fmt, doc.tag))
            top_dirs = doc.findall("dir")
            check(len(top_dirs) == 1, "%s has %d top directories" % (fmt, len(top_dirs)))
            got_xml = xml_tree(top_dirs[0], None, dialect)
            check(got_xml == want_xml,
                  "%s tree differs: %r" % (fmt, set(got_xml.items()).symmetric_difference(want_xml.items())))

        # HTML: every directory has a row with its path; the root path runs no markup.
        parser = HtmlRows()
        parser.feed(outputs["html"])
        parser.close()
        got_html = {r[0]: (r[1], r[3]) for r in parser.rows}
        want_html = {xml_text(p): (str(s), str(c)) for p, (s, c) in dirs.items()}
        check(len(parser.rows) == len(dirs), "HTML has %d rows for %d folders" % (len(parser.rows), len(dirs)))
        check(got_html == want_html,
              "HTML rows differ: %r" % set(got_html.items()).symmetric_difference(want_html.items()))
        check("img" not in parser.tags and "b" not in parser.tags, "HTML names turned into markup")
        check(parser.title == "Zumbrel - " + xml_text(root), "HTML title %r" % parser.title)
        check(parser.h1 == xml_text(root), "HTML heading %r" % parser.h1)

        # Failures: a missing folder, and a write error half way (a file size limit stands in
        # for a full disk). Neither leaves a file behind nor touches the old one.
        missing = os.path.join(top, b"no-such-folder", b"out.csv")
        result = run(["export", "--format", "csv", "--output", missing, root])
        check(result.returncode == 1, "missing folder exit code %d" % result.returncode)
        check(result.stderr.endswith(b"zumbrel-cli: " + missing + b": No such file or directory\n"),
              "missing folder message %r" % result.stderr)
        check(not os.path.exists(os.path.dirname(missing)), "a folder was created")

        outdir = os.path.join(top, b"limited")
        os.mkdir(outdir)
        old = os.path.join(outdir, b"old.html")
        with open(old, "wb") as f:
            f.write(b"previous content")
        result = subprocess.run(["bash", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$@\"", "limit",
                                 CLI, "export", "--format", "html", "--output", old, root], capture_output=True)
        check(result.returncode == 1, "write error exit code %d" % result.returncode)
        check(result.stderr.endswith(b"zumbrel-cli: " + old + b": File too large\n"),
              "write error message %r" % result.stderr)
        with open(old, "rb") as f:
            check(f.read() == b"previous content", "the old file was changed")
        check(os.listdir(outdir) == [b"old.html"], "files left behind: %r" % os.listdir(outdir))

        result = run(["export", "--format", "yaml", root])
        check(result.returncode == 2, "unknown format exit code %d" % result.returncode)

        # The text tree is biggest first unless told otherwise; CSV keeps the order of the disk.
        order = os.path.join(top, b"order")
        for name, size in ((b"etc", 42), (b"lib", 5000), (b"bin", 300)):
            os.makedirs(os.path.join(order, name))
            with open(os.path.join(order, name, b"f"), "wb") as f:
                f.write(b"x" * size)

        def positions(out, marker):
            return sorted((out.find(marker + n), n) for n in (b"etc", b"lib", b"bin"))

        biggest = run(["export", "--format", "txt", "--rounding", "none", order]).stdout
        check([n for _, n in positions(biggest, b"-- ")] == [b"lib", b"bin", b"etc"], "txt order %r" % biggest)
        by_name = run(["export", "--format", "txt", "--sort", "name", order]).stdout
        check([n for _, n in positions(by_name, b"-- ")] == [b"bin", b"etc", b"lib"], "txt by name %r" % by_name)
        csv_sorted = run(["export", "--format", "csv", "--sort", "size", order]).stdout
        csv_plain = run(["export", "--format", "csv", "--sort", "none", order]).stdout
        check(csv_sorted == csv_plain, "csv changed its order with --sort")
        stored = run(["export", "--format", "txt", "--sort", "none", order]).stdout
        check([n for _, n in positions(stored, b"-- ")] == [n for _, n in positions(csv_plain, b"/")],
              "txt --sort none differs from the order of the csv: %r %r" % (stored, csv_plain))
        result = run(["export", "--format", "txt", "--sort", "date", order])
        check(result.returncode == 2 and b"unknown sort order" in result.stderr, "bad --sort %r" % result.stderr)

    if failures:
        for f in failures:
            print("FAIL:", f)
        return 1
    print("all export checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
