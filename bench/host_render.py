#!/usr/bin/env python3
"""One-shot `halyard-widget render --family large` as a whole process, against a floor.

The floor (build/bench/render_floor) is the least a one-shot picture of text costs: a program
that links Pango and Cairo, sets one bold string on an image of the same size and writes it
with Cairo's PNG writer. The two run pair by pair in the same run, in alternating order, so
that whatever else the machine does weighs on both alike. For each program it prints the
median wall time (to the microsecond, from a monotonic clock around spawn and wait) and the
peak resident memory (the kernel's rusage, what /usr/bin/time -v reports as "Maximum resident
set size"), and for the pairs the median of the time ratios and the ratio of the peaks.

Usage: bench/host_render.py [BUILD_DIR] [PAIRS] [PROGRAM]
PROGRAM stands in for BUILD_DIR's halyard-widget (to measure an earlier build in the same run).
"""
import os
import statistics
import sys
import tempfile

from whole_process import program_path, require, run

build = sys.argv[1] if len(sys.argv) > 1 else "build"
pairs = max(2, int(sys.argv[2]) if len(sys.argv) > 2 else 21)
program = program_path(sys.argv, 3, build, "halyard-widget")
floor = os.path.join(build, "bench", "render_floor")
require(program, floor)


with tempfile.TemporaryDirectory() as work:
    commands = {
        "render": [program, "render", "--family", "large", "-o",
                   os.path.join(work, "large.png")],
        "floor": [floor, os.path.join(work, "floor.png")],
    }
    devnull = os.open(os.devnull, os.O_WRONLY)
    for argv in commands.values():  # warms the page cache
        run(argv, devnull)
    results = {name: [] for name in commands}
    for i in range(pairs):
        order = ["render", "floor"] if i % 2 == 0 else ["floor", "render"]
        for name in order:
            results[name].append(run(commands[name], devnull))

    for name, samples in results.items():
        walls = [wall for wall, _ in samples]
        peaks = [peak for _, peak in samples]
        print(f"{name:6} {pairs} runs: median wall {statistics.median(walls):.1f} ms "
              f"({min(walls):.1f}-{max(walls):.1f}), peak RSS median "
              f"{statistics.median(peaks):.1f} MiB (max {max(peaks):.1f})")
    ratios = [r[0] / f[0] for r, f in zip(results["render"], results["floor"])]
    peak_ratio = (statistics.median(p for _, p in results["render"]) /
                  statistics.median(p for _, p in results["floor"]))
    print(f"render / floor, pair by pair: median time ratio {statistics.median(ratios):.2f} "
          f"(quartiles {statistics.quantiles(ratios, n=4)[0]:.2f}-"
          f"{statistics.quantiles(ratios, n=4)[2]:.2f}), peak memory ratio {peak_ratio:.2f}")
