// The verification job on SheetJS (npm package xlsx), as a user would
// script it in Node.
//
// Usage: node sheetjs_job.js REPORT REPEATS WORKBOOK...
//
// For every workbook, REPEATS times: read it with XLSX.readFile, find the
// defined names Data_Adr and T_Check in Workbook.Names, read the form code
// (Val of P_OKUD), accept it against edition A's codes, read the captions
// (Name & Val of P_FormName and P_Name), select the T_Check rows with
// Result > 0 sorted by the four keys and append the report entry to REPORT
// (Windows-1251, CR LF). Prints one JSON line per workbook with the wall and
// CPU time of every repetition (seconds, inside the process; CPU time counts
// V8's helper threads too) and a last line with the process's peak resident
// memory (VmHWM, KiB).
'use strict';
const fs = require('fs');
const XLSX = require('xlsx');

const ACCEPTED = '#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#';

// Windows-1251 encoder: ASCII, Cyrillic and the few signs a form uses.
const CP1251 = new Map();
{
  const high = 'ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—\u0098™љ›њќћџ\u00a0ЎўЈ¤Ґ¦§Ё©Є«¬\u00ad®Ї°±Ііґµ¶·ё№є»јЅѕї';
  for (let i = 0; i < high.length; i++) CP1251.set(high.charCodeAt(i), 0x80 + i);
  for (let i = 0; i < 64; i++) CP1251.set(0x410 + i, 0xc0 + i);
}
function toCp1251(s) {
  const out = Buffer.allocUnsafe(s.length);
  for (let i = 0; i < s.length; i++) {
    const c = s.charCodeAt(i);
    out[i] = c < 0x80 ? c : CP1251.get(c) ?? 0x3f;
  }
  return out;
}

function table(wb, name) {
  const def = (wb.Workbook?.Names || []).find((n) => n.Name.toLowerCase() === name.toLowerCase());
  if (!def) throw new Error('no table ' + name);
  const bang = def.Ref.lastIndexOf('!');
  let sheetName = def.Ref.slice(0, bang);
  if (sheetName.startsWith("'")) sheetName = sheetName.slice(1, -1).replace(/''/g, "'");
  const ws = wb.Sheets[sheetName];
  const range = XLSX.utils.decode_range(def.Ref.slice(bang + 1).replace(/\$/g, ''));
  const used = XLSX.utils.decode_range(ws['!ref'] || 'A1:A1');
  const rows = [];
  for (let r = range.s.r; r <= Math.min(range.e.r, used.e.r); r++) {
    const row = [];
    for (let c = range.s.c; c <= range.e.c; c++) {
      const cell = ws[XLSX.utils.encode_cell({ r, c })];
      row.push(cell ? cell.v : '');
    }
    rows.push(row);
  }
  return { head: rows[0].map(String), rows: rows.slice(1) };
}

const text = (v) => (v === undefined || v === null ? '' : String(v));
const two = (n) => String(n).padStart(2, '0');
const nowTime = () => {
  const t = new Date();
  return `${t.getHours()}:${two(t.getMinutes())}:${two(t.getSeconds())}`;
};

function job(path, report) {
  const d = new Date();
  const lines = ['Файл: ' + path, `Дата: ${two(d.getDate())}.${two(d.getMonth() + 1)}.${d.getFullYear()}   ${nowTime()}`];
  let code = '';
  let wb, da, ie, nm, vl;
  try {
    wb = XLSX.readFile(path);
    da = table(wb, 'Data_Adr');
    [ie, nm, vl] = ['ID_Element', 'Name', 'Val'].map((c) => da.head.indexOf(c));
    const row = da.rows.find((r) => r[ie] === 'P_OKUD');
    code = row ? text(row[vl]) : '';
    if (!ACCEPTED.includes('#' + code + '#')) code = '0';
  } catch (e) {
    code = '';
  }
  if (code > '0') {
    for (const element of ['P_FormName', 'P_Name']) {
      const row = da.rows.find((r) => r[ie] === element);
      lines.push(row ? text(row[nm]) + text(row[vl]) : '');
    }
    const tc = table(wb, 'T_Check');
    const cols = ['ID_Form', 'ID_Section', 'ID_Rule', 'ID_Check', 'Name', 'Result'].map((c) => tc.head.indexOf(c));
    const failed = tc.rows.filter((r) => typeof r[cols[5]] === 'number' && r[cols[5]] > 0);
    failed.sort((a, b) => {
      for (let k = 0; k < 4; k++) {
        if (a[cols[k]] < b[cols[k]]) return -1;
        if (a[cols[k]] > b[cols[k]]) return 1;
      }
      return 0;
    });
    if (failed.length) for (const r of failed) lines.push(text(r[cols[4]]));
    else lines.push('Ошибки в документе не найдены.');
  } else {
    lines.push('*'.repeat(66), '***      Ошибка №1: Неизвестный документ!!!      ***', '*'.repeat(66));
  }
  lines.push('Проверка завершена: ' + nowTime() + '.', '', '', '');
  fs.appendFileSync(report, toCp1251(lines.map((l) => l + '\r\n').join('')));
}

function peakKib() {
  const m = /VmHWM:\s+(\d+)/.exec(fs.readFileSync('/proc/self/status', 'utf8'));
  return m ? Number(m[1]) : 0;
}

const [report, repeatsText, ...paths] = process.argv.slice(2);
fs.writeFileSync(report, '');
for (const path of paths) {
  const times = [];
  const cpu = [];
  for (let i = 0; i < Number(repeatsText); i++) {
    const c0 = process.cpuUsage();
    const t0 = process.hrtime.bigint();
    job(path, report);
    times.push(Number(process.hrtime.bigint() - t0) / 1e9);
    const c = process.cpuUsage(c0);
    cpu.push((c.user + c.system) / 1e6);
  }
  console.log(JSON.stringify({ file: path, times, cpu }));
}
console.log(JSON.stringify({ peak_kib: peakKib() }));
