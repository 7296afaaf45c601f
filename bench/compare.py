#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times an earlier commit against the current tree, side by side.

usage: bench/compare.py [--runs N] [--only NAME,...] REV

Builds REV (in a scratch worktree) and the working tree in Release, makes
the 100 MB inputs in bench/data, then runs each conversion of both builds
alternately (REV, current, REV, current...) after one warm-up each, so that
a slow phase of a shared machine falls on both sides. For each it prints the
median CPU time (user + system) and peak memory of each side and the ratio
REV / current: above 1 the current tree is faster; then the share of the
current side's time that was the system's (reading and writing files), and
last the ratio of the user times alone, which swing far less.
Outputs go to a scratch folder on a RAM disk (/dev/shm) where there is one,
so that the disk's own costs do not blur the comparison, and are removed,
untimed, before each run. The machine's load average is printed before and
after. The tree and loader benchmark programs of both builds are run one
after the other at the end.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
data = os.path.join(root, "bench", "data")


def build(source, out):
    subprocess.run(["cmake", "-S", source, "-B", out, "-DCMAKE_BUILD_TYPE=Release",
                    "-DVARNEL_TESTS=OFF", "-DVARNEL_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", out, "-j", str(os.cpu_count() or 2)], check=True,
                   stdout=subprocess.DEVNULL)


def inputs():
    os.makedirs(data, exist_ok=True)
    made = {
        "conf100.txt": ["make_conf.py", "100"],
        "conf100-long.txt": ["make_conf.py", "100", None, "1024"],
        "setup100.ini": ["make_ini.py", "100"],
    }
    for name, (script, size, *rest) in made.items():
        path = os.path.join(data, name)
        if not os.path.exists(path):
            args = [sys.executable, os.path.join(root, "bench", script), size, path]
            args += [r for r in rest if r]
            subprocess.run(args, check=True)
    # Copies in the encodings a converter detects, for the decoding paths.
    # Made by a child process: this one stays small, and so does the peak
    # memory its later children report.
    conf = os.path.join(data, "conf100.txt")
    for name, encoding in (("conf100-1252.txt", "cp1252"), ("conf100-utf16.txt", "utf-16")):
        path = os.path.join(data, name)
        if not os.path.exists(path):
            recode = ("import sys; t = open(sys.argv[1], encoding='ascii').read(); "
                      "open(sys.argv[2], 'w', encoding=sys.argv[3], newline='')"
                      ".write(t.replace('alpha', '\\u00e4lpha'))")
            subprocess.run([sys.executable, "-c", recode, conf, path, encoding], check=True)


def run(command, cwd):
    """CPU seconds and peak KiB of one run. The peak is read by /usr/bin/time
    when there is one: a child forked from this process would report this
    process's size at the fork."""
    timed = os.path.exists("/usr/bin/time")
    report = os.path.join(cwd, "peak.txt")
    if timed:
        command = ["/usr/bin/time", "-f", "%M", "-o", report] + command
    child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    peak = int(open(report).read().split()[-1]) if timed else usage.ru_maxrss
    return usage.ru_utime + usage.ru_stime, usage.ru_stime, peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", default="")
    parser.add_argument("rev")
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="varnel-compare-")
    old_tree = os.path.join(scratch, "old")
    work = None
    try:
        subprocess.run(["git", "-C", root, "worktree", "add", "--detach", old_tree, args.rev],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        old = os.path.join(scratch, "old-build")
        new = os.path.join(root, "build", "compare")
        build(old_tree, old)
        build(root, new)
        inputs()
        ram = "/dev/shm"
        work = tempfile.mkdtemp(prefix="varnel-compare-run-",
                                dir=ram if os.access(ram, os.W_OK) else scratch)
        print("outputs in %s; load average %.2f %.2f %.2f" % ((work,) + os.getloadavg()))
        cases = [
            ("dorsik -xml", "dorsik", ["-xml", "conf100.txt", "out.xml"]),
            ("dorsik -light", "dorsik", ["-light", "conf100.txt", "out.lgt"]),
            ("dorsik -xml, 1 MB lines", "dorsik", ["-xml", "conf100-long.txt", "out.xml"]),
            ("dorsik -xml, Windows-1252", "dorsik", ["-xml", "conf100-1252.txt", "out.xml"]),
            ("dorsik -xml, UTF-16", "dorsik", ["-xml", "conf100-utf16.txt", "out.xml"]),
            ("varnel", "varnel", ["setup100.ini", "out.xml"]),
            ("varnel -expand", "varnel", ["-expand", "setup100.ini", "out.xml"]),
        ]
        only = [o for o in args.only.split(",") if o]
        print("%-28s %9s %9s %7s %9s %9s %7s %9s" % ("median of %d" % args.runs, "old s", "new s",
                                                 "old/new", "old MiB", "new MiB", "new sys",
                                                 "user o/n"))
        for label, program, argv in cases:
            if only and not any(o in label for o in only):
                continue
            sides = {}
            for side, build_dir in (("old", old), ("new", new)):
                argv_full = [os.path.join(build_dir, program, program)]
                argv_full += [os.path.join(data, a) if a.startswith(("conf", "setup")) else a
                              for a in argv]
                sides[side] = argv_full
            times = {"old": [], "new": []}
            system = {"old": [], "new": []}
            peaks = {"old": [], "new": []}
            for round_ in range(args.runs + 1):
                for side in ("old", "new"):
                    for leftover in ("out.xml", "out.lgt", ".tmp"):
                        path = os.path.join(work, leftover)
                        if os.path.exists(path):
                            os.remove(path)
                    cpu, sys_cpu, peak = run(sides[side], work)
                    if round_ > 0:  # the first round warms the caches
                        times[side].append(cpu)
                        system[side].append(sys_cpu)
                        peaks[side].append(peak)
            mo, mn = statistics.median(times["old"]), statistics.median(times["new"])
            user = {side: statistics.median(t - s for t, s in zip(times[side], system[side]))
                    for side in times}
            # How much of the new side's time the system took: reading and
            # writing files, which no change to the conversion can spare and
            # which swings most on a shared machine; the user times' ratio
            # shows the conversion's own change apart from it.
            print("%-28s %9.3f %9.3f %7.2f %9.1f %9.1f %6.0f%% %9.2f" % (label, mo, mn, mo / mn,
                  max(peaks["old"]) / 1024, max(peaks["new"]) / 1024,
                  100 * statistics.median(system["new"]) / mn, user["old"] / user["new"]))
        if not only:
            for program, flags in (("tree_bench", ["--benchmark_filter=Build"]),
                                   ("loader_bench", [])):
                for side, build_dir in (("old", old), ("new", new)):
                    print("\n== %s, %s" % (program, side))
                    out = subprocess.run([os.path.join(build_dir, "bench", program)] + flags,
                                         capture_output=True, text=True).stdout
                    keep = [l for l in out.splitlines()
                            if l.startswith("BM_Build") or "parse" in l or "load_xml:" in l
                            or "alone" in l or "file:" in l]
                    print("\n".join(keep))
        print("\nload average %.2f %.2f %.2f" % os.getloadavg())
    finally:
        if work is not None:
            shutil.rmtree(work, ignore_errors=True)
        subprocess.run(["git", "-C", root, "worktree", "remove", "--force", old_tree],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(scratch, ignore_errors=True)


main()
