#!/usr/bin/env bash
# Times a whole-tree scan by zumbrel-cli (1 worker and N workers) against du, ncdu, gdu and,
# when FLOOR names the floor program (a bare getdents64 + statx walk, 1 and 2 threads), the
# system-call floor, all on the same tree: RUNS rounds (default 5), each running every tool
# once in a rotating order, so that machine noise falls on all of them alike. Prints the
# median wall time, CPU time and peak RSS per tool, peak RSS per entry, and the ratio of
# medians to `zumbrel-cli scan` with N workers.
#   [FLOOR=/tmp/floor] [CLI=path/to/zumbrel-cli] [THREADS=N] [COLD=1] bench/scan-vs-peers.sh TREE
# COLD=1 drops the page cache before every run (needs root). Without CLI a release build is
# made. When TREE does not exist it is generated: metadata-only copies of /usr (folders,
# links, and sparse files of the original sizes) until about 1,000,000 entries.
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

if [ -n "${CLI:-}" ]; then
    cli=$CLI
else
    scripts/build.sh release zumbrel-cli >/dev/null
    cli=build-release/bin/zumbrel-cli
fi
threads=${THREADS:-$(nproc)}
floor=${FLOOR:-}
cold=${COLD:-0}

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

drop_caches() {
    [ "$cold" = 1 ] || return 0
    sync
    echo 3 >/proc/sys/vm/drop_caches
}

declare -A cmd
tools=("zumbrel-cli -t1" "zumbrel-cli -t$threads" du ncdu gdu)
cmd["zumbrel-cli -t1"]="$cli scan --threads 1 $tree"
cmd["zumbrel-cli -t$threads"]="$cli scan --threads $threads $tree"
cmd[du]="du -s --apparent-size $tree"
cmd[ncdu]="ncdu -0 -x -o /dev/null $tree"
cmd[gdu]="gdu -n -p $tree"
if [ -n "$floor" ]; then
    tools+=("floor -t1" "floor -t2")
    cmd["floor -t1"]="$floor -t 1 $tree"
    cmd["floor -t2"]="$floor -t 2 $tree"
fi
ref="zumbrel-cli -t$threads"

# Warm-up: every tool once (fills the cache for warm rounds).
for t in "${tools[@]}"; do ${cmd[$t]} >/dev/null 2>&1 || true; done

samples=$(mktemp)
stats=$(mktemp)
trap 'rm -f "$samples" "$stats"' EXIT
n=${#tools[@]}
for round in $(seq 0 $((runs - 1))); do
    for k in $(seq 0 $((n - 1))); do
        t=${tools[$(((k + round) % n))]}
        drop_caches
        /usr/bin/time -f '%e %U %S %M' -o "$stats" ${cmd[$t]} >/dev/null 2>&1 || true
        echo "$t|$(tail -n 1 "$stats")" >>"$samples"
    done
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
declare -A wall cpu rss
# The samples of one tool exactly ("du" must not take in the lines of ncdu and gdu).
of() { awk -F'|' -v t="$1" '$1 == t {print $2}' "$samples"; }
for t in "${tools[@]}"; do
    wall[$t]=$(of "$t" | awk '{print $1}' | median)
    cpu[$t]=$(of "$t" | awk '{print $2 + $3}' | median)
    rss[$t]=$(of "$t" | awk '{print $4}' | median)
done

echo "$runs rounds in rotating order, $( [ "$cold" = 1 ] && echo cold || echo warm ) cache, $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %9s %9s %11s %12s %12s\n' tool wall_s cpu_s peak_rss_MB bytes/entry "ratio"
for t in "${tools[@]}"; do
    awk -v t="$t" -v w="${wall[$t]}" -v c="${cpu[$t]}" -v r="${rss[$t]}" -v e="$entries" -v zw="${wall[$ref]}" \
        'BEGIN { printf "%-16s %9.3f %9.3f %11.1f %12.1f %12.2f\n", t, w, c, r / 1024, r * 1024 / e, (zw > 0 ? w / zw : 0) }'
done
echo "ratio: median wall time over that of '$ref'"
if [ -n "$floor" ]; then
    awk -v z="${wall[$ref]}" -v f="${wall["floor -t2"]}" -v zc="${cpu[$ref]}" -v fc="${cpu["floor -t2"]}" \
        'BEGIN { printf "'"$ref"' over floor -t2: wall %.2f, cpu %.2f\n", (f > 0 ? z / f : 0), (fc > 0 ? zc / fc : 0) }'
fi
