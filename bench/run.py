#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times reelport on catalogues of the largest size the format allows.

For each shape, the catalogue is written by make_catalogue into
BUILD/bench-data/SHAPE. The tool then converts it RUNS times, each run a whole
process, and in turn with every run of the tool the baseline moves the same
bytes in one process, bench/copy_baseline: it reads the two databases as cat
does, then copies the two CSV files the tool wrote into a fresh file in 64 KiB
writes. Both are started the same way (the same spawn path, the same CPU with
--cpu) and start from the same state: the input in the page cache and none of
their output files present. The former baseline, two `cat` processes (the
databases to /dev/null, then the CSV files into a fresh file), is timed
alongside and printed for information.

Printed per shape: the median wall time of the tool and of the baseline, their
ratio, the tool's time per record, its peak resident memory against the size
of its input, and the times of a salvage run (`reelport --salvage`) and of a
UTF-8 run (`reelport --utf8`) of the same intact catalogue against the
default run's. The CSV files are checked against the checksums in
bench/checksums.txt (recorded with the plain build before any optimisation),
and, with --reference, against a run of another build of the tool; the salvage
run's files against the default run's, and the UTF-8 run's against the
default run's converted byte by byte through the handheld's character table.

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
BASELINE_OUTPUTS = ("baseline.out", "cat.out")
MIB = 1024 * 1024

# The targets, on the shapes of the largest size.
TIMED_SHAPES = ("typical", "scattered", "random")
MAX_RATIO = 1.75           # tool time / baseline time
AIMED_RATIO = 1.5
MAX_ORDER_COST = 1.15      # scattered or random time per record / typical time per record
MAX_SALVAGE_COST = 1.10    # salvage run time / default run time, intact catalogue
MAX_UTF8_COST = 1.15       # --utf8 run time / default run time

# The handheld's character set, Palm OS Latin, in UTF-8: Windows-1252, with
# the handheld's own glyphs at 0x18 and 0x19 and its card suits at three of
# the five bytes Windows-1252 leaves undefined; the other two keep their code points.
PALM_LATIN = {byte: bytes([byte]).decode("cp1252", errors="ignore") or chr(byte) for byte in range(256)}
PALM_LATIN.update({0x18: "\u2026", 0x19: "\u2007", 0x8D: "\u2666", 0x8F: "\u2665", 0x90: "\u2660"})


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


def remove_outputs(directory, names=OUTPUTS + BASELINE_OUTPUTS):
    for name in names:
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


def in_utf8(directory):
    """The default run's CSV files converted byte by byte into UTF-8."""
    table = {byte: character for byte, character in PALM_LATIN.items() if chr(byte) != character}
    return [hashlib.sha256((directory / name).read_bytes().decode("latin-1").translate(table).encode()).hexdigest()
            for name in OUTPUTS]


