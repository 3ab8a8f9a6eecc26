#!/usr/bin/python3
"""make bench: Brimlet's extraction beside the tools users pick today.

On Wine's 32-bit and 64-bit shell32.dll, in one run, alternating the
contenders round by round, it times each one's median wall time over several
rounds and its peak resident memory (as /usr/bin/time -v reports it):

  extract-1201    the window's Extract work: 1201 ExtractFileIcon calls into a
                  folder (tools/bench/extract_bench)
  brimlet-extract the command-line extractor on the same file
  wrestool        wrestool -x -t14 -o DIR FILE (icoutils)
  icoextract      every group saved through IconExtractor(...).export_icon from
                  one Python process
  copy (floor)    copying brimlet-extract's output files into a fresh folder

and prints the table with the ratios against the targets.

usage: bench.py BUILD_DIR TESTDATA_DIR [ROUNDS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ICOEXTRACT = """
import sys
from icoextract import IconExtractor
extractor = IconExtractor(sys.argv[1])
for i in range(len(extractor.list_group_icons())):
    extractor.export_icon("%s/%d.ico" % (sys.argv[2], i + 1), num=i)
"""


def run(command, out_dir):
    """Runs command under /usr/bin/time -v; gives (seconds, peak KB)."""
    if os.path.exists(out_dir):
        shutil.rmtree(out_dir)
    os.makedirs(out_dir)
    report = out_dir + ".time"
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-v", "-o", report] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("bench: %s failed (%d): %s" % (command[0], result.returncode, result.stderr.decode()[-400:]))
    peak = 0
    with open(report) as f:
        for line in f:
            if "Maximum resident set size" in line:
                peak = int(line.split(":")[1])
    os.remove(report)
    return seconds, peak


def count_files(folder):
    return len([n for n in os.listdir(folder) if n.endswith(".ico")])


def main():
    build, testdata = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    bench = os.path.join(build, "tools", "bench", "extract_bench")
    tool = os.path.join(build, "tools", "brimlet-extract")
    sources = [("shell32.dll 32-bit", os.path.join(testdata, "wine-i386", "shell32.dll")),
               ("shell32.dll 64-bit", "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll")]
    work = tempfile.mkdtemp(prefix="brimlet-bench-")
    script = os.path.join(work, "icoextract_all.py")
    with open(script, "w") as f:
        f.write(ICOEXTRACT)

    ok = True
    try:
        for label, source in sources:
            reference = os.path.join(work, "reference")
            run([tool, source, reference], reference)  # the floor copies these
            contenders = [
                ("extract-1201", lambda d: [bench, source, d]),
                ("brimlet-extract", lambda d: [tool, source, d]),
                ("wrestool", lambda d: ["wrestool", "-x", "-t14", "-o", d, source]),
                ("icoextract", lambda d: ["/usr/bin/python3", script, source, d]),
                ("copy (floor)", lambda d: ["cp", "-r", reference + "/.", d]),
            ]
            times = {name: [] for name, _ in contenders}
            peaks = {name: [] for name, _ in contenders}
            files = {}
            for r in range(rounds):
                # Alternate: each round starts one contender further on.
                order = contenders[r % len(contenders):] + contenders[:r % len(contenders)]
                for name, command in order:
                    out = os.path.join(work, "out")
                    seconds, peak = run(command(out), out)
                    times[name].append(seconds)
                    peaks[name].append(peak)
                    files[name] = count_files(out)
            med = {n: statistics.median(v) for n, v in times.items()}
            mem = {n: max(v) for n, v in peaks.items()}
            size = os.path.getsize(source) / 1e6
            print("\n%s (%.1f MB), %d rounds, median wall time and peak RSS" % (label, size, rounds))
            print("  %-16s %10s %10s %8s" % ("", "time (s)", "peak (MB)", "files"))
            for name, _ in contenders:
                print("  %-16s %10.4f %10.1f %8d" % (name, med[name], mem[name] / 1024, files[name]))
            faster_peer = min(med["wrestool"], med["icoextract"])
            leaner_peer = min(mem["wrestool"], mem["icoextract"])
            checks = [
                ("extract-1201 / faster peer time", med["extract-1201"] / faster_peer, 1 / 5),
                ("brimlet-extract / floor time", med["brimlet-extract"] / med["copy (floor)"], 2.0),
                ("extract-1201 / leaner peer memory", mem["extract-1201"] / leaner_peer, 0.5),
                ("brimlet-extract / leaner peer memory", mem["brimlet-extract"] / leaner_peer, 0.5),
            ]
            for what, ratio, target in checks:
                met = ratio <= target
                ok &= met
                print("  %-38s %7.3f  (target <= %.3f) %s" % (what, ratio, target, "met" if met else "MISSED"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("\nbench: all targets met" if ok else "\nbench: some targets missed")


if __name__ == "__main__":
    main()
