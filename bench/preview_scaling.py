#!/usr/bin/env python3
"""Whole-process `halyard-widget preview --family large` for 1 000, 10 000 and 100 000
repositories.

The snapshot documents are written by the project's own writer (`decode_memory --generate`,
which encodes a generated WidgetSnapshot) into a temporary folder. Each round runs the three
sizes once, in turn, so that whatever else the machine does weighs on all of them alike; it
prints for each size the median wall time (monotonic clock around spawn and wait) and the
median peak resident memory (the kernel's rusage), then the ratios the goals are stated in.

Usage: bench/preview_scaling.py [BUILD_DIR] [ROUNDS] [PROGRAM]
PROGRAM stands in for BUILD_DIR's halyard-widget (to measure an earlier build in the same way).
"""
import os
import statistics
import subprocess
import sys
import tempfile

from whole_process import program_path, require, run

build = sys.argv[1] if len(sys.argv) > 1 else "build"
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 11
program = program_path(sys.argv, 3, build, "halyard-widget")
generator = os.path.join(build, "bench", "decode_memory")
require(program, generator)
sizes = [1000, 10000, 100000]


with tempfile.TemporaryDirectory() as work:
    files = {}
    for n in sizes:
        files[n] = os.path.join(work, f"repos-{n}.json")
        subprocess.run([generator, "--generate", str(n), files[n]], check=True)
    commands = {n: [program, "preview", files[n], "--family", "large",
                    "--date", "2026-03-14T10:00:00Z", "-o", os.path.join(work, f"{n}.png")]
                for n in sizes}
    devnull = os.open(os.devnull, os.O_WRONLY)
    for argv in commands.values():  # warms the page cache
        run(argv, devnull)
    results = {n: [] for n in sizes}
    for _ in range(rounds):
        for n in sizes:
            results[n].append(run(commands[n], devnull))

    wall = {n: statistics.median(w for w, _ in results[n]) for n in sizes}
    peak = {n: statistics.median(p for _, p in results[n]) for n in sizes}
    mib = {n: os.path.getsize(files[n]) / (1024 * 1024) for n in sizes}
    for n in sizes:
        walls = [w for w, _ in results[n]]
        print(f"{n:>6} repositories ({mib[n]:.2f} MiB file), {rounds} runs: median wall "
              f"{wall[n]:.1f} ms ({min(walls):.1f}-{max(walls):.1f}), median peak RSS "
              f"{peak[n]:.1f} MiB = {peak[n] / mib[n]:.1f} x the file")
    print(f"100 000 / 1 000: time {wall[100000] / wall[1000]:.2f} x; "
          f"10 000 -> 100 000: time {wall[100000] / wall[10000]:.2f} x for "
          f"{mib[100000] / mib[10000]:.2f} x the file")
