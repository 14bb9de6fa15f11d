#!/usr/bin/env python3
"""Plots frame time against darkness level from a porumina-bench JSON file, ours against cairo.

Usage: tools/plot_bench.py RESULTS.json OUT.png

RESULTS.json comes from porumina-bench --benchmark_out=RESULTS.json --benchmark_out_format=json,
best with --benchmark_repetitions (the median is plotted then). Needs gnuplot (gnuplot-nox).
"""
import json
import os
import subprocess
import sys
import tempfile

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
SERIES = [
    ("BM_SceneTick", "ours: whole frame (BM_SceneTick/N)"),
    ("BM_SceneTickCairo", "same frames, tendrils stroked by cairo (BM_SceneTickCairo/N)"),
]


def frame_times(results, family):
    """{level: cpu ms per frame}, medians when the run had repetitions."""
    plain, medians = {}, {}
    for bench in results["benchmarks"]:
        name = bench.get("run_name", bench["name"])
        prefix, _, level = name.partition("/")
        if prefix != family or not level.isdigit():
            continue
        ms = bench["cpu_time"] * UNIT_TO_MS[bench.get("time_unit", "ns")]
        if bench.get("aggregate_name") == "median":
            medians[int(level)] = ms
        elif bench.get("run_type", "iteration") == "iteration":
            plain.setdefault(int(level), ms)
    return medians or plain


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        results = json.load(f)
    context = results.get("context", {})
    with tempfile.TemporaryDirectory() as tmp:
        plots = []
        for family, title in SERIES:
            times = frame_times(results, family)
            if not times:
                sys.exit(f"{sys.argv[1]}: no {family}/N results")
            path = os.path.join(tmp, family + ".dat")
            with open(path, "w", encoding="utf-8") as out:
                for level in sorted(times):
                    out.write(f"{level} {times[level]:.4f}\n")
            plots.append(
                f"'{path}' using 1:2 with linespoints lw 2 pt 7 title \"{title}\", "
                f"'{path}' using 1:2:(sprintf('%.2f', $2)) with labels offset 0,1 notitle"
            )
        machine = f"{context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz"
        script = f"""
set terminal pngcairo noenhanced size 900,560 font 'sans,11'
set output '{sys.argv[2]}'
set title 'Frame time against darkness level, bundled sprite (854 roots), median CPU time, {machine}'
set xlabel 'darkness level'
set ylabel 'ms per frame (log scale)'
set logscale y
set yrange [0.1:100]
set xrange [0:310]
set xtics (10, 100, 200, 300)
set grid ytics mytics
set key top left
plot {', '.join(plots)}
"""
        subprocess.run(["gnuplot"], input=script, text=True, check=True)


if __name__ == "__main__":
    main()
