"""What the whole-process benchmarks share: running a program once and reading its cost."""
import os
import sys
import time


def program_path(argv, index, build, name):
    """argv[index] when given, else the program `name` in BUILD's tree."""
    return argv[index] if len(argv) > index else os.path.join(build, "src", "widget", name)


def require(*paths):
    for path in paths:
        if not os.access(path, os.X_OK):
            sys.exit(f"{os.path.basename(sys.argv[0])}: {path} is not built")


def run(argv, devnull):
    """Wall milliseconds (monotonic clock around spawn and wait) and peak resident MiB (the
    kernel's rusage, what /usr/bin/time -v calls "Maximum resident set size") of one run."""
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter() - start) * 1000
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{os.path.basename(sys.argv[0])}: {' '.join(argv)} failed with status {status}")
    return wall, usage.ru_maxrss / 1024
