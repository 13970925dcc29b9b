#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times reelport on catalogues of the largest size the format allows.

For each shape, the catalogue is written by make_catalogue into
BUILD/bench-data/SHAPE. The tool then converts it RUNS times, each run a whole
process, and in turn with every run of the tool the baseline moves the same
bytes in the smallest process that can, bench/copy_baseline (plain C on the C
library alone): it reads the two databases as cat does, then copies the two
CSV files the tool wrote into a fresh file in 256 KiB writes. Both are started
the same way (the same spawn path, the same CPU with --cpu) and start from the
same state: the input in the page cache and none of their output files
present. Timed alongside and printed for information: the same copy in C++,
bench/copy_baseline_cxx, linked as the tool is (the C++ runtime linked in),
the baseline of earlier rounds; and two `cat` processes (the
databases to /dev/null, then the CSV files into a fresh file).

Printed per shape, in three tables: the median wall time of the tool
against the baseline, its time per record and its CPU time against the
baseline's; the other baselines' times, the tool's against them and theirs
beyond the baseline's; then each mode of the tool (the default run,
`--salvage`, `--utf8` of the same intact catalogue, as listed in MODES) with
its time against the default run's and, where it has a limit, its peak
resident memory. The CSV files are
checked against the checksums in bench/checksums.txt and, with --reference,
against a run of another build of the tool; the salvage run's files against
the default run's, and the UTF-8 run's against the default run's converted
byte by byte through the handheld's character table.

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
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional

SOURCE_DIR = Path(__file__).resolve().parent
CHECKSUMS = SOURCE_DIR / "checksums.txt"
INPUTS = ("CinecaseTapes.PDB", "CinecaseProgs.PDB")
OUTPUTS = ("CinecaseTapes.CSV", "CinecaseProgs.CSV")
BASELINE_OUTPUTS = ("baseline.out", "cat.out")
MIB = 1024 * 1024
WORKBOOK = ("Cinecase.xlsx",)

# The targets, on the shapes of the largest size.
TIMED_SHAPES = ("typical", "scattered", "random", "tape-order")
MAX_RATIO = 1.6            # tool time / C baseline time
AIMED_RATIO = 1.4
ORDER_SHAPES = ("scattered", "random")  # against typical, per record
MAX_ORDER_COST = 1.15      # their time per record / typical's time per record
MAX_SALVAGE_COST = 1.10    # salvage run time / default run time, intact catalogue
MAX_UTF8_COST = 1.15       # --utf8 run time / default run time
MAX_WORKBOOK_SECONDS = 1.5  # --xlsx run time, whatever the default run takes
WORKBOOK_MEMORY = 64 * MIB  # the --xlsx run's peak

# The handheld's character set, Palm OS Latin, in UTF-8: Windows-1252, with
# the handheld's own glyphs at 0x18 and 0x19 and its card suits at three of
# the five bytes Windows-1252 leaves undefined; the other two keep their code points.
PALM_LATIN = {byte: bytes([byte]).decode("cp1252", errors="ignore") or chr(byte) for byte in range(256)}
PALM_LATIN.update({0x18: "\u2026", 0x19: "\u2007", 0x8D: "\u2666", 0x8F: "\u2665", 0x90: "\u2660"})


def checksums(directory, names=OUTPUTS):
    return [hashlib.sha256((directory / name).read_bytes()).hexdigest() for name in names]


def in_utf8(directory):
    """The default run's CSV files converted byte by byte into UTF-8."""
    table = {byte: character for byte, character in PALM_LATIN.items() if chr(byte) != character}
    return [hashlib.sha256((directory / name).read_bytes().decode("latin-1").translate(table).encode()).hexdigest()
            for name in OUTPUTS]


def default_memory_limit(input_bytes):
    return 2 * input_bytes + 16 * MIB


