#!/usr/bin/env bash
# Writes the message template of every text passed through `_` in the program's sources:
# extract-messages.sh <source root> <output .pot>
set -euo pipefail
root=$1
out=$(realpath -m "$2")
cd "$root"
find src app -type f \( -name '*.cpp' -o -name '*.h' \) -print | LC_ALL=C sort |
    xgettext --files-from=- --language=C++ --from-code=UTF-8 --keyword --keyword=_ \
        --no-wrap --sort-output --package-name=Zumbrel --msgid-bugs-address=https://zumbrel.example.org \
        --add-comments=TRANSLATORS: --output="$out"
# The creation date changes with every run; keep it out of the checked-in template.
sed -i '/^"POT-Creation-Date:/d' "$out"
