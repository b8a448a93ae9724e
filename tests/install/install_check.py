#!/usr/bin/env python3
"""Installs the build tree into a temporary DESTDIR and checks what a user's system would get:
programs that run, catalogs found from the installed location, a valid desktop entry and
AppStream file, manual pages that render, the icon and shell completion."""
import os
import subprocess
import sys
import tempfile

build_dir = sys.argv[1]
prefix = "/usr"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=60, **kw)


with tempfile.TemporaryDirectory() as tmp:
    dest = os.path.join(tmp, "root")
    env = dict(os.environ, DESTDIR=dest)
    r = run(["cmake", "--install", build_dir, "--prefix", prefix], env=env)
    check(r.returncode == 0, "cmake --install: " + r.stderr)
    root = dest + prefix
    share = os.path.join(root, "share")

    for program in ("zumbrel", "zumbrel-cli"):
        exe = os.path.join(root, "bin", program)
        check(os.access(exe, os.X_OK), program + " installed in bin/")
        r = run([exe, "--version"], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        check(r.returncode == 0 and program in r.stdout, program + " --version: " + r.stdout + r.stderr)

    # The installed zumbrel-cli has no "locale" folder beside it: German texts prove that it
    # found the shared locale tree under the program's own text domain.
    check(os.path.isfile(os.path.join(share, "locale/de/LC_MESSAGES/zumbrel.mo")), "German catalog installed")
    config = os.path.join(tmp, "config")
    os.makedirs(os.path.join(config, "Zumbrel"))
    with open(os.path.join(config, "Zumbrel", "Zumbrel.ini"), "w") as f:
        f.write("[Settings]\nLanguage=de\n")
    tree = os.path.join(tmp, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    with open(os.path.join(tree, "sub", "file"), "w") as f:
        f.write("x" * 100)
    r = run([os.path.join(root, "bin", "zumbrel-cli"), "export", "--format", "txt", tree],
            env=dict(os.environ, XDG_CONFIG_HOME=config))
    check(r.returncode == 0 and "Datei" in r.stdout, "German texts from the installed catalog: " + r.stdout + r.stderr)

    desktop = os.path.join(share, "applications/org.example.zumbrel.desktop")
    r = run(["desktop-file-validate", desktop])
    check(r.returncode == 0 and "error" not in r.stdout.lower(), "desktop-file-validate: " + r.stdout + r.stderr)
    with open(desktop, encoding="utf-8") as f:
        entry = f.read()
    for line in ("Exec=zumbrel %f", "MimeType=inode/directory;", "GenericName=Disk Usage Analyzer",
                 "GenericName[de]=", "Comment[de]=", "Icon=zumbrel"):
        check(line in entry, "desktop entry holds " + line)

    metainfo = os.path.join(share, "metainfo/org.example.zumbrel.metainfo.xml")
    r = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(r.returncode == 0, "appstreamcli validate: " + r.stdout + r.stderr)

    for page in ("zumbrel.1", "zumbrel-cli.1"):
        path = os.path.join(share, "man/man1", page)
        r = run(["man", "-l", path], env=dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat"))
        name = page[:-2]
        check(r.returncode == 0 and "NAME" in r.stdout and name in r.stdout, "man -l " + page + ": " + r.stderr)

    check(os.path.isfile(os.path.join(share, "icons/hicolor/scalable/apps/zumbrel.svg")), "scalable icon")
    for size in (16, 32, 48, 256):
        check(os.path.isfile(os.path.join(share, f"icons/hicolor/{size}x{size}/apps/zumbrel.png")), f"{size}px icon")
    check(os.path.isfile(os.path.join(share, "bash-completion/completions/zumbrel-cli")), "bash completion")
    check(os.path.isfile(os.path.join(share, "zsh/vendor-completions/_zumbrel-cli")), "zsh completion")

sys.exit(1 if failures else 0)
