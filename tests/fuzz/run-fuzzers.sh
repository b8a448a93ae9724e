#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them side by side at the lowest priority, each
# for SECONDS (default 600), on copies of the seed corpora, so that the repository only keeps
# the seeds. Logs and new corpus entries stay in WORK (default /dev/shm/zumbrel-fuzz-work).
#   tests/fuzz/run-fuzzers.sh [SECONDS] [TARGET...]   (targets: ini_file mru_dir_list cli_args log_config)
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$(pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini_file mru_dir_list cli_args)
build=${ZUMBREL_FUZZ_BUILD:-$repo/build-fuzz}
work=${ZUMBREL_FUZZ_WORK:-/dev/shm/zumbrel-fuzz-work}

if [ ! -f "$build/build.ninja" ]; then
    CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUMBREL_FUZZ=ON \
        -DZUMBREL_SANITIZE=ON -DZUMBREL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

mkdir -p "$work"
pids=()
for t in "${targets[@]}"; do
    corpus_name=$t
    [ "$t" = log_config ] || corpus_name=${t%_file}
    [ "$t" = mru_dir_list ] && corpus_name=mru
    [ "$t" = cli_args ] && corpus_name=cli
    seeds=$repo/tests/fuzz/corpus/$corpus_name
    opts=(-max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=3072)
    case $t in
        cli_args)
            # A folder to change the root to: a small tree to scan, a home, /dev/null, the corpus.
            sandbox=$work/zumbrel-fuzz-cli
            rm -rf "$sandbox"
            mkdir -p "$sandbox"/{tree/a/b,tree/c,home,dev,corpus}
            printf 'x%.0s' {1..5000} >"$sandbox/tree/a/b/file"
            printf 'small' >"$sandbox/tree/c/small"
            ln -s ../a "$sandbox/tree/c/link"
            mknod -m 666 "$sandbox/dev/null" c 1 3
            mknod -m 666 "$sandbox/dev/full" c 1 7
            cp "$repo/tests/fuzz/cli_args.dict" "$sandbox/"
            # Paths after the first are read inside the new root. The scans leak their trees on
            # purpose (the program exits right after them), and there is no /proc to check leaks.
            # The corpus sits on a tmpfs of a private mount namespace: a mount point that scans of
            # "/" do not enter, gone with the run.
            (cd "$sandbox" && ASAN_OPTIONS=detect_leaks=0 exec unshare -m sh -c '
                mount --make-rprivate / && mount -t tmpfs -o size=256m none corpus && cp "$0"/* corpus/ &&
                exec nice -n 19 "$@"' "$seeds" "$build/bin/fuzz_$t" "${opts[@]}" \
                -detect_leaks=0 -close_fd_mask=3 -dict=cli_args.dict corpus >"$work/$t.log" 2>&1) &
            ;;
        *)
            mkdir -p "$work/corpus-$t"
            cp "$seeds"/* "$work/corpus-$t/"
            dict=()
            [ "$t" = log_config ] && dict=(-dict="$repo/tests/fuzz/log_config.dict")
            (cd "$work" && exec nice -n 19 "$build/bin/fuzz_$t" "${opts[@]}" "${dict[@]}" -close_fd_mask=2 \
                "$work/corpus-$t" >"$work/$t.log" 2>&1) &
            ;;
    esac
    pids+=($!)
done
status=0
# Only the folders of our own fuzzers: another run of this script may still be going.
trap 'for p in "${pids[@]}"; do rm -rf "/dev/shm/zumbrel-fuzz-ini-$p"; done' EXIT
for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
        echo "fuzz_${targets[$i]}: clean; $(grep -E 'stat::number_of_executed_units' "$work/${targets[$i]}.log")"
    else
        echo "fuzz_${targets[$i]}: FOUND A PROBLEM, see $work/${targets[$i]}.log"
        status=1
    fi
done
exit $status
