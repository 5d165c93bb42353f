#!/usr/bin/env python3
"""Default path against one thread, on an idle machine and with one core kept busy.

Runs zumo-bench twice on the operations that have a two-thread path: once as it is, once
while a plain spinning process (sh -c 'while :; do :; done') keeps one core busy, and
prints per operation the median times and default / one thread for each run. Take
/work/build.lock (or whatever keeps other builds away) around it.

  tools/thread-ratios.py [--bench build/bench/zumo-bench] [--filter REGEX] [--repetitions 9]
                         [--only idle|busy] [extra zumo-bench arguments...]
"""
import argparse
import json
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile

# Each pair: the default path and its one-thread twin.
PAIRS = [
    ("box blur R1", "BM_BoxBlur/1/", "BM_BoxBlurOneThread/1/"),
    ("box blur R6", "BM_BoxBlur/6/", "BM_BoxBlurOneThread/6/"),
    ("box blur R10", "BM_BoxBlur/10/", "BM_BoxBlurOneThread/10/"),
    ("box blur R90", "BM_BoxBlur/90/", "BM_BoxBlurOneThread/90/"),
    ("box blur into R6", "BM_BoxBlurInto/6/", "BM_BoxBlurIntoOneThread/"),
    ("sharpen", "BM_Sharpen/", "BM_SharpenOneThread/"),
    ("sharpen into", "BM_SharpenInto/120/", "BM_SharpenIntoOneThread/"),
    ("quarter turn (5)", "BM_TurnUpright/5/", "BM_TurnUprightOneThread/5/"),
    ("quarter turn (6)", "BM_TurnUpright/6/", "BM_TurnUprightOneThread/6/"),
    ("quarter turn (7)", "BM_TurnUpright/7/", "BM_TurnUprightOneThread/7/"),
    ("quarter turn (8)", "BM_TurnUpright/8/", "BM_TurnUprightOneThread/8/"),
    ("resample to 1600", "BM_ResampleTo1600/", "BM_ResampleTo1600OneThread/"),
    ("colour to sRGB", "BM_ColourToSrgb/", "BM_ColourToSrgbOneThread/"),
] + [
    (name.lower(), f"BM_{name}/2/", f"BM_{name}/1/")
    for name in ("Brightness", "ShiftRGB", "Overlay", "Contrast", "Gamma", "Desaturate", "Grayscale")
] + [
    ("batch, 4 photos at 1024", "BM_BatchPhotos/", "BM_BatchPhotosOneThread/"),
]
# Whose default and one-thread times are also given as multiples of a memcpy of the photo.
MEMCPY_MULTIPLES = ("box blur", "sharpen")


def names_filter():
    parts = [re.escape("BM_Memcpy/")]
    for _, default, one in PAIRS:
        parts += [re.escape(default), re.escape(one)]
    return "^(" + "|".join(parts) + ")"


def run(bench, filter_regex, repetitions, extra, busy):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        path = out.name
    spinner = None
    if busy:
        spinner = subprocess.Popen(["sh", "-c", "while :; do :; done"], start_new_session=True)
    try:
        subprocess.run([bench, f"--benchmark_filter={filter_regex}", f"--benchmark_repetitions={repetitions}",
                        "--benchmark_enable_random_interleaving=true", f"--benchmark_out={path}",
                        "--benchmark_out_format=json", *extra], check=True, stdout=sys.stderr)
    finally:
        if spinner is not None:
            os.killpg(spinner.pid, signal.SIGKILL)
            spinner.wait()
    with open(path) as f:
        data = json.load(f)
    os.unlink(path)
    times = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration" or b.get("error_occurred"):
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        times.setdefault(b["run_name"] + "/", []).append(b["real_time"] * scale)
    return times


def find(times, prefix):
    for name, values in times.items():
        if name.startswith(prefix):
            return values
    return None


def table(title, times):
    memcpy = find(times, "BM_Memcpy/")
    print(f"\n{title}" + (f" (memcpy of the photo {statistics.median(memcpy):.2f} ms)" if memcpy else "") + "\n")
    print("| operation | default ms (min–max) | one thread ms (min–max) | default ÷ one | default, one ÷ memcpy |")
    print("|---|---:|---:|---:|---:|")
    for label, default, one in PAIRS:
        d, o = find(times, default), find(times, one)
        if not d or not o:
            continue
        ratio = statistics.median(d) / statistics.median(o)
        multiples = ""
        if memcpy and label.startswith(MEMCPY_MULTIPLES):
            m = statistics.median(memcpy)
            multiples = f"{statistics.median(d) / m:.1f}, {statistics.median(o) / m:.1f}"
        print(f"| {label} | {statistics.median(d):.1f} ({min(d):.1f}–{max(d):.1f}) "
              f"| {statistics.median(o):.1f} ({min(o):.1f}–{max(o):.1f}) | {ratio:.2f} | {multiples} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench", "zumo-bench"))
    parser.add_argument("--filter", default=None, help="benchmarks to run (default: every pair)")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--only", choices=("idle", "busy"))
    args, extra = parser.parse_known_args()
    filter_regex = args.filter or names_filter()
    if args.only != "busy":
        table("Idle", run(args.bench, filter_regex, args.repetitions, extra, busy=False))
    if args.only != "idle":
        table("One core kept busy by a spinning process", run(args.bench, filter_regex, args.repetitions, extra, busy=True))


if __name__ == "__main__":
    main()
