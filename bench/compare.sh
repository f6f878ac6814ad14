#!/usr/bin/env bash
# Times KcDenoise (reference and fast paths, one thread and all threads)
# against OpenCV's fastNlMeansDenoising on the same synthetic 2000x1500 photo,
# plus the batch tool on a 12-megapixel picture and the cost of one call per
# row, and prints one table. Run from anywhere: bench/compare.sh
# Installs what it needs (build packages, python3-opencv, python3-numpy) and
# builds a Release tree in build-bench/ (or $CALMORA_BENCH_BUILD_DIR) when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BENCH_BUILD_DIR:-$root/build-bench}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

"$root/scripts/install-deps.sh"
# The distribution's interpreter: its OpenCV and NumPy come from its packages.
PY=/usr/bin/python3
if ! "$PY" -c "import cv2, numpy" 2>/dev/null; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
    python3 python3-opencv python3-numpy
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCALMORA_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
targets=(calmora-bench)
# The batch tool is timed only when the tree has it.
available=$(cmake --build "$build" --target help 2>/dev/null || true)
if grep -q "calmora-denoise" <<<"$available"; then
  targets+=(calmora-denoise)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null

exec "$PY" - "$build/bin" <<'PYTHON'
import json, os, subprocess, sys, tempfile, time

import cv2
import numpy as np

bindir = sys.argv[1]
bench = os.path.join(bindir, "calmora-bench")
tool = os.path.join(bindir, "calmora-denoise")
cpus = os.cpu_count() or 1
radii = (2, 5, 12)
sigma = 15  # the table's sigma in calmora-bench, and OpenCV's h

def load():
    return os.getloadavg()[0]

def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown processor"

def run_bench(threads, reference):
    # Best of three runs: other work on the machine only ever slows a run down.
    args = [bench, f"--kc_threads={threads}", "--benchmark_format=json",
            "--benchmark_repetitions=3", "--benchmark_filter=/one-call"]
    if reference:
        args.append("--kc_reference")
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    rates = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        name = b["name"]  # Denoise/s=5/one-call/...
        s = int(name.split("/")[1][2:])
        mode = name.split("/")[2]
        rates[(s, mode)] = max(rates.get((s, mode), 0.0), b["MP/s"])
    return rates

work = tempfile.mkdtemp(prefix="calmora-compare-")
ppm = os.path.join(work, "bench.ppm")
subprocess.run([bench, f"--kc_write_image={ppm}"], check=True)
img = cv2.imread(ppm, cv2.IMREAD_COLOR)
assert img is not None and img.shape == (1500, 2000, 3), "synthetic image not readable"
mp = img.shape[0] * img.shape[1] / 1e6

print(f"Machine: {cpu_name()}, {cpus} hardware threads; load average at start {load():.2f}",
      flush=True)
thread_counts = [1] if cpus == 1 else [1, cpus]

ours = {}
for threads in thread_counts:
    for reference in (True, False):
        print(f"  timing KcDenoise {'reference' if reference else 'fast'} path, "
              f"{threads} thread(s)...", flush=True)
        ours[(threads, reference)] = run_bench(threads, reference)

# One call per row against one whole-image call, in alternating pairs.
row_overhead = {}
for threads in thread_counts:
    print(f"  timing one call per row against one call, {threads} thread(s)...", flush=True)
    out = subprocess.run([bench, f"--kc_threads={threads}", "--kc_row_overhead=15"],
                         check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        fields = dict(f.split("=", 1) for f in line.split()[1:])
        row_overhead[(threads, int(fields["s"]))] = fields

opencv = {}
for threads in thread_counts:
    cv2.setNumThreads(1 if threads == 1 else -1)
    for s in radii:
        print(f"  timing OpenCV s={s}, {'1 thread' if threads == 1 else 'default threads'}...",
              flush=True)
        best = None
        for _ in range(3):
            t = time.perf_counter()
            cv2.fastNlMeansDenoising(img, None, sigma, templateWindowSize=3,
                                     searchWindowSize=2 * s + 1)
            t = time.perf_counter() - t
            best = t if best is None else min(best, t)
        opencv[(threads, s)] = mp / best

tool_rows = []
if os.access(tool, os.X_OK):
    big = os.path.join(work, "big.bmp")
    cv2.imwrite(big, np.tile(img, (2, 2, 1)))  # 4000 x 3000 = 12 megapixels
    for s in (5, 12):
        print(f"  timing calmora-denoise s={s} on 12 MP...", flush=True)
        out = os.path.join(work, f"out{s}.bmp")
        t = time.perf_counter()
        r = subprocess.run([tool, "--quiet", "-s", str(sigma), "-r", str(s), "-o", out, big],
                           capture_output=True, text=True)
        t = time.perf_counter() - t
        tool_rows.append((s, t, 12.0 / t if r.returncode == 0 else None, r.stderr.strip()))

print()
print(f"KcDenoise vs OpenCV fastNlMeansDenoising (3x3 patches, window 2s+1, h={sigma}), "
      "2000x1500 synthetic photo, MP/s")
print("(best of three runs each; reference path timed on a band of rows: 48 at s=2, 16 at s=5, 4 at s=12)")
header = f"{'s':>3} {'threads':>8} {'ours reference':>15} {'ours fast':>10} {'OpenCV':>8} {'ours/OpenCV':>12}"
print(header)
print("-" * len(header))
for s in radii:
    for threads in thread_counts:
        ref = ours[(threads, True)][(s, "one-call")]
        fast = ours[(threads, False)][(s, "one-call")]
        cv = opencv[(threads, s)]
        label = str(threads) if threads == 1 else f"{threads} (all)"
        print(f"{s:>3} {label:>8} {ref:>15.3f} {fast:>10.3f} {cv:>8.3f} {fast / cv:>11.2f}x")
print()
print("One call per row (as the program runs) vs one call for the whole image, fast path;")
print("time added by the row calls, median of alternating pairs (lowest..highest pair):")
for s in radii:
    parts = []
    for threads in thread_counts:
        f = row_overhead[(threads, s)]
        parts.append(f"{threads} thread(s): {f['median']} ({f['lowest']}..{f['highest']}, "
                     f"{f['pairs']} pairs, {f['row-calls-ms']} vs {f['one-call-ms']} ms)")
    print(f"  s={s:>2}: " + "; ".join(parts))
print()
if tool_rows:
    print("calmora-denoise, 4000x3000 (12 MP) BMP in and out, all threads, including file I/O:")
    for s, t, rate, err in tool_rows:
        if rate is None:
            print(f"  s={s:>2}: failed: {err}")
        else:
            print(f"  s={s:>2}: {t:.1f} s, {rate:.3f} MP/s")
else:
    print("calmora-denoise: not built")
print(f"\nLoad average at end {load():.2f} (other work on the machine lowers every figure)")
PYTHON
