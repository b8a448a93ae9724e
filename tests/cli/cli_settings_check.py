#!/usr/bin/env python3
"""zumbrel-cli takes language and rounding from the user's settings file and never
writes it."""
import os
import subprocess
import sys
import tempfile

cli = sys.argv[1]


def run(config, *args):
    env = dict(os.environ, XDG_CONFIG_HOME=config, LANG="C.UTF-8")
    env.pop("LANGUAGE", None)
    return subprocess.run([cli, *args], capture_output=True, env=env, check=True).stdout.decode()


def main():
    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "tree")
        os.makedirs(os.path.join(tree, "sub"))
        with open(os.path.join(tree, "sub", "f1"), "wb") as f:
            f.write(b"\0" * 10239)  # 9.99 KB cut, 10 KB rounded
        with open(os.path.join(tree, "f2"), "wb") as f:
            f.write(b"\0" * 100)
        config = os.path.join(tmp, "config")
        ini = os.path.join(config, "Zumbrel", "Zumbrel.ini")
        os.makedirs(os.path.dirname(ini))
        failures = []

        def expect(text, wanted, unwanted):
            for w in wanted:
                if w not in text:
                    failures.append(f"missing {w!r} in {text!r}")
            for u in unwanted:
                if u in text:
                    failures.append(f"unexpected {u!r} in {text!r}")

        with open(ini, "w") as f:
            f.write("[Settings]\nLanguage=de\nFileSizeRounding=1\n")
        before = open(ini, "rb").read()
        expect(run(config, "export", "--format", "txt", tree), ["Dateien", "10 KB"], ["Files", "9.99"])
        with open(ini, "w") as f:
            f.write("[Settings]\nLanguage=xx\nFileSizeRounding=2\n")
        before = open(ini, "rb").read()
        expect(run(config, "export", "--format", "txt", tree), ["Files", "9.99 KB"], ["Dateien"])
        if open(ini, "rb").read() != before:
            failures.append("the settings file was changed")
        # Without a settings file nothing is created.
        empty = os.path.join(tmp, "empty")
        os.makedirs(empty)
        run(empty, "scan", tree)
        if os.listdir(empty):
            failures.append("a settings file was created")
        for f in failures:
            print(f)
        return 1 if failures else 0


sys.exit(main())
