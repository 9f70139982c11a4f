"""Generates the benchmark corpus: realistic forms from about 20 KB to 20 MB.

Usage: make_corpus.py [OUTDIR]      (default: bench/corpus next to this script)

Every form is written as .xlsx with openpyxl and converted to BIFF8 .xls by
Gnumeric (`ssconvert --recalc`), which computes and stores the cached result
of every formula: the check outcomes that the readers select. Each form has
a title sheet with `Data_Adr` (form code 0606024 as text and the captions),
a dozen sheets of figures (numbers, row totals as formulas, some totals
typed in by hand and wrong), and a check sheet with `T_Check`: Cyrillic
wordings and live check formulas over the figure sheets, in shuffled key
order, some of which fail. Both names are read back with xlrd after the
conversion; a form whose tables do not survive is an error.

Forms are cached: a form is rebuilt only when its parameters (or this
script) change. OUTDIR/sizes/*.xls are the forms of the size series,
OUTDIR/many/*.xls the 1,000 copies of typical small forms.
"""

import hashlib
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

import openpyxl
import xlrd
from openpyxl.utils import get_column_letter
from openpyxl.workbook.defined_name import DefinedName

# name: (figure rows per sheet, figure columns, checks, wording repeat, seed)
# name: (figure sheets, rows per sheet, figure columns, checks, wording repeat, seed)
SIZES = [
    ("form_020k", 5, 4, 4, 20, 1, 1),
    ("form_200k", 12, 35, 10, 300, 1, 2),
    ("form_1400k", 12, 45, 20, 3000, 1, 3),
    ("form_5m", 12, 400, 24, 8000, 1, 4),
    ("form_20m", 12, 2000, 28, 25000, 1, 5),
]
# Distinct small forms, copied to make the 1,000-form run.
MANY_DISTINCT = [("small_a", 5, 4, 4, 20, 1, 11), ("small_b", 5, 5, 4, 18, 1, 12),
                 ("small_c", 6, 4, 4, 22, 1, 13), ("small_d", 5, 4, 5, 20, 1, 14)]
MANY_COUNT = 1000

SUBJECTS = ["сумма граф", "итог по строке", "численность работников", "фонд начисленной заработной платы",
            "площадь земельных участков", "стоимость основных средств", "выручка от реализации",
            "остаток на конец периода", "поголовье скота", "посевная площадь", "валовой сбор",
            "затраты на производство", "объём отгруженной продукции", "задолженность по платежам"]
RELATIONS = ["должна быть равна", "не может превышать", "должен совпадать с", "должна быть не меньше"]
TAILS = ["сумме строк", "итогу раздела", "значению графы", "данным раздела", "итогу по всем строкам"]


def wording(rng, section, row, col, number, repeat):
    text = "Раздел %d, строка %d, графа %d: %s %s %s %d (контроль № %d)" % (
        section, row, col, rng.choice(SUBJECTS), rng.choice(RELATIONS), rng.choice(TAILS),
        rng.randint(1, 40), number)
    if repeat > 1:
        text += "; " + "; ".join("пояснение %d к контролю %d" % (k, number) for k in range(repeat - 1))
    return text


def sheet_title(k):
    return "Раздел%d" % k


