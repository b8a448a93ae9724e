#!/usr/bin/env bash
# Times a whole-tree scan by zumbrel-cli against du, ncdu and gdu on the same tree, warm
# cache, median of 5 runs each: wall time, CPU time, peak RSS, and ratios to zumbrel-cli.
#   bench/scan-vs-peers.sh TREE
# When TREE does not exist it is generated: metadata-only copies of /usr (folders, links,
# and sparse files of the original sizes) until about 1,000,000 entries.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:?usage: bench/scan-vs-peers.sh TREE}
runs=${RUNS:-5}

need=()
command -v ncdu >/dev/null || need+=(ncdu)
command -v gdu >/dev/null || need+=(gdu)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y -qq "${need[@]}" >/dev/null
fi

scripts/build.sh release zumbrel-cli >/dev/null
cli=build-release/bin/zumbrel-cli

if [ ! -d "$tree" ]; then
    echo "generating $tree ..." >&2
    python3 - "$tree" <<'PY'
import os, sys
dest = sys.argv[1]
target = 1_000_000
made = 0
copy = 0
os.makedirs(dest)
while made < target:
    base = os.path.join(dest, f"usr{copy}")
    for root, dirs, files in os.walk("/usr"):
        rel = os.path.relpath(root, "/usr")
        out = os.path.join(base, rel) if rel != "." else base
        os.makedirs(out, exist_ok=True)
        for d in list(dirs):
            p = os.path.join(root, d)
            if os.path.islink(p):
                os.symlink(os.readlink(p), os.path.join(out, d))
                dirs.remove(d)
                made += 1
        for f in files:
            p = os.path.join(root, f)
            q = os.path.join(out, f)
            try:
                if os.path.islink(p):
                    os.symlink(os.readlink(p), q)
                elif os.path.isfile(p):
                    with open(q, "wb") as fh:
                        fh.truncate(os.lstat(p).st_size)
                else:
                    continue
            except OSError:
                continue
            made += 1
        made += len(dirs)
        if made >= target:
            break
    copy += 1
print(f"{made} entries in {copy} copies", file=sys.stderr)
PY
fi

entries=$(find "$tree" -mindepth 1 -xdev | wc -l)
find_files=$(find "$tree" -mindepth 1 -xdev ! -type d | wc -l)
find_bytes=$(find "$tree" -mindepth 1 -xdev -type f -printf '%s\n' | awk '{s += $1} END {printf "%.0f", s}')
out=$("$cli" scan --no-grouping "$tree")
z_files=$(sed -n 's/^files=//p' <<<"$out")
z_bytes=$(sed -n 's/^bytes=//p' <<<"$out")
echo "tree: $tree, $entries entries; find: files=$find_files bytes=$find_bytes; zumbrel-cli: files=$z_files bytes=$z_bytes"
if [ "$find_files" != "$z_files" ] || [ "$find_bytes" != "$z_bytes" ]; then
    echo "MISMATCH between find and zumbrel-cli" >&2
    exit 1
fi

# Runs a command $runs times (after one warm-up) and prints the median wall, CPU and peak RSS.
measure() {
    "$@" >/dev/null 2>&1 || true
    local samples=() stats
    stats=$(mktemp)
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >/dev/null 2>&1 || true
        samples+=("$(tail -n 1 "$stats")")
    done
    rm -f "$stats"
    printf '%s\n' "${samples[@]}" | awk '{print $1, $2 + $3, $4}' | sort -n | awk -v n="$runs" 'NR == int((n + 1) / 2)'
}

declare -A wall cpu rss
tools=(zumbrel-cli du ncdu gdu)
read -r wall[zumbrel-cli] cpu[zumbrel-cli] rss[zumbrel-cli] < <(measure "$cli" scan "$tree")
read -r wall[du] cpu[du] rss[du] < <(measure du -s --apparent-size "$tree")
read -r wall[ncdu] cpu[ncdu] rss[ncdu] < <(measure ncdu -0 -x -o /dev/null "$tree")
read -r wall[gdu] cpu[gdu] rss[gdu] < <(measure gdu -n -p "$tree")

printf '%-12s %9s %9s %11s %12s %10s\n' tool wall_s cpu_s peak_rss_MB bytes/entry wall/zumbrel
for t in "${tools[@]}"; do
    awk -v t="$t" -v w="${wall[$t]}" -v c="${cpu[$t]}" -v r="${rss[$t]}" -v e="$entries" -v zw="${wall[zumbrel-cli]}" \
        'BEGIN { printf "%-12s %9.3f %9.3f %11.1f %12.1f %10.2f\n", t, w, c, r / 1024, r * 1024 / e, (zw > 0 ? w / zw : 0) }'
done