@dataclass(frozen=True)
class Mode:
    """A run of the tool timed in every round, with its own column and targets.
    `expected` gives, from the default run's files in the directory, the
    checksums of this mode's `outputs`; None for the default run itself, which
    is checked against bench/checksums.txt."""
    name: str
    options: tuple = ()
    outputs: tuple = OUTPUTS
    expected: Optional[Callable[[Path], list]] = None
    max_cost: Optional[float] = None          # its time / the default run's time
    memory_limit: Optional[Callable[[int], int]] = None  # input bytes -> the most its peak may be
    max_seconds: Optional[float] = None       # the most its time may be


# The default run first: the others are measured against it.
MODES = (
    Mode("default", memory_limit=default_memory_limit),
    Mode("salvage", ("--salvage",), expected=checksums, max_cost=MAX_SALVAGE_COST),
    Mode("utf8", ("--utf8",), expected=in_utf8, max_cost=MAX_UTF8_COST),
    # The workbook is held to its own checks by the tests (tests/workbook_check.py);
    # here only that it is written, within its time and memory.
    Mode("xlsx", ("--xlsx",), outputs=WORKBOOK, expected=lambda directory: None,
         memory_limit=lambda input_bytes: WORKBOOK_MEMORY, max_seconds=MAX_WORKBOOK_SECONDS),
)
DEFAULT = MODES[0]


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
        print(f"{' '.join(command)} ended with status {process.returncode}", file=sys.stderr)
        sys.exit(2)
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


def remove_outputs(directory, names=None):
    """Removes the files of every run, or only `names`."""
    if names is None:
        names = set(BASELINE_OUTPUTS).union(*(mode.outputs for mode in MODES))
    for name in names:
        (directory / name).unlink(missing_ok=True)


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


def time_two_cats(directory, cpu):
    """`cat` of the tool's input to /dev/null, then `cat` of the tool's CSV
    files into a fresh file, two processes."""
    read = run_timed(["cat"] + [str(directory / name) for name in INPUTS], cpu)
    written = run_timed(["cat"] + [str(directory / name) for name in OUTPUTS], cpu, directory / "cat.out")
    return read[0] + written[0], read[1] + written[1]


def print_table(title, headings, rows):
    """Columns as wide as their widest cell, the first left-aligned."""
    widths = [max(len(cell) for cell in column) for column in zip(headings, *rows)]
    print(title)
    for row in (headings, *rows):
        print("  ".join(cell.ljust(width) if i == 0 else cell.rjust(width)
                        for i, (cell, width) in enumerate(zip(row, widths))).rstrip())
    print()


def ms(seconds):
    return f"{seconds * 1000:.1f} ms"


