"""Runs the side-by-side benchmark over a generated corpus and prints the table.

Usage: run_bench.py ZUMT_BENCH CORPUS_DIR

For every form of CORPUS_DIR/sizes, each side runs in a process of its own
(so its peak memory belongs to that form), repeating the whole job on the
same file: our code (ZUMT_BENCH measure, in-process), xlrd (xlrd_job.py,
plain open_workbook as a user would write it, and with on_demand=True, which
loads only the sheets that the tables need) and SheetJS (node/sheetjs_job.js,
XLSX.readFile with its defaults). Times are medians of the repetitions,
measured inside each process, so interpreter start-up is not counted (it is
shown separately). Then one run over CORPUS_DIR/many (1,000 small forms as one
document list) and the check of the targets.

Environment: BENCH_REPEATS (ours, default 21), BENCH_OTHER_REPEATS (xlrd and
SheetJS, default 5; 3 above 10 MB), BENCH_SKIP_SHEETJS=1, BENCH_SKIP_XLRD=1.
"""

import hashlib
import json
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"
MB = 1024 * 1024


def run_json(cmd):
    out = subprocess.run(cmd, check=False, capture_output=True, text=True)
    lines = [json.loads(l) for l in out.stdout.splitlines() if l.startswith("{")]
    if out.returncode not in (0, 1) or not lines:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), out.stderr))
    return lines


def script_side(cmd, path, repeats, report):
    lines = run_json(cmd + [report, str(repeats), path])
    return statistics.median(lines[0]["times"]), statistics.median(lines[0]["cpu"]), lines[-1]["peak_kib"]


def startup(cmd):
    times = []
    for _ in range(3):
        t0 = time.perf_counter()
        subprocess.run(cmd, check=True, capture_output=True)
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def fmt_ms(seconds):
    if seconds is None:
        return "-"
    ms = seconds * 1000
    return "%.3f" % ms if ms < 10 else "%.1f" % ms if ms < 1000 else "%.0f" % ms


def ratio(a, b):
    return "-" if a is None or b is None or b == 0 else "%.0f×" % (a / b) if a / b >= 10 else "%.1f×" % (a / b)