def build_xlsx(path, sheets, rows, cols, checks, repeat, seed):
    """Writes one form; returns the number of checks that fail."""
    rng = random.Random(seed)
    wb = openpyxl.Workbook()
    title = wb.active
    title.title = "Титул"
    title["A1"] = "Федеральное статистическое наблюдение"
    title["A2"] = "Конфиденциальность гарантируется получателем информации"
    elements = [
        ("ID_Element", "Name", "Val"),
        ("P_OKUD", "Код формы по ОКУД: ", "0606024"),
        ("P_FormName", "Форма № 1-ЗУ: ", "Сведения о наличии и распределении земель (вариант %d)" % seed),
        ("P_Name", "Наименование отчитывающейся организации: ", "ООО «Агрохолдинг Северный-%d»" % seed),
        ("P_Adr", "Почтовый адрес: ", "г. Новосибирск, ул. Ленина, д. %d" % seed),
        ("P_Period", "Отчётный период: ", "январь – декабрь 2009 г."),
        ("P_OKPO", "Код по ОКПО: ", "%08d" % (12345678 + seed)),
        ("P_Head", "Руководитель: ", "Иванов Иван Иванович"),
        ("P_Phone", "Телефон: ", "(383) 222-33-%02d" % (seed % 100)),
    ]
    for i, (ident, name, val) in enumerate(elements):
        for j, v in enumerate((ident, name, val)):
            cell = title.cell(row=4 + i, column=2 + j, value=v)
            cell.data_type = "s"  # the codes keep their leading zeros
    wb.defined_names.append(DefinedName("Data_Adr", attr_text="'Титул'!$B$4:$D$%d" % (3 + len(elements))))

    # Figure sheets: columns B.. hold numbers, the column after them the row
    # total (=SUM) or, in a few rows, a total typed in by hand.
    values = {}  # (sheet, row, col) -> number, the figures the checks may use
    first_row, first_col = 5, 2
    total_col = first_col + cols
    typed_totals = []
    for k in range(1, sheets + 1):
        ws = wb.create_sheet(sheet_title(k))
        ws["A1"] = "Раздел %d. Показатели деятельности организации" % k
        ws["A3"] = "Код строки"
        for c in range(cols):
            ws.cell(row=3, column=first_col + c, value="Графа %d" % (c + 1))
        ws.cell(row=3, column=total_col, value="Итого")
        for r in range(rows):
            row = first_row + r
            ws.cell(row=row, column=1, value="%03d" % (r + 1))
            total = 0
            for c in range(cols):
                v = rng.randint(0, 5000) if rng.random() < 0.8 else round(rng.uniform(0, 999), 2)
                ws.cell(row=row, column=first_col + c, value=v)
                values[(k, row, first_col + c)] = v
                total += v
            cl, cr = get_column_letter(first_col), get_column_letter(total_col - 1)
            if rng.random() < 0.04:
                typed = round(total + rng.choice((0, 0, 1, -3, 10)), 2)
                ws.cell(row=row, column=total_col, value=typed)
                typed_totals.append((k, row))
            else:
                ws.cell(row=row, column=total_col, value="=SUM(%s%d:%s%d)" % (cl, row, cr, row))

    # The check sheet: T_Check in columns A..F, in shuffled key order.
    ws = wb.create_sheet("Контроль")
    header = ("ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result")
    for j, h in enumerate(header):
        ws.cell(row=1, column=1 + j, value=h)
    keys = []
    for n in range(checks):
        section = 1 + n * sheets // max(checks, 1)
        keys.append((1, section, 1 + (n % 97), 1 + n))
    order = list(range(checks))
    rng.shuffle(order)

    def ref(k, row, col):
        return "%s!%s%d" % (sheet_title(k), get_column_letter(col), row)

    for out_row, n in enumerate(order, start=2):
        id_form, section, rule, check = keys[n]
        k = 1 + (n % sheets)
        r = first_row + rng.randrange(rows)
        kind = rng.random()
        if kind < 0.45:
            # A row total against the sum of its figures: fails where the
            # total was typed in wrongly.
            cl, cr = get_column_letter(first_col), get_column_letter(total_col - 1)
            formula = "=IF(%s<>SUM(%s!%s%d:%s%d),1,0)" % (ref(k, r, total_col), sheet_title(k), cl, r, cr, r)
        elif kind < 0.75:
            # One figure against two of another sheet: usually fails unless
            # the relation happens to hold (a few per cent of the rows).
            k2 = 1 + (k % sheets)
            r2 = first_row + rng.randrange(max(rows - 1, 1))
            c = first_col + rng.randrange(cols)
            c2 = first_col + rng.randrange(cols)
            formula = "=IF(%s>%s+%s,1,0)" % (ref(k, r, c), ref(k2, r2, c2), ref(k2, min(r2 + 1, first_row + rows - 1), c2))
        elif kind < 0.9:
            c = first_col + rng.randrange(cols)
            formula = "=IF(%s<0,2,0)" % ref(k, r, c)  # never negative: passes
        else:
            c = first_col + rng.randrange(cols)
            formula = "=IF(%s>=0,-1,1)" % ref(k, r, c)  # a passed check that reads -1
        ws.cell(row=out_row, column=1, value=id_form)
        ws.cell(row=out_row, column=2, value=section)
        ws.cell(row=out_row, column=3, value=rule)
        ws.cell(row=out_row, column=4, value=check)
        ws.cell(row=out_row, column=5, value=wording(rng, section, r - first_row + 1, 1 + (n % cols), check, repeat))
        ws.cell(row=out_row, column=6, value=formula)
    wb.defined_names.append(DefinedName("T_Check", attr_text="'Контроль'!$A$1:$F$%d" % (checks + 1)))
    wb.save(path)