def mib(size):
    return f"{size / MIB:.2f} MiB" if size >= MIB else f"{size / 1024:.1f} KiB"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=SOURCE_DIR.parent / "build",
                        help="build folder holding reelport and bench/ with make_catalogue, copy_baseline and"
                        " copy_baseline_cxx (default: build)")
    parser.add_argument("--runs", type=int, default=21, help="timed runs of each side per shape (default 21)")
    parser.add_argument("--cpu", type=int, help="pin every timed process to this CPU with taskset")
    parser.add_argument("--shapes", default="typical,scattered,random,tape-order,small",
                        help="comma-separated shapes")
    parser.add_argument("--reference", type=Path, help="another reelport binary whose output must match")
    parser.add_argument("--record-checksums", action="store_true",
                        help="write bench/checksums.txt from this run instead of checking it")
    args = parser.parse_args()

    tool = (args.build / "reelport").resolve()
    maker = (args.build / "bench" / "make_catalogue").resolve()
    copier = (args.build / "bench" / "copy_baseline").resolve()
    copier_cxx = (args.build / "bench" / "copy_baseline_cxx").resolve()
    for binary in (tool, maker, copier, copier_cxx):
        if not binary.exists():
            sys.exit(f"{binary} not found: build first")
    if args.cpu is not None and shutil.which("taskset") is None:
        sys.exit("--cpu needs taskset")
    if not Path("/usr/bin/time").exists():
        sys.exit("/usr/bin/time (Debian package time) is needed to measure peak memory")

    # What the tool is timed against, each in every round right after the
    # default run, whose CSV files they copy. The first is the one the targets
    # are set against; the others are printed for information.
    baselines = {
        "C baseline": lambda directory: run_timed([str(copier), str(directory)], args.cpu),
        "C++ baseline": lambda directory: run_timed([str(copier_cxx), str(directory)], args.cpu),
        "two cats": lambda directory: time_two_cats(directory, args.cpu),
    }
    baseline = next(iter(baselines))

    def run_tool(mode, directory, cpu=None):
        return run_timed([str(tool), *mode.options, str(directory)], cpu)

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
        run_tool(DEFAULT, directory)  # also brings the files into the page cache
        found[shape] = checksums(directory)
        if not args.record_checksums and shape in expected and found[shape] != expected[shape]:
            print(f"{shape}: CHECKSUM MISMATCH with bench/checksums.txt", file=sys.stderr)
            checks_ok = False
        if args.reference and found[shape] != reference:
            print(f"{shape}: CHECKSUM MISMATCH with the reference build", file=sys.stderr)
            checks_ok = False
        wanted = {mode.name: mode.expected(directory) for mode in MODES[1:]}
        for mode in MODES[1:]:
            remove_outputs(directory)
            run_tool(mode, directory)
            if wanted[mode.name] is not None and checksums(directory, mode.outputs) != wanted[mode.name]:
                print(f"{shape}: the {mode.name} run's files differ from what the default run's give",
                      file=sys.stderr)
                checks_ok = False

    # Tool and baselines take turns, and so do the shapes, so that a change in
    # the machine's load falls on all of them alike. Every timed process
    # starts with none of its output files present; the baselines copy the
    # CSV files of the default run just before them.
    load_before = os.getloadavg()
    times = {kind: {shape: [] for shape in shapes} for kind in [mode.name for mode in MODES] + list(baselines)}
    for _ in range(args.runs):
        for shape, directory in directories.items():
            remove_outputs(directory)
            times[DEFAULT.name][shape].append(run_tool(DEFAULT, directory, args.cpu))
            for name, timed in baselines.items():
                # Both copies write baseline.out: truncating the other's would cost more than creating it.
                remove_outputs(directory, BASELINE_OUTPUTS)
                times[name][shape].append(timed(directory))
            for mode in MODES[1:]:
                remove_outputs(directory)
                times[mode.name][shape].append(run_tool(mode, directory, args.cpu))
    load_after = os.getloadavg()

    def median(kind, shape, part=0):
        return statistics.median(measured[part] for measured in times[kind][shape])

    results = {}
    for shape, directory in directories.items():
        result = {
            "records": sum(int.from_bytes((directory / name).read_bytes()[76:78], "big") for name in INPUTS),
            "input": sum((directory / name).stat().st_size for name in INPUTS),
            "cpu": {kind: median(kind, shape, 1) for kind in times},
            "peak": {},
        }
        result.update({kind: median(kind, shape) for kind in times})
        for mode in MODES:
            if mode.memory_limit:
                remove_outputs(directory)
                result["peak"][mode.name] = peak_memory([str(tool), *mode.options, str(directory)])
        remove_outputs(directory)
        run_tool(DEFAULT, directory)  # the default run's files stay, to look at
        result["output"] = sum((directory / name).stat().st_size for name in OUTPUTS)
        results[shape] = result

    if args.record_checksums:
        write_expected({**expected, **found})
        print(f"checksums recorded in {CHECKSUMS}")

    pinned = f", pinned to CPU {args.cpu}" if args.cpu is not None else ""
    print(f"{args.runs} runs of each, medians; {os.cpu_count()} cores{pinned}; load average (1, 5, 15 min)"
          f" {' '.join(f'{x:.2f}' for x in load_before)} before the timed runs,"
          f" {' '.join(f'{x:.2f}' for x in load_after)} after")
    informative = list(baselines)[1:]
    print(f"targets: the tool within {MAX_RATIO} times the {baseline} (aim {AIMED_RATIO});"
          f" {' and '.join(informative)} for information\n")

    headings = ["shape", "records", "input", "output", "tool", baseline, "ratio", "per record",
                "CPU: tool", f"CPU: {baseline}", "ratio"]
    rows = [[shape, str(r["records"]), mib(r["input"]), mib(r["output"]),
             ms(r["default"]), ms(r[baseline]), f"{r['default'] / r[baseline]:.2f}",
             f"{r['default'] / r['records'] * 1e9:.0f} ns" if shape in TIMED_SHAPES else "",
             ms(r["cpu"]["default"]), ms(r["cpu"][baseline]), f"{r['cpu']['default'] / r['cpu'][baseline]:.2f}"]
            for shape, r in results.items()]
    print_table(f"The tool against the {baseline} (wall time; CPU time: user + system)", headings, rows)

    # The other baselines' difference from the first is what their way of
    # moving the bytes costs: for the C++ copy, starting the C++ runtime.
    headings = ["shape", "tool", baseline]
    for name in informative:
        headings += [name, "ratio", "extra"]
    rows = []
    for shape, r in results.items():
        row = [shape, ms(r["default"]), ms(r[baseline])]
        for name in informative:
            row += [ms(r[name]), f"{r['default'] / r[name]:.2f}", ms(r[name] - r[baseline])]
        rows.append(row)
    print_table(f"For information (ratio: the tool's time over theirs; extra: their time over the {baseline}'s)",
                headings, rows)

    headings = ["shape"]
    for mode in MODES:
        headings += [mode.name] + (["/default"] if mode is not DEFAULT else [])
        headings += ["peak RSS", "limit"] if mode.memory_limit else []
    rows = []
    for shape, r in results.items():
        row = [shape]
        for mode in MODES:
            row += [ms(r[mode.name])] + ([f"{r[mode.name] / r['default']:.2f}"] if mode is not DEFAULT else [])
            if mode.memory_limit:
                row += [mib(r["peak"][mode.name]), mib(mode.memory_limit(r["input"]))]
        rows.append(row)
    print_table("The tool's modes (wall time; peak resident memory, by GNU time)", headings, rows)

    targets_ok = True

    def verdict(shape, what, value, limit, aim=None):
        nonlocal targets_ok
        if value > limit:
            print(f"  {shape}: {what} MISSES its target: {value:.2f} against {limit}")
            targets_ok = False
        elif aim is not None and value > aim:
            print(f"  {shape}: {what} within its target, above the aim: {value:.2f} against {limit} (aim {aim})")

    for shape, r in results.items():
        if shape not in TIMED_SHAPES:
            continue
        verdict(shape, f"time against the {baseline}", r["default"] / r[baseline], MAX_RATIO, AIMED_RATIO)
        for mode in MODES:
            if mode.max_cost is not None:
                verdict(shape, f"{mode.name} run against the default run", r[mode.name] / r["default"],
                        mode.max_cost)
            if mode.max_seconds is not None:
                verdict(shape, f"{mode.name} run in seconds", r[mode.name], mode.max_seconds)
            if mode.memory_limit and r["peak"][mode.name] > mode.memory_limit(r["input"]):
                print(f"  {shape}: peak memory of the {mode.name} run MISSES its limit")
                targets_ok = False
    if "typical" in results:
        typical = results["typical"]["default"] / results["typical"]["records"]
        for shape in ORDER_SHAPES:
            if shape in results:
                cost = results[shape]["default"] / results[shape]["records"] / typical
                met = "met" if cost <= MAX_ORDER_COST else "MISSED"
                print(f"{shape}/typical time per record: {cost:.2f} (target {MAX_ORDER_COST}: {met})")
                targets_ok = targets_ok and cost <= MAX_ORDER_COST
    print("targets: " + ("met" if targets_ok else "MISSED"))
    print("checksums: " + ("match" if checks_ok else "MISMATCH"))
    if not checks_ok:
        return 2
    return 0 if targets_ok else 1


if __name__ == "__main__":
    sys.exit(main())
