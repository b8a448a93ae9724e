#!/usr/bin/env bash
# Re-extracts zumbrel.pot from the sources and merges it into every catalog named in LINGUAS;
# then prints, per catalog, what is left to translate (untranslated and fuzzy entries):
# locale/update-catalogs.sh
set -euo pipefail
cd "$(dirname "$0")"
./extract-messages.sh .. zumbrel.pot
for code in $(grep -v '^#' LINGUAS); do
    msgmerge --quiet --update --backup=none --no-wrap "$code.po" zumbrel.pot
    msgattrib --no-obsolete --no-wrap --output-file="$code.po" "$code.po"
    echo "$code: $(msgfmt --check --statistics --output-file=/dev/null "$code.po" 2>&1)"
done
