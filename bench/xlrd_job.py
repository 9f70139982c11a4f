"""The verification job on xlrd, as a user would script it in Python.

Usage: xlrd_job.py [--on-demand] REPORT REPEATS WORKBOOK...

For every workbook, REPEATS times: open it, read the form code (Val of the
Data_Adr row P_OKUD), accept it against edition A's codes, read the two
captions (Name & Val of P_FormName and P_Name), select the T_Check rows with
Result > 0 sorted by ID_Form, ID_Section, ID_Rule, ID_Check, and append the
report entry to REPORT (Windows-1251, CR LF). Prints one JSON line per
workbook with the wall and CPU time of every repetition (seconds, measured
inside the process, so interpreter start-up is not counted) and, at the end, one line
with the process's peak resident memory (VmHWM, KiB).

By default the workbook is opened as a plain script would open it
(open_workbook loads every sheet); --on-demand loads only the sheets that
the two tables live on, the best that xlrd offers for this job.
"""

import datetime
import json
import sys
import time

import xlrd

ACCEPTED = "#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#"


def table(book, name):
    """Header and rows of a defined name that is one area on one sheet."""
    for key, names in book.name_map.items():
        if key.lower() == name.lower():
            sheet, rlo, rhi, clo, chi = names[0].area2d()
            rows = [sheet.row_values(r, clo, chi) for r in range(rlo, min(rhi, sheet.nrows))]
            return [str(h) for h in rows[0]], rows[1:]
    raise KeyError("no table " + name)


def text(value):
    if isinstance(value, float):
        return str(int(value)) if value.is_integer() else repr(value)
    return str(value)


def now_time():
    t = datetime.datetime.now()
    return "%d:%02d:%02d" % (t.hour, t.minute, t.second)


def job(path, report, on_demand):
    lines = ["Файл: " + path, "Дата: " + datetime.date.today().strftime("%d.%m.%Y") + "   " + now_time()]
    code = ""
    try:
        book = xlrd.open_workbook(path, on_demand=on_demand)
        head, rows = table(book, "Data_Adr")
        ie, nm, vl = head.index("ID_Element"), head.index("Name"), head.index("Val")
        code = next(text(r[vl]) for r in rows if r[ie] == "P_OKUD")
        if "#" + code + "#" not in ACCEPTED:
            code = "0"
    except Exception:
        code = ""
    if code > "0":
        for element in ("P_FormName", "P_Name"):
            lines.append(next((text(r[nm]) + text(r[vl]) for r in rows if r[ie] == element), ""))
        head, rows = table(book, "T_Check")
        cols = [head.index(c) for c in ("ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result")]
        failed = [r for r in rows if isinstance(r[cols[5]], float) and r[cols[5]] > 0]
        failed.sort(key=lambda r: tuple(r[c] for c in cols[:4]))
        lines += [text(r[cols[4]]) for r in failed] or ["Ошибки в документе не найдены."]
    else:
        lines += ["*" * 66, "***      Ошибка №1: Неизвестный документ!!!      ***", "*" * 66]
    lines += ["Проверка завершена: " + now_time() + ".", "", "", ""]
    with open(report, "ab") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1251", "replace"))
    if code > "0" and on_demand:
        book.release_resources()


def peak_kib():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def main():
    args = sys.argv[1:]
    on_demand = args[:1] == ["--on-demand"]
    if on_demand:
        args = args[1:]
    report, repeats, paths = args[0], int(args[1]), args[2:]
    open(report, "wb").close()
    for path in paths:
        times, cpu = [], []
        for _ in range(repeats):
            c0, t0 = time.process_time(), time.perf_counter()
            job(path, report, on_demand)
            times.append(time.perf_counter() - t0)
            cpu.append(time.process_time() - c0)
        print(json.dumps({"file": path, "times": times, "cpu": cpu}), flush=True)
    print(json.dumps({"peak_kib": peak_kib()}), flush=True)


if __name__ == "__main__":
    main()
