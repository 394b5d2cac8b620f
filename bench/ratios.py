#!/usr/bin/env python3
"""The speed goals of the host program, measured side by side in one run.

Drives a built `ticket2dict` on task files that
`t2d_bench --write-compact-task=N:FILE` generates (the typical job repeated N
times on one master, four inks each, without indentation) and
prints each measure as a ratio next to its goal:

  1. end to end, 10,000 jobs: `ticket2dict run` against `jq -c .` on the same
     file (and against simdjson's DOM parse of it, when `t2d_simdjson_parse`
     was built because libsimdjson-dev is installed);
  2. peak memory of `run` at 10,000 jobs (`/usr/bin/time -v`, "Maximum
     resident set size") against the task file's size;
  3. time per job at 10,000 jobs against at 1,000 jobs (the time of a run on
     one job, starting the program, taken off both);
  4. `ticket2dict test -j N` over 200 task files (50 jobs each) at N = the
     number of cores against N = 1 (speed-up divided by N);
  5. `run --trace` against `run`, 1,000 jobs.

Times are wall-clock, the best of --repeat runs (a shared machine makes single
runs noisy; the best is the run least disturbed).

  bench/ratios.py [--build BUILD_FOLDER] [--repeat K] [--smoke]

--smoke uses small task files and one run of each: it checks that the harness
and the programs it drives work, the figures mean nothing.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time


def fail(message):
    sys.exit("ratios.py: " + message)


def run(command, **kwargs):
    """Runs a command, its standard output discarded; fails with its error text when it fails."""
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **kwargs)
    if done.returncode != 0:
        fail("%s exited with %d: %s" % (" ".join(command), done.returncode,
                                        done.stderr.decode(errors="replace").strip()[-2000:]))
    return done


def best_time(command, repeat, **kwargs):
    best = None
    for _ in range(repeat):
        start = time.perf_counter()
        run(command, **kwargs)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def show_time(seconds):
    if seconds >= 1.0:
        return "%.2f s" % seconds
    return "%.1f ms" % (seconds * 1e3)


def show_size(size):
    return "%.1f MB" % (size / 1e6)


class Report:
    def __init__(self):
        self.rows = []

    def ratio(self, name, value, goal, detail, at_most=True):
        holds = value <= goal if at_most else value >= goal
        self.rows.append((name, "%.2f" % value, ("≤ " if at_most else "≥ ") + "%.3g" % goal,
                          "holds" if holds else "missed", detail))

    def skipped(self, name, goal, reason):
        self.rows.append((name, "-", goal, "skipped", reason))

    def print(self):
        print()
        print("| Ratio | Value | Goal | | Measured |")
        print("|---|---|---|---|---|")
        for row in self.rows:
            print("| %s |" % " | ".join(row))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"),
                        help="build folder holding bench/t2d_bench and host/ticket2dict (default: build)")
    parser.add_argument("--repeat", type=int, default=3, help="runs of each measure, the best counts (default 3)")
    parser.add_argument("--smoke", action="store_true", help="small task files, one run each: checks the harness")
    args = parser.parse_args()
    if args.repeat < 1:
        fail("--repeat must be at least 1")

    build = os.path.abspath(args.build)
    bench = os.path.join(build, "bench", "t2d_bench")
    host = os.path.join(build, "host", "ticket2dict")
    simdjson_parse = os.path.join(build, "bench", "t2d_simdjson_parse")
    for program in (bench, host):
        if not os.access(program, os.X_OK):
            fail("%s is not built (cmake --build %s --target ticket2dict t2d_bench)" % (program, build))
    jq = shutil.which("jq")
    gnu_time = "/usr/bin/time"
    if not os.access(gnu_time, os.X_OK):
        fail("/usr/bin/time is missing (Debian package `time`)")

    big, small, files, file_jobs = (10000, 1000, 200, 50) if not args.smoke else (100, 10, 4, 2)
    repeat = 1 if args.smoke else args.repeat
    cores = os.cpu_count() or 1
    # Without QX_SERVER the host program names its simulated server the same on every machine.
    env = {k: v for k, v in os.environ.items() if k != "QX_SERVER"}

    work = tempfile.mkdtemp(prefix="t2d_ratios_")
    try:
        def task(jobs, path):
            run([bench, "--write-compact-task=%d:%s" % (jobs, path)])
            return path

        task_big = task(big, os.path.join(work, "task%d.json" % big))
        task_small = task(small, os.path.join(work, "task%d.json" % small))
        task_one = task(1, os.path.join(work, "task1.json"))
        result = os.path.join(work, "result.json")
        big_size = os.path.getsize(task_big)
        report = Report()
        print("Task files: %d jobs %s, %d jobs %s; %d cores, load average %.1f; best of %d runs"
              % (big, show_size(big_size), small, show_size(os.path.getsize(task_small)), cores,
                 os.getloadavg()[0], repeat))

        def host_run(path, *extra):
            return best_time([host, "run", path, "-o", result] + list(extra), repeat, env=env)

        # 1. End to end against jq and simdjson.
        run_big = host_run(task_big)
        print("run, %d jobs: %s (result %s)" % (big, show_time(run_big), show_size(os.path.getsize(result))))
        if jq:
            jq_big = best_time([jq, "-c", ".", task_big], repeat)
            print("jq -c ., %d jobs: %s" % (big, show_time(jq_big)))
            report.ratio("run / jq -c . (%d jobs)" % big, run_big / jq_big, 1 / 3,
                         "%s / %s" % (show_time(run_big), show_time(jq_big)))
        else:
            report.skipped("run / jq -c .", "≤ 0.333", "jq is not installed (tools/install-deps.sh installs it)")
        if os.access(simdjson_parse, os.X_OK):
            done = subprocess.run([simdjson_parse, task_big, str(max(repeat, 5))], stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, check=False)
            if done.returncode != 0:
                fail("t2d_simdjson_parse: " + done.stderr.decode(errors="replace").strip())
            simd_big = float(done.stdout.decode().strip())
            print("simdjson DOM parse, %d jobs: %s" % (big, show_time(simd_big)))
            report.ratio("run / simdjson parse (stretch)", run_big / simd_big, 10,
                         "%s / %s" % (show_time(run_big), show_time(simd_big)))
        else:
            installed = os.path.exists("/usr/include/simdjson.h")
            report.skipped("run / simdjson parse (stretch)", "≤ 10",
                           "t2d_simdjson_parse is not built (cmake --build %s --target t2d_simdjson_parse)" % build
                           if installed else "libsimdjson-dev is not installed, so t2d_simdjson_parse is not built")

        # 2. Peak memory against the task file.
        timing = os.path.join(work, "time.txt")
        peak_kb = None
        for _ in range(repeat):
            run([gnu_time, "-v", "-o", timing, host, "run", task_big, "-o", result], env=env)
            with open(timing) as text:
                found = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text.read())
            if not found:
                fail("/usr/bin/time -v wrote no maximum resident set size")
            kb = int(found.group(1))
            peak_kb = kb if peak_kb is None else min(peak_kb, kb)
        peak = peak_kb * 1024
        report.ratio("peak memory / task file (%d jobs)" % big, peak / big_size, 4,
                     "%s / %s" % (show_size(peak), show_size(big_size)))

        # 3. Per job: the time of a one-job run (starting the program, the framework) taken off both.
        run_one = host_run(task_one)
        run_small = host_run(task_small)
        per_big = (run_big - run_one) / (big - 1)
        per_small = (run_small - run_one) / (small - 1)
        report.ratio("per job, %d / %d jobs" % (big, small), per_big / per_small, 1.2,
                     "%.1f µs / %.1f µs (%s for one job taken off)"
                     % (per_big * 1e6, per_small * 1e6, show_time(run_one)))

        # 4. test -j N: 200 task files of file_jobs jobs each, their expected results written first.
        folder = os.path.join(work, "tasks")
        os.mkdir(folder)
        template = task(file_jobs, os.path.join(work, "template.json"))
        for i in range(files):
            shutil.copyfile(template, os.path.join(folder, "task%03d.json" % i))
        run([host, "test", folder, "--update"], env=env)
        test_one = best_time([host, "test", folder, "-j", "1"], repeat, env=env)
        test_all = best_time([host, "test", folder, "-j", str(cores)], repeat, env=env)
        if cores > 1:
            report.ratio("test -j %d speed-up / %d (%d files)" % (cores, cores, files),
                         test_one / test_all / cores, 0.8,
                         "%s at -j 1, %s at -j %d" % (show_time(test_one), show_time(test_all), cores),
                         at_most=False)
        else:
            report.skipped("test -j N speed-up / N", "≥ 0.8", "one core: nothing to scale to")

        # 5. Tracing.
        trace_small = host_run(task_small, "--trace")
        report.ratio("run --trace / run (%d jobs)" % small, trace_small / run_small, 3,
                     "%s / %s" % (show_time(trace_small), show_time(run_small)))

        report.print()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
