#!/usr/bin/env bash
# Writes the message template of every text passed through `_` in the program's sources:
# extract-messages.sh <source root> <output .pot>
set -euo pipefail
root=$1
out=$(realpath -m "$2")
cd "$root"
find src app -type f \( -name '*.cpp' -o -name '*.h' \) -print | LC_ALL=C sort |
    xgettext --files-from=- --language=C++ --from-code=UTF-8 --keyword --keyword=_ --keyword=_n:1,2 \
        --no-wrap --sort-output --package-name=Zumbrel --msgid-bugs-address=https://zumbrel.example.org \
        --add-comments=TRANSLATORS: --output="$out"
# The desktop entry's translatable keys ("Name" stays the program's name in every language).
xgettext --join-existing --language=Desktop --keyword= --keyword=GenericName --keyword=Comment \
    --keyword=Keywords --from-code=UTF-8 --no-wrap --sort-output --output="$out" \
    resources/desktop/*.desktop.in
# The AppStream metainfo's texts (gettext's rules for it come with appstream: name, summary,
# description, captions, keywords).
xgettext --join-existing --from-code=UTF-8 --no-wrap --sort-output --output="$out" \
    resources/desktop/*.metainfo.xml.in
# The creation date changes with every run; keep it out of the checked-in template.
sed -i '/^"POT-Creation-Date:/d' "$out"
