#!/usr/bin/env python3
"""Fails when a catalog gives two entries of one menu or dialog the same access key ("&x"):
check-access-keys.py <po>...

The groups below are the texts that appear together in one menu or dialog of the window; a text
that moves to another menu moves here too. The English texts themselves are not checked: they
are what the window's code chooses.
"""
import re
import subprocess
import sys

GROUPS = {
    "menu bar": ["&File", "&Analysis", "&View", "&Tools", "&Help"],
    "File menu": ["&Choose Folder...", "&Open Analysis...", "Co&mpare with Saved Analysis...",
                  "&Remove invalid recent items...", "&Open File", "&Delete", "&Undo Move to Trash", "&Exit"],
    "Analysis menu": ["&Repeat Analysis", "R&escan Selected Directory", "&Stop Analysis", "Analyze &Local Drives"],
    "Tools menu": ["&Open directory with File Manager...", "&Save Analysis Result..."],
    "Help menu": ["Zumbrel &Homepage", "&About Zumbrel"],
    "item menu": ["&Open", "Open &With", "Show in &File Manager", "&Copy Path", "Move to &Trash",
                  "&Delete Permanently", "Open Te&rminal Here"],
    "preferences buttons": ["&OK", "&Cancel"],
}


def translations(po):
    """msgid -> msgstr of the catalog's plain entries, read through msgcat's normalised output."""
    text = subprocess.run(["msgcat", "--no-wrap", "--no-location", po], check=True, capture_output=True,
                          text=True).stdout
    result = {}
    for block in text.split("\n\n"):
        ids = re.search(r'^msgid "(.*)"$', block, re.M)
        strs = re.search(r'^msgstr "(.*)"$', block, re.M)
        if ids and strs:
            result[ids.group(1).encode().decode("unicode_escape").encode("latin-1").decode()] = \
                strs.group(1).encode().decode("unicode_escape").encode("latin-1").decode()
    return result


def access_key(text):
    """The character after the first single "&" ("&&" is a literal ampersand), lower-cased."""
    i = 0
    while i < len(text) - 1:
        if text[i] == "&":
            if text[i + 1] != "&":
                return text[i + 1].lower()
            i += 1
        i += 1
    return None


def main(paths):
    status = 0
    for po in paths:
        texts = translations(po)
        for group, ids in GROUPS.items():
            seen = {}
            for msgid in ids:
                translated = texts.get(msgid)
                if not translated:
                    continue  # missing texts are reported by the completeness check
                key = access_key(translated)
                if key is None:
                    print(f"check-access-keys: {po}: {group}: '{translated}' has no access key", file=sys.stderr)
                    status = 1
                elif key in seen:
                    print(f"check-access-keys: {po}: {group}: '{translated}' and '{seen[key]}' share the key "
                          f"'{key}'", file=sys.stderr)
                    status = 1
                else:
                    seen[key] = translated
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
