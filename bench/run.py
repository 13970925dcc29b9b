#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times reelport on catalogues of the largest size the format allows.

For each shape, the catalogue is written by make_catalogue into
BUILD/bench-data/SHAPE. The tool then converts it RUNS times, each run a whole
process, and in turn with every run of the tool a byte-copy baseline moves the
same bytes: `cat` of the two databases to /dev/null, then `cat` of the two CSV
files the tool wrote into a fresh file. Both start from the same state: the
input in the page cache and no output file present.

Printed per shape: the median wall time of the tool and of the baseline, their
ratio, the tool's time per record, its peak resident memory against the size
of its input, and the time of a salvage run (`reelport --salvage`) of the same
intact catalogue against the default run's. The CSV files are checked against the checksums in
bench/checksums.txt (recorded with the plain build before any optimisation),
and, with --reference, against a run of another build of the tool.

Exit status: 0 when every checksum matches and every target is met, 1 when a
target is missed, 2 on a checksum mismatch or a failed run.
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parent
CHECKSUMS = SOURCE_DIR / "checksums.txt"
INPUTS = ("CinecaseTapes.PDB", "CinecaseProgs.PDB")
OUTPUTS = ("CinecaseTapes.CSV", "CinecaseProgs.CSV")
MIB = 1024 * 1024

# The targets, on the two shapes of the largest size.
TIMED_SHAPES = ("typical", "scattered")
MAX_RATIO = 2.0            # tool time / baseline time
AIMED_RATIO = 1.75
MAX_SCATTERED_COST = 1.3   # scattered time per record / typical time per record
MAX_SALVAGE_COST = 1.10    # salvage run time / default run time, intact catalogue


def run_timed(command, cpu, output=None):
    """Runs a command as one process, its standard output to /dev/null or into a
    fresh file `output`; returns its wall and its CPU (user + system) seconds."""
    if cpu is not None:
        command = ["taskset", "-c", str(cpu)] + command
    start = time.perf_counter()
    with open(output or os.devnull, "wb") as stdout:
        process = subprocess.Popen(command, stdout=stdout)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{' '.join(command)} ended with status {process.returncode}")
    return elapsed, usage.ru_utime + usage.ru_stime


def peak_memory(command):
    """The peak resident memory of a command in bytes, as GNU time sees it: its
    child starts from the small time process. (Linux carries a parent's peak
    over fork and exec, so the peak that wait4 reports for a child of this
    script is at least this script's own size.)"""
    with tempfile.NamedTemporaryFile(mode="r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command,
                       stdout=subprocess.DEVNULL, check=True)
        return int(report.read().split()[-1]) * 1024


def remove_outputs(directory):
    for name in OUTPUTS + ("baseline.out",):
        (directory / name).unlink(missing_ok=True)


def checksums(directory):
    return [hashlib.sha256((directory / name).read_bytes()).hexdigest() for name in OUTPUTS]


def read_expected():
    expected = {}
    if CHECKSUMS.exists():
        for line in CHECKSUMS.read_text().splitlines():
            if line and not line.startswith("#"):
                shape, tapes, progs = line.split()
                expected[shape] = [tapes, progs]
    return expected


def write_expected(found):
    lines = ["# shape, SHA-256 of CinecaseTapes.CSV and of CinecaseProgs.CSV, made by bench/run.py"]
    lines += [f"{shape} {tapes} {progs}" for shape, (tapes, progs) in sorted(found.items())]
    CHECKSUMS.write_text("\n".join(lines) + "\n")