def time_two_cats(directory, cpu):
    """The former baseline: `cat` of the tool's input to /dev/null, then `cat`
    of the tool's CSV files into a fresh file, two processes."""
    read = run_timed(["cat"] + [str(directory / name) for name in INPUTS], cpu)
    written = run_timed(["cat"] + [str(directory / name) for name in OUTPUTS], cpu, directory / "cat.out")
    return read[0] + written[0], read[1] + written[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=SOURCE_DIR.parent / "build",
                        help="build folder holding reelport, bench/make_catalogue and bench/copy_baseline"
                        " (default: build)")
    parser.add_argument("--runs", type=int, default=21, help="timed runs of each side per shape (default 21)")
    parser.add_argument("--cpu", type=int, help="pin every timed process to this CPU with taskset")
    parser.add_argument("--shapes", default="typical,scattered,random,small", help="comma-separated shapes")
    parser.add_argument("--reference", type=Path, help="another reelport binary whose output must match")
    parser.add_argument("--record-checksums", action="store_true",
                        help="write bench/checksums.txt from this run instead of checking it")
    args = parser.parse_args()

    tool = (args.build / "reelport").resolve()
    maker = (args.build / "bench" / "make_catalogue").resolve()
    copier = (args.build / "bench" / "copy_baseline").resolve()
    for binary in (tool, maker, copier):
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
        utf8 = in_utf8(directory)
        remove_outputs(directory)
        run_timed([str(tool), "--salvage", str(directory)], None)
        if checksums(directory) != found[shape]:
            print(f"{shape}: the salvage run's CSV files differ from the default run's", file=sys.stderr)
            checks_ok = False
        remove_outputs(directory)
        run_timed([str(tool), "--utf8", str(directory)], None)
        if checksums(directory) != utf8:
            print(f"{shape}: the UTF-8 run's CSV files differ from the default run's in UTF-8", file=sys.stderr)
            checks_ok = False

    # Tool and baseline take turns, and so do the shapes, so that a change in
    # the machine's load falls on all of them alike. Every timed process
    # starts with none of its output files present; the baselines copy the
    # CSV files of the default run just before them.
    times = {kind: {shape: [] for shape in shapes} for kind in ("tool", "baseline", "cats", "salvage", "utf8")}
    for _ in range(args.runs):
        for shape, directory in directories.items():
            remove_outputs(directory)
            times["tool"][shape].append(run_timed([str(tool), str(directory)], args.cpu))
            times["baseline"][shape].append(run_timed([str(copier), str(directory)], args.cpu))
            times["cats"][shape].append(time_two_cats(directory, args.cpu))
            remove_outputs(directory)
            times["salvage"][shape].append(run_timed([str(tool), "--salvage", str(directory)], args.cpu))
            remove_outputs(directory)
            times["utf8"][shape].append(run_timed([str(tool), "--utf8", str(directory)], args.cpu))

    def median(kind, shape, part=0):
        return statistics.median(measured[part] for measured in times[kind][shape])

    results = {}
    for shape, directory in directories.items():
        remove_outputs(directory)
        run_timed([str(tool), str(directory)], None)  # the default run's files stay, to look at
        results[shape] = {
            "records": sum(int.from_bytes((directory / name).read_bytes()[76:78], "big") for name in INPUTS),
            "input": sum((directory / name).stat().st_size for name in INPUTS),
            "output": sum((directory / name).stat().st_size for name in OUTPUTS),
            "tool": median("tool", shape),
            "baseline": median("baseline", shape),
            "cats": median("cats", shape),
            "tool cpu": median("tool", shape, 1),
            "baseline cpu": median("baseline", shape, 1),
            "salvage": median("salvage", shape),
            "utf8": median("utf8", shape),
            "peak": peak_memory([str(tool), str(directory)]),
        }

    if args.record_checksums:
        write_expected({**expected, **found})
        print(f"checksums recorded in {CHECKSUMS}")

    cores = os.cpu_count()
    pinned = f", pinned to CPU {args.cpu}" if args.cpu is not None else ""
    print(f"{args.runs} runs per side, medians; {cores} cores{pinned}")
    print("baseline: bench/copy_baseline, one process; 'two cats': the former baseline of two cat processes")
    print(f"{'shape':<10} {'records':>8} {'input':>9} {'output':>9} {'tool':>9} {'baseline':>9} {'ratio':>6}"
          f" {'per record':>11} {'peak RSS':>9} {'limit':>9}   CPU: {'tool':>7} {'baseline':>8} {'ratio':>5}"
          f"   {'salvage':>9} {'/tool':>5}   {'utf8':>9} {'/tool':>5}   {'two cats':>9} {'ratio':>5}")
    targets_ok = True
    for shape, r in results.items():
        limit = 2 * r["input"] + 16 * MIB
        ratio = r["tool"] / r["baseline"]
        print(f"{shape:<10} {r['records']:>8} {r['input'] / MIB:>7.2f}Mi {r['output'] / MIB:>7.2f}Mi"
              f" {r['tool'] * 1000:>7.1f}ms {r['baseline'] * 1000:>7.1f}ms {ratio:>6.2f}"
              f" {r['tool'] / r['records'] * 1e9:>9.0f}ns {r['peak'] / MIB:>7.1f}Mi {limit / MIB:>7.1f}Mi"
              f"        {r['tool cpu'] * 1000:>5.1f}ms {r['baseline cpu'] * 1000:>6.1f}ms"
              f" {r['tool cpu'] / r['baseline cpu']:>5.2f}"
              f"   {r['salvage'] * 1000:>7.1f}ms {r['salvage'] / r['tool']:>5.2f}"
              f"   {r['utf8'] * 1000:>7.1f}ms {r['utf8'] / r['tool']:>5.2f}"
              f"   {r['cats'] * 1000:>7.1f}ms {r['tool'] / r['cats']:>5.2f}")
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
            if r["utf8"] > MAX_UTF8_COST * r["tool"]:
                print(f"  {shape}: UTF-8 run MISSES its target of {MAX_UTF8_COST} times the default run")
                targets_ok = False
    if "typical" in results:
        typical = results["typical"]["tool"] / results["typical"]["records"]
        for shape in TIMED_SHAPES[1:]:
            if shape in results:
                cost = results[shape]["tool"] / results[shape]["records"] / typical
                verdict = "met" if cost <= MAX_ORDER_COST else "MISSED"
                print(f"{shape}/typical time per record: {cost:.2f} (target {MAX_ORDER_COST}: {verdict})")
                targets_ok = targets_ok and cost <= MAX_ORDER_COST
    print("checksums: " + ("match" if checks_ok else "MISMATCH"))
    if not checks_ok:
        return 2
    return 0 if targets_ok else 1


if __name__ == "__main__":
    sys.exit(main())