def main():
    bench, corpus = sys.argv[1], sys.argv[2]
    repeats = int(os.environ.get("BENCH_REPEATS", "21"))
    other = int(os.environ.get("BENCH_OTHER_REPEATS", "5"))
    skip_node = os.environ.get("BENCH_SKIP_SHEETJS") == "1"
    skip_xlrd = os.environ.get("BENCH_SKIP_XLRD") == "1"
    sizes_dir = os.path.join(corpus, "sizes")
    files = sorted((os.path.join(sizes_dir, f) for f in os.listdir(sizes_dir) if f.endswith(".xls")),
                   key=os.path.getsize)
    work = tempfile.mkdtemp(prefix="zumt-bench-")
    node_job = [os.environ.get("NODE", "node"), os.path.join(HERE, "node", "sheetjs_job.js")]
    xlrd_job = [PY, os.path.join(HERE, "xlrd_job.py")]

    idle = run_json([bench, "idle"])[0]["peak_kib"]
    print("start-up (not in the times below): python3+xlrd %s ms, node+xlsx %s ms; "
          "our idle process peak %.1f MB" % (
              fmt_ms(startup([PY, "-c", "import xlrd"])),
              fmt_ms(startup(node_job[:1] + ["-e", "require(%r)" % os.path.join(HERE, "node", "node_modules", "xlsx")])),
              idle / 1024), flush=True)

    rows = []
    for path in files:
        size = os.path.getsize(path)
        n_other = other if size <= 10 * MB else min(other, 3)
        ours = run_json([bench, "measure", str(repeats), path])[0]
        if ours["code"] != "0606024":
            raise SystemExit("%s: our run did not recognise the form (code %r)" % (path, ours["code"]))
        try:
            checks = json.loads(open(path + ".params").read())["params"][3]
        except (OSError, ValueError, KeyError, IndexError):
            checks = None
        r = {"name": os.path.basename(path).replace(".xls", ""), "size": size, "checks": checks,
             "failed": ours["failed_checks"],
             "ours": statistics.median(ours["times"]), "ours_min": min(ours["times"]),
             "ours_cpu": statistics.median(ours["cpu"]),
             "read": statistics.median(ours["read_bytes"]), "cold": statistics.median(ours["read_cold"]),
             "ours_peak": ours["peak_kib"]}
        for side in ("xlrd", "xlrd_od", "node"):
            r[side] = r[side + "_cpu"] = r[side + "_peak"] = None
        if not skip_xlrd:
            r["xlrd"], r["xlrd_cpu"], r["xlrd_peak"] = script_side(xlrd_job, path, n_other,
                                                                   os.path.join(work, "xlrd.txt"))
            r["xlrd_od"], r["xlrd_od_cpu"], r["xlrd_od_peak"] = script_side(
                xlrd_job + ["--on-demand"], path, n_other, os.path.join(work, "xlrd_od.txt"))
        if not skip_node:
            r["node"], r["node_cpu"], r["node_peak"] = script_side(node_job, path, n_other,
                                                                   os.path.join(work, "node.txt"))
        rows.append(r)
        print("  measured %s (%.1f MB)" % (r["name"], size / MB), flush=True)

    def table(title, head, widths, cells):
        print()
        print(title)
        line = lambda row: "  ".join(str(c).rjust(w) for c, w in zip(row, widths))
        print(line(head))
        for r in rows:
            print(line(cells(r)))

    size_text = lambda r: "%.2f MB" % (r["size"] / MB) if r["size"] >= MB // 2 else "%d KB" % (r["size"] // 1024)
    table("Wall time per document, median (ms), and ratios to ours. xlrd = plain open_workbook, "
          "xlrd-od = on_demand=True, SheetJS = XLSX.readFile",
          ("form", "size", "checks", "failed", "ours", "xlrd", "xlrd/ours", "xlrd-od", "od/ours", "SheetJS",
           "SJS/ours", "ours ms/MB"),
          (10, 9, 6, 6, 8, 8, 9, 8, 7, 8, 8, 10),
          lambda r: (r["name"], size_text(r), r["checks"] or "-", r["failed"], fmt_ms(r["ours"]), fmt_ms(r["xlrd"]),
                     ratio(r["xlrd"], r["ours"]), fmt_ms(r["xlrd_od"]), ratio(r["xlrd_od"], r["ours"]),
                     fmt_ms(r["node"]), ratio(r["node"], r["ours"]), "%.2f" % (r["ours"] * 1000 / (r["size"] / MB))))
    table("CPU time per document, median (ms): the same without waiting for a core on a busy machine",
          ("form", "ours", "xlrd", "xlrd/ours", "xlrd-od", "od/ours", "SheetJS", "SJS/ours"),
          (10, 8, 8, 9, 8, 7, 8, 8),
          lambda r: (r["name"], fmt_ms(r["ours_cpu"]), fmt_ms(r["xlrd_cpu"]), ratio(r["xlrd_cpu"], r["ours_cpu"]),
                     fmt_ms(r["xlrd_od_cpu"]), ratio(r["xlrd_od_cpu"], r["ours_cpu"]), fmt_ms(r["node_cpu"]),
                     ratio(r["node_cpu"], r["ours_cpu"])))
    table("Ours against merely reading the file's bytes into memory (ms): from the page cache, and from "
          "disk after dropping the file from the cache",
          ("form", "ours", "ours min", "bytes", "ours/bytes", "disk", "ours/disk"),
          (10, 8, 8, 8, 10, 8, 9),
          lambda r: (r["name"], fmt_ms(r["ours"]), fmt_ms(r["ours_min"]), fmt_ms(r["read"]),
                     ratio(r["ours"], r["read"]), fmt_ms(r["cold"]), ratio(r["ours"], r["cold"])))
    mb = lambda kib: "-" if kib is None else "%.1f" % (kib / 1024)
    table("Peak resident memory of each process (MB); ours includes the %.1f MB of a process that "
          "verifies nothing" % (idle / 1024),
          ("form", "size", "ours", "ours-idle", "xlrd", "xlrd-od", "SheetJS", "size+16"),
          (10, 8, 8, 9, 8, 8, 8, 8),
          lambda r: (r["name"], "%.2f" % (r["size"] / MB), mb(r["ours_peak"]), mb(r["ours_peak"] - idle),
                     mb(r["xlrd_peak"]), mb(r["xlrd_od_peak"]), mb(r["node_peak"]), "%.1f" % (r["size"] / MB + 16)))

    print()
    print("Growth of our time with the file size (log-log slope between neighbours; 1.0 = linear)")
    slopes = []
    for a, b in zip(rows, rows[1:]):
        s = math.log(b["ours"] / a["ours"]) / math.log(b["size"] / a["size"])
        slopes.append((a, b, s))
        print("  %s -> %s: size ×%.1f, time ×%.1f, slope %.2f" % (
            a["name"], b["name"], b["size"] / a["size"], b["ours"] / a["ours"], s))

    many_dir = os.path.join(corpus, "many")
    many = sorted(os.path.join(many_dir, f) for f in os.listdir(many_dir) if f.endswith(".xls"))
    m = run_json([bench, "many", "5", *many])[0]
    if m["unknown"] or m["verified"] != len(many):
        raise SystemExit("the run over %s verified %d forms, %d of them unknown" % (many_dir, m["verified"], m["unknown"]))
    many_time = statistics.median(m["times"])
    many_bytes = sum(os.path.getsize(p) for p in many)
    print()
    distinct = len({hashlib.md5(open(p, "rb").read()).hexdigest() for p in many})
    print("One run over %d forms (%.1f MB in all, %d distinct): median %.3f s (runs: %s), peak %.1f MB" % (
        m["documents"], many_bytes / MB, distinct, many_time,
        ", ".join("%.3f" % t for t in m["times"]), m["peak_kib"] / 1024))

    print()
    print("Targets")
    ref = min(rows, key=lambda r: abs(r["size"] - 1.4 * MB))
    results = []

    def target(text, ok):
        results.append(ok)
        print("  [%s] %s" % ("met" if ok else ("MISSED" if ok is not None else "n/a"), text))

    x = None if ref["xlrd"] is None else ref["xlrd"] / ref["ours"]
    target("%s: xlrd (plain open_workbook) / ours = %s >= 20 (CPU time: %s; xlrd on_demand: %s, CPU %s)" % (
        ref["name"], "-" if x is None else "%.1f" % x, ratio(ref["xlrd_cpu"], ref["ours_cpu"]),
        ratio(ref["xlrd_od"], ref["ours"]), ratio(ref["xlrd_od_cpu"], ref["ours_cpu"])),
        None if x is None else x >= 20)
    x = None if ref["node"] is None else ref["node"] / ref["ours"]
    target("%s: SheetJS / ours = %s >= 60 (CPU time: %s)" % (
        ref["name"], "-" if x is None else "%.1f" % x, ratio(ref["node_cpu"], ref["ours_cpu"])),
        None if x is None else x >= 60)
    target("%s: ours / reading the bytes = %.1f <= 3 (bytes from the page cache; from disk: %.1f)" % (
        ref["name"], ref["ours"] / ref["read"], ref["ours"] / ref["cold"]), ref["ours"] / ref["read"] <= 3)
    target("1,000 small forms in %.3f s <= 2 s" % many_time, many_time <= 2)
    big = [s for a, b, s in slopes if a["size"] >= MB]
    target("time linear in size: slopes above 1 MB %s <= 1.15" % ", ".join("%.2f" % s for s in big),
           all(s <= 1.15 for s in big))
    largest = max(r["size"] for r in rows)
    worst = max(r["ours_peak"] for r in rows)
    target("peak memory %.1f MB <= largest workbook %.1f MB + 16 MB" % (worst / 1024, largest / MB),
           worst * 1024 <= largest + 16 * MB)
    return 0


if __name__ == "__main__":
    sys.exit(main())