def time_baseline(directory, cpu):
    """The byte-copy baseline: reads the tool's input, and writes as many bytes
    as the tool into a fresh file, by copying the tool's CSV files."""
    read = run_timed(["cat"] + [str(directory / name) for name in INPUTS], cpu)
    written = run_timed(["cat"] + [str(directory / name) for name in OUTPUTS], cpu, directory / "baseline.out")
    return read[0] + written[0], read[1] + written[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=SOURCE_DIR.parent / "build",
                        help="build folder holding reelport and bench/make_catalogue (default: build)")
    parser.add_argument("--runs", type=int, default=21, help="timed runs of each side per shape (default 21)")
    parser.add_argument("--cpu", type=int, help="pin every timed process to this CPU with taskset")
    parser.add_argument("--shapes", default="typical,scattered,small", help="comma-separated shapes")
    parser.add_argument("--reference", type=Path, help="another reelport binary whose output must match")
    parser.add_argument("--record-checksums", action="store_true",
                        help="write bench/checksums.txt from this run instead of checking it")
    args = parser.parse_args()

    tool = (args.build / "reelport").resolve()
    maker = (args.build / "bench" / "make_catalogue").resolve()
    for binary in (tool, maker):
        if not binary.exists():
            sys.exit(f"{binary} not found: build first")
    if args.cpu is not None and shutil.which("taskset") is None:
        sys.exit("--cpu needs taskset")
    if not Path("/usr/bin/time").exists():
        sys.exit("/usr/bin/time (Debian package time) is needed to measure peak memory")

    expected = read_expected()
    shapes = args.shapes.split(",")
    directories = {shape: (args.build / "bench-data" / shape).resolve() for shape in shapes}
    found = {}
    checks_ok = True
    for shape, directory in directories.items():
        directory.mkdir(parents=True, exist_ok=True)
        subprocess.run([str(maker), shape, str(directory)], check=True)
        if args.reference:
            remove_outputs(directory)
            run_timed([str(args.reference.resolve()), str(directory)], None)
            reference = checksums(directory)
        remove_outputs(directory)
        run_timed([str(tool), str(directory)], None)  # also brings the files into the page cache
        found[shape] = checksums(directory)
        if not args.record_checksums and shape in expected and found[shape] != expected[shape]:
            print(f"{shape}: CHECKSUM MISMATCH with bench/checksums.txt", file=sys.stderr)
            checks_ok = False
        if args.reference and found[shape] != reference:
            print(f"{shape}: CHECKSUM MISMATCH with the reference build", file=sys.stderr)
            checks_ok = False

    # Tool and baseline take turns, and so do the shapes, so that a change in
    # the machine's load falls on all of them alike.
    tool_times = {shape: [] for shape in shapes}
    salvage_times = {shape: [] for shape in shapes}
    baseline_times = {shape: [] for shape in shapes}
    for _ in range(args.runs):
        for shape, directory in directories.items():
            remove_outputs(directory)
            tool_times[shape].append(run_timed([str(tool), str(directory)], args.cpu))
            baseline_times[shape].append(time_baseline(directory, args.cpu))
            remove_outputs(directory)
            salvage_times[shape].append(run_timed([str(tool), "--salvage", str(directory)], args.cpu))

    results = {}
    for shape, directory in directories.items():
        (directory / "baseline.out").unlink(missing_ok=True)
        # The files of the last salvage run, of an intact catalogue: the default run's.
        if checksums(directory) != found[shape]:
            print(f"{shape}: the salvage run's CSV files differ from the default run's", file=sys.stderr)
            checks_ok = False
        results[shape] = {
            "records": sum(int.from_bytes((directory / name).read_bytes()[76:78], "big") for name in INPUTS),
            "input": sum((directory / name).stat().st_size for name in INPUTS),
            "output": sum((directory / name).stat().st_size for name in OUTPUTS),
            "tool": statistics.median(wall for wall, _ in tool_times[shape]),
            "baseline": statistics.median(wall for wall, _ in baseline_times[shape]),
            "tool cpu": statistics.median(cpu for _, cpu in tool_times[shape]),
            "salvage": statistics.median(wall for wall, _ in salvage_times[shape]),
            "baseline cpu": statistics.median(cpu for _, cpu in baseline_times[shape]),
            "peak": peak_memory([str(tool), str(directory)]),
        }

    if args.record_checksums:
        write_expected({**expected, **found})
        print(f"checksums recorded in {CHECKSUMS}")

    cores = os.cpu_count()
    pinned = f", pinned to CPU {args.cpu}" if args.cpu is not None else ""
    print(f"{args.runs} runs per side, medians; {cores} cores{pinned}")
    print(f"{'shape':<10} {'records':>8} {'input':>9} {'output':>9} {'tool':>9} {'baseline':>9} {'ratio':>6}"
          f" {'per record':>11} {'peak RSS':>9} {'limit':>9}   CPU: {'tool':>7} {'baseline':>8} {'ratio':>5}"
          f"   {'salvage':>9} {'/tool':>5}")
    targets_ok = True
    for shape, r in results.items():
        limit = 2 * r["input"] + 16 * MIB
        ratio = r["tool"] / r["baseline"]
        print(f"{shape:<10} {r['records']:>8} {r['input'] / MIB:>7.2f}Mi {r['output'] / MIB:>7.2f}Mi"
              f" {r['tool'] * 1000:>7.1f}ms {r['baseline'] * 1000:>7.1f}ms {ratio:>6.2f}"
              f" {r['tool'] / r['records'] * 1e9:>9.0f}ns {r['peak'] / MIB:>7.1f}Mi {limit / MIB:>7.1f}Mi"
              f"        {r['tool cpu'] * 1000:>5.1f}ms {r['baseline cpu'] * 1000:>6.1f}ms"
              f" {r['tool cpu'] / r['baseline cpu']:>5.2f}"
              f"   {r['salvage'] * 1000:>7.1f}ms {r['salvage'] / r['tool']:>5.2f}")
        if shape in TIMED_SHAPES:
            if ratio > MAX_RATIO:
                print(f"  {shape}: time ratio {ratio:.2f} MISSES the target of {MAX_RATIO}")
                targets_ok = False
            elif ratio > AIMED_RATIO:
                print(f"  {shape}: time ratio {ratio:.2f} within {MAX_RATIO}, above the aim of {AIMED_RATIO}")
            if r["peak"] > limit:
                print(f"  {shape}: peak memory MISSES the limit")
                targets_ok = False
            if r["salvage"] > MAX_SALVAGE_COST * r["tool"]:
                print(f"  {shape}: salvage run MISSES its target of {MAX_SALVAGE_COST} times the default run")
                targets_ok = False
    if all(shape in results for shape in TIMED_SHAPES):
        per_record = {shape: results[shape]["tool"] / results[shape]["records"] for shape in TIMED_SHAPES}
        cost = per_record["scattered"] / per_record["typical"]
        verdict = "met" if cost <= MAX_SCATTERED_COST else "MISSED"
        print(f"scattered/typical time per record: {cost:.2f} (target {MAX_SCATTERED_COST}: {verdict})")
        targets_ok = targets_ok and cost <= MAX_SCATTERED_COST
    print("checksums: " + ("match" if checks_ok else "MISMATCH"))
    if not checks_ok:
        return 2
    return 0 if targets_ok else 1


if __name__ == "__main__":
    sys.exit(main())
