#!/usr/bin/env bash
# Fails when a catalog misses a text the program passes through `_`, leaves one untranslated,
# keeps a fuzzy entry, breaks a format place holder or gives two entries of one menu the same
# access key: check-catalog.sh <source root> <po>...
set -euo pipefail
root=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$(dirname "$0")/extract-messages.sh" "$root" "$tmp/zumbrel.pot"
status=0
for po in "$@"; do
    if ! msgfmt --check --output-file=/dev/null "$po"; then
        echo "check-catalog: $po does not compile cleanly" >&2
        status=1
    fi
    fuzzy=$(msgattrib --only-fuzzy --no-obsolete "$po")
    if [ -n "$fuzzy" ]; then
        echo "check-catalog: $po has fuzzy entries:" >&2
        echo "$fuzzy" >&2
        status=1
    fi
    # Missing and untranslated ids of the template are errors; extra ids in the catalog are not.
    if ! msgcmp "$po" "$tmp/zumbrel.pot" 2>"$tmp/msgcmp.log"; then
        grep -v 'this message is not used' "$tmp/msgcmp.log" >&2 || true
        echo "check-catalog: $po misses translations of texts used in the program" >&2
        status=1
    fi
done
# Two entries of one menu or dialog with the same access key: the second cannot be reached.
"$(dirname "$0")/check-access-keys.py" "$@" || status=1
exit $status
