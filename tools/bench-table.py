#!/usr/bin/env python3
"""Collects the benchmark results of one run into one table: benchmark, figure, target, met?

    tools/bench-table.py RESULTS_DIR

RESULTS_DIR holds NAME.json (Google Benchmark's JSON output) per benchmark and idle.txt (the
key=value lines of tools/measure-idle.sh). Prints a Markdown table; a missing or failed
benchmark shows as such in its rows. Exits 1 when a target is missed or a result is missing.
"""
import json
import pathlib
import sys

UNIT_NS = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}

results = pathlib.Path(sys.argv[1])
rows = []
failed = False


def load(bench):
    try:
        data = json.loads((results / f"{bench}.json").read_text())
    except (OSError, ValueError):
        return None
    return {b["name"]: b for b in data.get("benchmarks", [])}


def run(bench, name):
    runs = load(bench)
    if runs is None:
        return None, f"{bench} did not run"
    for full, b in runs.items():
        if full == name or full.startswith(name + "/"):
            if b.get("error_occurred"):
                return None, b.get("error_message", "error")
            return b, None
    return None, f"{name} missing"


def ns(b):
    return b["real_time"] * UNIT_NS[b.get("time_unit", "ns")]


def time_text(t_ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if t_ns >= scale:
            return f"{t_ns / scale:.3g} {unit}"
    return f"{t_ns:.3g} ns"


def row(label, bench, name, figure, target="—", met=None):
    """figure(b) gives the text; met(b) gives True/False, or None without a target."""
    global failed
    b, err = run(bench, name)
    if b is None:
        failed = True
        rows.append((label, f"no result: {err}", target, "NO"))
        return
    ok = met(b) if met else None
    if ok is False:
        failed = True
    rows.append((label, figure(b), target, "—" if ok is None else ("yes" if ok else "NO")))


c = lambda b, k: b[k]  # noqa: E731

row("dispatch: one data message of 100 values", "dispatch_bench", "BM_DispatchHundredValues",
    lambda b: f"{time_text(ns(b))}, {c(b, 'allocs_per_message'):.3g} allocations",
    "< 2 µs, none", lambda b: ns(b) < 2000 and c(b, "allocs_per_message") == 0)
row("grid: live refresh of 100 variable rows", "grid_refresh_bench",
    "BM_Refresh100Variables/Refresh", lambda b: time_text(ns(b)), "< 2 ms",
    lambda b: ns(b) < 2e6)
row("grid: refresh and the repaint after it", "grid_refresh_bench",
    "BM_Refresh100Variables/RefreshAndRepaint", lambda b: time_text(ns(b)))

for n in (1, 10, 100):
    name = f"BM_PollRoundTrip/active:{n}"
    row(f"poll round trip, {n} active: median", "poll_roundtrip_bench", name,
        lambda b: f"{c(b, 'median_us'):.1f} µs vs floor {c(b, 'floor_median_us'):.1f} µs "
                  f"(×{c(b, 'median_ratio'):.2f})",
        "≤ 1.3× floor", lambda b: c(b, "median_ratio") <= 1.3)
    row(f"poll round trip, {n} active: p99", "poll_roundtrip_bench", name,
        lambda b: f"{c(b, 'p99_us'):.1f} µs vs floor {c(b, 'floor_p99_us'):.1f} µs "
                  f"(×{c(b, 'p99_ratio'):.2f})",
        "≤ 2× floor", lambda b: c(b, "p99_ratio") <= 2)
    row(f"poll round trip, {n} active: sustained", "poll_roundtrip_bench", name,
        lambda b: f"{c(b, 'polls_per_s'):.0f}/s vs floor {c(b, 'floor_polls_per_s'):.0f}/s "
                  f"(×{c(b, 'rate_ratio'):.2f})")

row("simulator change to poll reply (free-running)", "sim_to_panel_bench",
    "BM_SimChangeToPollReply",
    lambda b: f"median {c(b, 'median_ms'):.1f} ms, p99 {c(b, 'p99_ms'):.1f} ms; "
              f"frames median {c(b, 'median_frames'):.0f}, p99 {c(b, 'p99_frames'):.0f} "
              f"({c(b, 'changes'):.0f} changes)")
row("simulator change to poll reply (stepped)", "sim_to_panel_bench",
    "BM_SimChangeToPollReplyStepped",
    lambda b: f"frames median {c(b, 'median_frames'):.0f}, p99 {c(b, 'p99_frames'):.0f} "
              f"({c(b, 'changes'):.0f} changes)")

row("load a 100-line variable list (button)", "list_load_bench", "BM_LoadVariableList100",
    lambda b: time_text(ns(b)))
row("load a 100-line event list (button)", "list_load_bench", "BM_LoadEventList100",
    lambda b: time_text(ns(b)))
row("renew the read subscription, 100 active", "list_load_bench",
    "BM_RenewReadSubscription100", lambda b: time_text(ns(b)))

row("start to window shown (virtual port, embedded simulator)", "startup_bench",
    "BM_StartToWindowShown",
    lambda b: f"median {c(b, 'to_shown_ms'):.0f} ms, max {c(b, 'max_shown_ms'):.0f} ms: main at "
              f"{c(b, 'to_main_ms'):.0f} ms, window built at {c(b, 'to_built_ms'):.0f} ms "
              f"(1 s of it the port-selection pause), shown {c(b, 'built_to_shown_ms'):.0f} ms "
              f"later ({c(b, 'runs'):.0f} runs)")

idle = {}
try:
    for line in (results / "idle.txt").read_text().splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            idle[k] = float(v)
except (OSError, ValueError):
    pass
if "idle_cpu_percent" in idle:
    cpu, rss, peak = idle["idle_cpu_percent"], idle["rss_mb"], idle["peak_rss_mb"]
    secs = idle["seconds"]
    rows.append((f"idle program: CPU over {secs:.0f} s", f"{cpu:.2f} % of one core",
                 "< 1 %", "yes" if cpu < 1 else "NO"))
    rows.append(("idle program: resident memory", f"{rss:.0f} MB (peak {peak:.0f} MB)",
                 "< 150 MB", "yes" if peak < 150 else "NO"))
    failed |= cpu >= 1 or peak >= 150
else:
    failed = True
    rows.append(("idle program", "no result: tools/measure-idle.sh failed", "< 1 %, < 150 MB",
                 "NO"))

row("speech: synthesizing a 2.5 s phrase", "media_bench", "BM_SynthesizePhrase",
    lambda b: time_text(ns(b)))
row("sound: play to start of output", "media_bench", "BM_PlayToStart",
    lambda b: time_text(ns(b)))
row("sound: decoding a 0.97 s mp3 to the end", "media_bench", "BM_PlayToEnd",
    lambda b: time_text(ns(b)))

print("| benchmark | figure | target | met? |")
print("|---|---|---|---|")
for r in rows:
    print("| " + " | ".join(r) + " |")
sys.exit(1 if failed else 0)
