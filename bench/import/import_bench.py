#!/usr/bin/env python3
"""Import, diff and scan figures of zumbrel-cli on generated trees.

usage: import_bench.py PATH-TO-zumbrel-cli [ENTRIES] [SCAN-ENTRIES]

Writes two ncdu JSON files of ENTRIES entries (default 1,000,000; 50 files per folder, the
second file with every 10th size changed and some folders renamed), then measures, each the
median of 3 runs in a fresh process:
  - `scan --import` of the first file: entries per second and peak memory per entry;
  - `diff` of the two files against the time of two imports plus 20 %;
  - `scan` of a folder of SCAN-ENTRIES empty files on disk (default 200,000): peak memory per
    entry of a real scan, the bound for the import's.
Peak memory is the process's maximum resident set minus that of a run on a tiny file.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
ENTRIES = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
SCAN_ENTRIES = int(sys.argv[3]) if len(sys.argv) > 3 else 200_000
PER_DIR = 50


def write_export(path, entries, changed):
    dirs = max(1, entries // (PER_DIR + 1))
    with open(path, "w") as f:
        f.write('[1,2,{"progname":"bench"},\n[{"name":"/bench"}')
        n = 1
        for d in range(dirs):
            name = "dir%06d" % d
            if changed and d % 97 == 0:
                name += "-renamed"
            parts = [',\n[{"name":"%s","mtime":1700000000}' % name]
            for i in range(PER_DIR):
                size = (d * 7919 + i * 104729) % 5_000_000
                if changed and i % 10 == 0:
                    size += 4096
                parts.append(',{"name":"file-%04d.dat","asize":%d,"dsize":%d,"mtime":%d}'
                             % (i, size, size + 4095 & ~4095, 1600000000 + i))
            parts.append("]")
            f.write("".join(parts))
            n += PER_DIR + 1
            if n >= entries:
                break
        f.write("]]\n")
    return n


def measure(args):
    """Wall seconds, peak resident kilobytes and processor seconds of one run. Through GNU
    time: a child of this Python process would inherit its peak as the starting value."""
    proc = subprocess.run(["/usr/bin/time", "-f", "%e %M %U %S", CLI] + args, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    if proc.returncode != 0:
        sys.exit("%s failed" % " ".join(args))
    wall, kb, user, system = proc.stderr.decode().strip().splitlines()[-1].split()
    return float(wall), int(kb), float(user) + float(system)


CPU = {}


def median_of(args, runs=3):
    """Median wall seconds and peak kilobytes; the median processor seconds go to CPU. On a
    busy machine the wall time says more about the neighbours than about the program."""
    results = [measure(args) for _ in range(runs)]
    CPU[tuple(args)] = statistics.median(r[2] for r in results)
    return statistics.median(r[0] for r in results), statistics.median(r[1] for r in results)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        old = os.path.join(tmp, "old.json")
        new = os.path.join(tmp, "new.json")
        tiny = os.path.join(tmp, "tiny.json")
        count = write_export(old, ENTRIES, False)
        write_export(new, ENTRIES, True)
        with open(tiny, "w") as f:
            json.dump([1, 2, {}, [{"name": "/t"}]], f)
        _, base_kb = median_of(["scan", "--import", tiny])

        import_s, import_kb = median_of(["scan", "--import", old])
        diff_s, _ = median_of(["diff", old, new])
        import_cpu = CPU[("scan", "--import", old)]
        diff_cpu = CPU[("diff", old, new)]
        print("load average: %.1f on %d cores" % (os.getloadavg()[0], os.cpu_count()))
        print("import: %d entries, %.3f s, %.0f entries/s (goal >= 1,000,000); processor time %.3f s, %.0f entries/s"
              % (count, import_s, count / import_s, import_cpu, count / max(import_cpu, 0.01)))
        import_per_entry = (import_kb - base_kb) * 1024 / count
        print("import: peak memory %.1f bytes per entry" % import_per_entry)
        print("diff of two files: %.3f s; two imports + 20 %%: %.3f s (goal: below); processor time %.3f s "
              "against %.3f s" % (diff_s, 2 * import_s * 1.2, diff_cpu, 2 * import_cpu * 1.2))

        folder = os.path.join(tmp, "scan")
        os.mkdir(folder)
        made = 0
        d = 0
        while made < SCAN_ENTRIES:
            sub = os.path.join(folder, "dir%06d" % d)
            os.mkdir(sub)
            made += 1
            for i in range(PER_DIR):
                open(os.path.join(sub, "file-%04d.dat" % i), "w").close()
                made += 1
            d += 1
        scan_s, scan_kb = median_of(["scan", "--no-grouping", folder])
        import_small = os.path.join(tmp, "scan.json")
        subprocess.run([CLI, "export", "--format", "ncdu", "--no-grouping", "--output", import_small, folder],
                       check=True, capture_output=True)
        small_s, small_kb = median_of(["scan", "--no-grouping", "--import", import_small])
        print("scan of %d entries on disk: %.3f s, peak memory %.1f bytes per entry"
              % (made, scan_s, (scan_kb - base_kb) * 1024 / made))
        print("import of the same tree: %.3f s, peak memory %.1f bytes per entry (goal: within the scan's)"
              % (small_s, (small_kb - base_kb) * 1024 / made))


if __name__ == "__main__":
    main()
