#!/usr/bin/env python3
"""One-shot `halyard-widget render --family large` as a whole process.

Runs it RUNS times and prints the median wall time (to the microsecond, from a monotonic clock
around spawn and wait) and the peak resident memory of each run (the kernel's rusage, which is
what /usr/bin/time -v reports as "Maximum resident set size", whose wall time has only
centisecond steps).

Usage: bench/host_render.py [BUILD_DIR] [RUNS]
"""
import os
import statistics
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
program = os.path.join(build, "src", "widget", "halyard-widget")
if not os.access(program, os.X_OK):
    sys.exit(f"host_render: {program} is not built")

with tempfile.TemporaryDirectory() as work:
    argv = [program, "render", "--family", "large", "-o", os.path.join(work, "large.png")]
    devnull = os.open(os.devnull, os.O_WRONLY)
    walls, peaks = [], []
    for run in range(runs + 1):  # the first run only warms the page cache
        start = time.perf_counter()
        pid = os.posix_spawn(program, argv, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
        _, status, usage = os.wait4(pid, 0)
        wall = (time.perf_counter() - start) * 1000
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"host_render: render failed with status {status}")
        if run > 0:
            walls.append(wall)
            peaks.append(usage.ru_maxrss / 1024)
    print(f"render --family large, {runs} runs: median wall {statistics.median(walls):.1f} ms "
          f"({min(walls):.1f}-{max(walls):.1f}), peak RSS {max(peaks):.1f} MiB "
          f"(median {statistics.median(peaks):.1f})")