def check_tables(path):
    """Reads both tables back with xlrd; returns (code, checks, failed)."""
    book = xlrd.open_workbook(path, on_demand=True)
    names = {n.lower(): book.name_map[n][0] for n in book.name_map}
    out = {}
    for table in ("data_adr", "t_check"):
        if table not in names:
            raise SystemExit("%s: defined name %s lost in the conversion" % (path, table))
        sheet, rlo, rhi, clo, chi = names[table].area2d()
        rows = [[sheet.cell_value(r, c) for c in range(clo, chi)] for r in range(rlo, min(rhi, sheet.nrows))]
        out[table] = rows
    code = next(r[2] for r in out["data_adr"][1:] if r[0] == "P_OKUD")
    if code != "0606024":
        raise SystemExit("%s: form code reads %r" % (path, code))
    results = [r[5] for r in out["t_check"][1:]]
    if any(not isinstance(v, float) for v in results):
        raise SystemExit("%s: T_Check has results without a cached number" % path)
    return code, len(results), sum(1 for v in results if v > 0)


def make(outdir, name, params, script_hash):
    dest = os.path.join(outdir, name + ".xls")
    stamp = dest + ".params"
    key = json.dumps({"params": params, "script": script_hash})
    if os.path.exists(dest) and os.path.exists(stamp) and open(stamp).read() == key:
        return dest
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, name + ".xlsx")
        build_xlsx(src, *params)
        tmp = os.path.join(work, name + ".xls")
        subprocess.run(["ssconvert", "--recalc", "-T", "Gnumeric_Excel:excel_biff8", src, tmp],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, checks, failed = check_tables(tmp)
        shutil.move(tmp, dest)
    with open(stamp, "w") as f:
        f.write(key)
    print("%-12s %9d bytes  %6d checks  %5d failed" % (name, os.path.getsize(dest), checks, failed), flush=True)
    return dest


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus"))
    with open(os.path.abspath(__file__), "rb") as f:
        script_hash = hashlib.sha256(f.read()).hexdigest()[:16]
    sizes = os.path.join(outdir, "sizes")
    many = os.path.join(outdir, "many")
    distinct = os.path.join(outdir, "distinct")
    for d in (sizes, many, distinct):
        os.makedirs(d, exist_ok=True)
    only = os.environ.get("BENCH_SIZES")  # e.g. "form_020k,form_1400k" for a quick run
    for name, *params in SIZES:
        if only and name not in only.split(","):
            continue
        make(sizes, name, params, script_hash)
    small = [make(distinct, name, params, script_hash) for name, *params in MANY_DISTINCT]
    for i in range(MANY_COUNT):
        dest = os.path.join(many, "form_%04d.xls" % i)
        src = small[i % len(small)]
        if not os.path.exists(dest) or os.path.getsize(dest) != os.path.getsize(src) or \
                os.path.getmtime(dest) < os.path.getmtime(src):
            shutil.copyfile(src, dest)


if __name__ == "__main__":
    main()
