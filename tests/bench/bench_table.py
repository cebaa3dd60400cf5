#!/usr/bin/env python3
"""One table from the results zuv_bench writes with --benchmark_out_format=json:
each figure beside its aim and the wire time at the link rate.

The benchmarks own the numbers (the figure, the aim, the wire time and the
rate, as counters); this table owns only their wording and which way an aim
points. A figure whose benchmark did not run (filtered out, or the program
ended before it) is "not measured". Exit status 1 when a benchmark reported
an error or the results cannot be read, 0 otherwise: a missed aim is read
from the table, it does not fail the run.

Usage: bench_table.py RESULTS.json
"""

import json
import os
import sys

LIMIT_NOTE = "[1]"
TIMEOUT_NOTE = "[2]"


def rate(c):
    return f"{c['link_rate']:.0f} Bd"


def wire(c):
    return f"{c['wire_seconds']:.3f} s at {rate(c)}"


def percent_over(seconds, percent):
    return f"{seconds:.3f} s ({percent:+.1f} %)"


def lateness(ms):
    return f"{ms:.2f} ms late" if ms >= 0 else f"{-ms:.2f} ms early"


def empty_read(t):
    return {
        "figure": f"empty timed read, t = {t} ms",
        "run": f"BM_EmptyTimedRead/{t}",
        "measured": lambda c: lateness(c["median_late_ms"]),
        "aim": lambda c: f"within {c['aim_late_ms']:g} ms",
        "limit": lambda c: f"{c['allowed_ms']:g} ms time-out {TIMEOUT_NOTE}",
        "met": lambda c: abs(c["median_late_ms"]) <= c["aim_late_ms"],
    }


def paced(figure, run):
    return {
        "figure": figure,
        "run": run,
        "measured": lambda c: percent_over(c["seconds"], c["over_wire_percent"]),
        "aim": lambda c: f"within {c['aim_percent']:g} % of wire",
        "limit": wire,
        "met": lambda c: c["over_wire_percent"] <= c["aim_percent"],
    }


ROWS = [
    {
        "figure": "round trip, one byte (median)",
        "run": "BM_RoundTripOneByte",
        "measured": lambda c: f"{c['median_us']:.1f} us",
        "aim": lambda c: f"under {c['aim_us']:g} us",
        "limit": lambda c: f"{c['wire_seconds'] * 1e6:.0f} us at {rate(c)} {LIMIT_NOTE}",
        "met": lambda c: c["median_us"] < c["aim_us"],
    },
    empty_read(0),
    empty_read(20),
    empty_read(100),
    {
        "figure": "download, unpaced host time",
        "run": "BM_DownloadUnpaced",
        "measured": lambda c: f"{c['net_host_ms']:.2f} ms",
        "aim": lambda c: f"under {c['aim_ms']:g} ms",
        "limit": wire,
        "met": lambda c: c["net_host_ms"] < c["aim_ms"],
    },
    {
        "figure": "download, paced",
        "run": "BM_DownloadPaced19200",
        "measured": lambda c: percent_over(c["net_s"], c["over_wire_percent"]),
        "aim": lambda c: f"within {c['aim_percent']:g} % of wire",
        "limit": wire,
        "met": lambda c: c["over_wire_percent"] <= c["aim_percent"],
    },
    {
        "figure": "echo test, unpaced host time",
        "run": "BM_SerialTestUnpaced",
        "measured": lambda c: f"{c['host_us_per_echo']:.1f} us/echo",
        "aim": lambda c: f"under {c['aim_us_per_echo']:g} us/echo",
        "limit": lambda c: f"{c['wire_seconds'] * 1e6 / c['echoes']:.0f} us/echo at {rate(c)}",
        "met": lambda c: c["host_us_per_echo"] < c["aim_us_per_echo"],
    },
    paced("echo test, paced", "BM_SerialTestPaced19200"),
    {
        "figure": "firmware upload 64 KiB, unpaced",
        "run": "BM_FirmwareUnpaced64K",
        "measured": lambda c: f"{c['records_per_second']:.0f} records/s",
        "aim": lambda c: f"over {c['aim_records_per_second']:g} records/s",
        "limit": lambda c: f"{c['records'] / c['wire_seconds']:.1f} records/s at {rate(c)}",
        "met": lambda c: c["records_per_second"] > c["aim_records_per_second"],
    },
    paced("firmware upload 4 KiB, paced", "BM_FirmwarePaced19200"),
]

HEADER = ("figure", "measured", "aim", "physical limit (wire time)", "aim met")

FOOTNOTES = [
    "Wire time: ten bits a character at the rate named. The paced figures are timed",
    "against zuvsim --pace; the unpaced ones are the host's own time, the wire time",
    "beside them for scale. A missed aim is read here; it does not fail make bench.",
    f"{LIMIT_NOTE} over a pseudo-terminal, which has no wire: what a real line would take.",
    f"{TIMEOUT_NOTE} a read of nothing has no wire time: its limit is the time-out the port",
    "    layer gives it (t + 10 ms; 1 ms for t = 0), and lateness is measured from it.",
]


def family_name(name):
    """The benchmark's name without the run options Google Benchmark appends
    (iterations:5000, manual_time, ...), so the table survives their change."""
    parts = name.split("/")
    return "/".join(p for p in parts if ":" not in p and not p.endswith("_time"))


def load_runs(path):
    """The runs by family name, or None when the file cannot be read."""
    try:
        with open(path, encoding="utf-8") as f:
            # Google Benchmark writes the control characters of an error
            # message (a BEL from the program's output) unescaped.
            results = json.load(f, strict=False)
        runs = results["benchmarks"]
        return {family_name(b["name"]): b for b in runs if b.get("run_type", "iteration") == "iteration"}
    except (OSError, ValueError, KeyError, TypeError):
        return None


def failure(run):
    if run.get("error_occurred"):
        return run.get("error_message", "")
    return None


def one_line(message):
    """An error message, which may carry the program's output with its BEL
    characters and line breaks, as one printable line."""
    return " ".join("".join(ch if ch.isprintable() else " " for ch in message).split())


def row_cells(row, run):
    if run is None or run.get("skipped"):
        return (row["figure"], "not measured", "-", "-", "-")
    if failure(run) is not None:
        return (row["figure"], "not measured", "-", "-", "failed")
    return (
        row["figure"],
        row["measured"](run),
        row["aim"](run),
        row["limit"](run),
        "met" if row["met"](run) else "missed",
    )


def format_table(lines):
    widths = [max(len(line[i]) for line in lines) for i in range(len(HEADER))]
    rule = tuple("-" * w for w in widths)
    text = []
    for line in [lines[0], rule] + lines[1:]:
        text.append("  ".join(cell.ljust(w) for cell, w in zip(line, widths)).rstrip())
    return text


def main(argv):
    if len(argv) != 2:
        print("usage: bench_table.py RESULTS.json", file=sys.stderr)
        return 2
    runs = load_runs(argv[1])
    lines = [HEADER] + [row_cells(row, (runs or {}).get(row["run"])) for row in ROWS]
    out = format_table(lines) + [""] + FOOTNOTES
    status = 0
    if runs is None:
        out.append(f"No results could be read from {os.path.basename(argv[1])}: missing, or cut short.")
        status = 1
    else:
        for name, run in runs.items():
            message = failure(run)
            if message is not None:
                out.append(f"{name} failed: {one_line(message)}")
                status = 1
        known = {row["run"] for row in ROWS}
        others = [name for name in runs if name not in known]
        if others:
            out.append("Not in the table: " + ", ".join(others) + ".")
    print("\n".join(out))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
