#!/usr/bin/env python3
"""Checks chew_study's tables against the reports it wrote, with Python's csv module.

    study_check.py OUT_DIR [--truth DIR]

Loads experiments.csv, indices.csv, cycles.csv, runs.csv and findings.csv from OUT_DIR and, for
every recording whose run is "ok", its report. A table value, read as the 80-bit value it denotes and
rounded as the report's printf conversion rounds it, must give the report's printed text; values
the report derives from table values (the evaluation table from the MVC-based cycle work, which
in turn follows from the cycles' burst maxima) are recomputed here with every operation rounded
to the 80-bit format. With --truth, DIR/<name>.truth ("EXPERIMENT CYCLES" lines, from
chew_simulate; its "stroke" lines are skipped) must give the confirmed cycles of experiments 13
to 18. A value of a channel the recording does not carry (runs.csv's emg_channels is 2: the
temporales) must be an empty field, and exactly those values and the ones outside the chewing
trials may be; the findings of a recording must add up to its warnings and errors in runs.csv.

Prints one line per runs.csv row, "run" and its file, status, report, samples, experiments,
skipped_lines, rms_time_ms, mvc_time_ms, nl_time_ms, emg_threshold, dist_threshold_mm, points,
emg_channels, warnings and errors separated by tabs, then a "checked ..." summary. Exits 1 on the first kinds of mismatch it finds
(all of them are listed), 0 when everything agrees.
"""

import csv
import math
import os
import sys
from fractions import Fraction

EXPERIMENT_COLUMNS = (
    ["file", "experiment", "trial", "first_sample", "last_sample", "duration_s",
     "threshold_crossings", "chewing_cycles", "right_max_mm", "left_max_mm", "incisal_max_mm"]
    + [m + "_mvc_uV" for m in ("mr", "ml", "tr", "tl")]
    + [m + "_noise_uV" for m in ("mr", "ml", "tr", "tl")]
    + [m + "_work_uVs" for m in ("mr", "ml", "tr", "tl")]
    + [m + "_mvc_cycle_work_ms" for m in ("mr", "ml", "tr", "tl")]
    + ["masseter_balance_pct", "temporalis_balance_pct"])
INDEX_COLUMNS = ["file", "index", "name", "muscle", "condition", "value", "unit"]
CYCLE_COLUMNS = (
    ["file", "experiment", "trial", "cycle", "start_sample", "end_sample", "start_time_ms",
     "end_time_ms", "duration_ms", "incisal_max_mm", "end_distance_mm", "amplitude_mm",
     "opening_speed_mm_per_s", "closing_speed_mm_per_s"]
    + [m + "_burst_max_uVms" for m in ("mr", "ml", "tr", "tl")] + ["confirmed"]
    + ["first_stroke", "last_stroke"])
RUN_COLUMNS = ["file", "status", "report", "samples", "experiments", "calibration_type",
               "skipped_lines", "sampling_rate_Hz", "rms_time_ms", "mvc_time_ms", "nl_time_ms",
               "emg_threshold", "dist_threshold_mm", "version", "points", "emg_channels",
               "warnings", "errors", "emg_threshold_given_pct", "dist_threshold_given_mm",
               "protocol", "protocol_sha256"]
FINDING_COLUMNS = ["file", "check", "severity", "experiment", "trial", "channel", "value", "limit",
                   "unit", "message"]

TRIALS = {13: "FK1", 14: "FK2", 15: "RK1", 16: "RK2", 17: "LK1", 18: "LK2"}
CHANNELS = ("mr", "ml", "tr", "tl")

problems = []


def problem(text):
    problems.append(text)


# ---- 80-bit extended values -------------------------------------------------------------------

def to_ld(q):
    """The 80-bit value nearest to the rational q (64-bit significand, ties to even)."""
    if q == 0:
        return Fraction(0)
    sign = -1 if q < 0 else 1
    a = abs(q)
    shift = 63 - (a.numerator.bit_length() - a.denominator.bit_length())
    m = a * Fraction(2) ** shift
    while m >= 2 ** 64:
        m /= 2
        shift -= 1
    while m < 2 ** 63:
        m *= 2
        shift += 1
    r = round(m)
    return sign * Fraction(r) / Fraction(2) ** shift


def value(text):
    """The value a table cell denotes: a Fraction, or a float for NaN, infinities and -0."""
    if text == "NaN":
        return math.nan
    if text in ("Inf", "-Inf"):
        return math.inf if text == "Inf" else -math.inf
    q = to_ld(Fraction(text))
    if q == 0 and text.startswith("-"):
        return -0.0
    return q


def finite(x):
    return isinstance(x, Fraction)


def ld_add(a, b):
    return to_ld(a + b) if finite(a) and finite(b) else float(a) + float(b)


def ld_sub(a, b):
    return to_ld(a - b) if finite(a) and finite(b) else float(a) - float(b)


def ld_mul(a, b):
    return to_ld(a * b) if finite(a) and finite(b) else float(a) * float(b)


def ld_div(a, b):
    if finite(a) and finite(b) and b != 0:
        return to_ld(a / b)
    if b == 0:  # what the 80-bit division gives, where Python's raises
        if a == 0 or (isinstance(a, float) and math.isnan(a)):
            return math.nan
        return math.inf if a > 0 else -math.inf
    return float(a) / float(b)


def show(x):
    return printf_f(x, 21) if finite(x) else str(x)


def same_value(a, b):
    if finite(a) and finite(b):
        return a == b
    a, b = float(a), float(b)
    return (math.isnan(a) and math.isnan(b)) or a == b


def printf_f(x, precision, plus=False):
    """printf's "%.<precision>Lf" (or "%+...") of x, without the field width."""
    if isinstance(x, float):
        if math.isnan(x):
            return "nan"
        if math.isinf(x):
            return "-inf" if x < 0 else ("+inf" if plus else "inf")
        negative = math.copysign(1, x) < 0
        x = Fraction(0)
    else:
        negative = x < 0
    digits = str(round(abs(x) * 10 ** precision)).rjust(precision + 1, "0")
    body = digits[:-precision] + "." + digits[-precision:] if precision else digits
    return ("-" if negative else "+" if plus else "") + body


def same_print(printed, x, precision, plus=False):
    expected = printf_f(x, precision, plus)
    if expected == "nan":
        return printed.lstrip("+-") == "nan"
    return printed == expected


# ---- the files --------------------------------------------------------------------------------

def load(folder, name, columns):
    path = os.path.join(folder, name)
    with open(path, "rb") as raw:
        data = raw.read()
    if b"\r\n" in data:
        problem(f"{name}: a record ended by CRLF, not LF")
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    if not rows or rows[0] != columns:
        problem(f"{name}: header {rows[0] if rows else None} is not {columns}")
        return []
    for n, row in enumerate(rows[1:], 2):
        if len(row) != len(columns):
            problem(f"{name} record {n}: {len(row)} fields, header has {len(columns)}")
    return [dict(zip(columns, row)) for row in rows[1:]]


def report_tokens(line):
    """The values of a report table row: bars, slashes and per-cent signs are separators."""
    for separator in "|/%":
        line = line.replace(separator, " ")
    return line.split()


class Report:
    def __init__(self, path):
        with open(path, encoding="latin-1") as f:
            self.lines = f.read().split("\n")

    def index_of(self, prefix, start=0):
        for i in range(start, len(self.lines)):
            if self.lines[i].startswith(prefix):
                return i
        raise ValueError(f"no line starts with {prefix!r}")

    def experiment_rows(self):
        i = self.index_of("-----+----+---------------+") + 1
        rows = []
        while self.lines[i] != "":
            rows.append(report_tokens(self.lines[i]))
            i += 1
        return rows

    def evaluation(self):
        title = self.index_of("Evaluation tables according to Talvorsen")
        i = title + 5
        rows = []
        while not self.lines[i].startswith("--------------|"):
            rows.append(report_tokens(self.lines[i]))
            i += 1
        return rows, report_tokens(self.lines[i + 1])

    def index_row(self, number):
        prefix = {1: "1 mikroVolt_AI", 2: "2 mikroVolt_DCI", 3: "3 mikroVolt_MVC",
                  4: "4 mikroVolt_MuscleWork_re", 5: "5 mikroVolt_MuscleWork_li",
                  6: "6 MVCbased_AI", 7: "7 MVCbased_MuscleWork_re",
                  8: "8 MVCbased_Musclework_li", 9: " 9 AnzahlKauzyklen",
                  10: "10 DauerKausequenz", 11: "11 Kaufrequenz"}[number]
        words = self.lines[self.index_of(prefix)].replace("|", " ").split()[1:]
        return [w for w in words if is_printed_number(w)]


def is_printed_number(word):
    w = word.lstrip("+-")
    if w in ("nan", "inf"):
        return True
    return w.replace(".", "", 1).isdigit()


# ---- the checks -------------------------------------------------------------------------------

SIDES = [("M", c) for c in ("FK", "RK", "LK")] + [("T", c) for c in ("FK", "RK", "LK")]
MUSCLES = [(m, "") for m in ("MR", "ML", "TR", "TL")]
RIGHT = [(m, c) for m in ("MR", "TR") for c in ("FK", "RK", "LK")]
LEFT = [(m, c) for m in ("ML", "TL") for c in ("FK", "RK", "LK")]
CONDITIONS = [("", c) for c in ("FK", "RK", "LK")]
INDEX_KEYS = {1: SIDES, 2: MUSCLES, 3: MUSCLES, 4: RIGHT, 5: LEFT, 6: SIDES, 7: RIGHT, 8: LEFT,
              9: CONDITIONS, 10: CONDITIONS, 11: CONDITIONS}
INDEX_PRECISION = {1: 1, 2: 1, 3: 2, 4: 1, 5: 1, 6: 1, 7: 1, 8: 1, 9: 1, 10: 2, 11: 3}
INDEX_UNITS = {1: "%", 2: "%", 3: "uV", 4: "uVs", 5: "uVs", 6: "%", 7: "10 ms", 8: "10 ms",
               9: "cycles", 10: "s", 11: "Hz"}


def carried_channels(run):
    """The EMG channels runs.csv says the recording carries."""
    return CHANNELS[: int(run["emg_channels"])]


def check_empty_fields(where, row, expected):
    """The empty fields of a row must be exactly `expected`."""
    empty = {column for column, text in row.items() if text == ""}
    if empty != set(expected):
        problem(f"{where}: empty fields {sorted(empty)}, expected {sorted(expected)}")


def check_experiments(file, rows, report, counted, carried):
    printed = report.experiment_rows()
    if len(printed) != len(rows):
        problem(f"{file}: {len(rows)} experiment rows, the report has {len(printed)}")
        return
    for row, p in zip(rows, printed):
        k = int(row["experiment"])
        where = f"{file} experiment {k}"
        if len(p) != 21 or int(p[0]) != k:
            problem(f"{where}: report row {p}")
            continue
        chewing = k >= 13
        absent = [ch for ch in CHANNELS if ch not in carried]
        expected_empty = [ch + q for ch in absent for q in ("_mvc_uV", "_noise_uV", "_work_uVs")]
        expected_empty += [ch + "_mvc_cycle_work_ms" for ch in CHANNELS
                           if not chewing or ch in absent]
        if not chewing:
            expected_empty += ["trial", "chewing_cycles", "masseter_balance_pct",
                               "temporalis_balance_pct"]
        elif "tr" in absent:
            expected_empty.append("temporalis_balance_pct")
        check_empty_fields(where, row, expected_empty)
        if row["trial"] != TRIALS.get(k, ""):
            problem(f"{where}: trial {row['trial']!r}")
        if (row["first_sample"], row["last_sample"]) != (p[2], p[3]):
            problem(f"{where}: samples {row['first_sample']}..{row['last_sample']}, report {p[2]}..{p[3]}")
        cycles = row["chewing_cycles"]
        if (cycles if chewing else "0") != p[1] or (not chewing and cycles != ""):
            problem(f"{where}: chewing_cycles {cycles!r}, report C. {p[1]}")
        pairs = [("right_max_mm", 4), ("left_max_mm", 5), ("incisal_max_mm", 6)]
        for c, ch in enumerate(CHANNELS):
            if ch in carried:
                pairs += [(ch + "_mvc_uV", 7 + 2 * c), (ch + "_noise_uV", 8 + 2 * c)]
        for column, at in pairs:
            if not same_print(p[at], value(row[column]), 2):
                problem(f"{where}: {column} {row[column]} prints as {p[at]}?")
        for column, at in [("mr_work_uVs", 15), ("ml_work_uVs", 16), ("tr_work_uVs", 18),
                           ("tl_work_uVs", 19)]:
            if column[:2] not in carried:
                continue
            if not same_print(p[at], value(row[column]), 0):
                problem(f"{where}: {column} {row[column]} prints as {p[at]}?")
        for column, at in [("masseter_balance_pct", 17), ("temporalis_balance_pct", 20)]:
            if chewing and row[column] == "":
                continue  # absent channels: the empty field is checked above
            if chewing:
                if not same_print(p[at], value(row[column]), 0):
                    problem(f"{where}: {column} {row[column]} prints as {p[at]}?")
            elif row[column] != "" or p[at] != "0":
                problem(f"{where}: {column} {row[column]!r} outside the chewing trials")
        if chewing and counted.get(k) != (int(cycles) if cycles else None):
            problem(f"{where}: {counted.get(k)} confirmed cycles in cycles.csv, C. is {cycles}")


def check_evaluation(file, rows, report):
    """The evaluation table recomputed from the MVC-based cycle work of experiments.csv."""
    V = {int(r["experiment"]): [value(r[ch + "_mvc_cycle_work_ms"]) for ch in ("mr", "ml")]
         for r in rows if int(r["experiment"]) >= 13}
    printed, summary = report.evaluation()
    if len(printed) != len(V):
        problem(f"{file}: {len(printed)} evaluation rows for {len(V)} chewing trials")
        return
    for k, p in zip(sorted(V), printed):
        v1, v2 = V[k]
        expected = [(p[3], ld_div(v1, Fraction(10)), False),
                    (p[4], ld_div(v2, Fraction(10)), False),
                    (p[5], ld_div(ld_add(v1, v2), Fraction(10)), False),
                    (p[6], ld_div(ld_mul(ld_sub(v1, v2), Fraction(100)), ld_add(v1, v2)), True)]
        for text, x, plus in expected:
            if not same_print(text, x, 0, plus):
                problem(f"{file} experiment {k}: evaluation table shows {text}, expected "
                        f"{printf_f(x, 0, plus)}")

    def balance(channel):
        get = lambda k: V.get(k, [Fraction(0), Fraction(0)])[channel]
        right = ld_add(get(15), get(16))
        numerator = ld_mul(ld_sub(right, ld_add(get(17), get(18))), Fraction(100))
        return ld_div(numerator, ld_add(ld_add(right, get(17)), get(18)))

    for channel in (0, 1):
        if not same_print(summary[channel], balance(channel), 0, True):
            problem(f"{file}: evaluation summary shows {summary[channel]}, expected "
                    f"{printf_f(balance(channel), 0, True)}")


def check_indices(file, rows, report, experiment_rows, carried):
    by_key = {}
    for r in rows:
        key = (int(r["index"]), r["muscle"], r["condition"])
        if key in by_key:
            problem(f"{file}: index row {key} twice")
        by_key[key] = r
    wanted = {(n, m, c) for n, keys in INDEX_KEYS.items() for m, c in keys}
    if set(by_key) != wanted:
        problem(f"{file}: index rows {sorted(set(by_key) ^ wanted)} missing or extra")
        return 0
    for (n, m, c), r in by_key.items():
        # An index of the temporales only (T, TR, TL) is empty exactly when they are absent.
        absent = m.startswith("T") and "tr" not in carried
        if (r["value"] == "") != absent:
            problem(f"{file}: index {n} {m} {c} value {r['value']!r} with channels {carried}")
    for n, keys in INDEX_KEYS.items():
        printed = report.index_row(n)
        if len(printed) != len(keys):
            problem(f"{file}: index row {n} prints {printed}")
            continue
        for (m, c), text in zip(keys, printed):
            r = by_key[(n, m, c)]
            if r["unit"] != INDEX_UNITS[n]:
                problem(f"{file}: index {n} {m} {c} in {r['unit']!r}")
            if r["value"] != "" and not same_print(text, value(r["value"]), INDEX_PRECISION[n]):
                problem(f"{file}: index {n} {m} {c} = {r['value']} prints as {text}?")
    # Rows 7 and 8 are the MVC-based cycle work of experiments.csv: pair sum / 20.
    work = {int(r["experiment"]): r for r in experiment_rows}
    first_trial = {"FK": 13, "RK": 15, "LK": 17}
    for n in (7, 8):
        for m, c in INDEX_KEYS[n]:
            column = m.lower() + "_mvc_cycle_work_ms"
            k = first_trial[c]
            if k + 1 not in work or m.lower() not in carried:
                continue
            pair = ld_add(value(work[k][column]), value(work[k + 1][column]))
            expected = ld_div(pair, Fraction(20))
            got = value(by_key[(n, m, c)]["value"])
            if not same_value(got, expected):
                problem(f"{file}: index {n} {m} {c} is {show(got)}, the experiments give "
                        f"{show(expected)}")
    return len(rows)


def check_cycles(file, rows, experiment_rows, index_rows, threshold, carried):
    """Confirmation and MVC-based cycle work recomputed from the cycles' burst maxima."""
    mvc = {r["muscle"]: value(r["value"]) for r in index_rows
           if r["index"] == "3" and r["muscle"].lower() in carried}
    limit = {ch: ld_mul(Fraction(10), mvc[ch.upper()]) for ch in carried}
    bounds = {int(r["experiment"]): (int(r["first_sample"]), int(r["last_sample"]))
              for r in experiment_rows}
    counted, sums, numbers = {}, {}, {}
    for r in rows:
        k = int(r["experiment"])
        where = f"{file} experiment {k} cycle {r['cycle']}"
        numbers[k] = numbers.get(k, 0) + 1
        if k < 13 or int(r["cycle"]) != numbers[k] or r["trial"] != TRIALS.get(k):
            problem(f"{where}: out of place")
        first, last = bounds.get(k, (0, -1))
        if not first <= int(r["start_sample"]) < int(r["end_sample"]) <= last:
            problem(f"{where}: samples {r['start_sample']}..{r['end_sample']} outside {first}..{last}")
        if not (value(r["incisal_max_mm"]) >= threshold > value(r["end_distance_mm"])):
            problem(f"{where}: does not cross the distance threshold {threshold}")
        check_empty_fields(where, r, [ch + "_burst_max_uVms" for ch in CHANNELS
                                      if ch not in carried])
        burst = {ch: value(r[ch + "_burst_max_uVms"]) for ch in carried}
        confirmed = burst["mr"] > limit["mr"] or burst["ml"] > limit["ml"]
        if r["confirmed"] != ("1" if confirmed else "0"):
            problem(f"{where}: confirmed {r['confirmed']}, the masseter maxima say {confirmed}")
        counted[k] = counted.get(k, 0) + (r["confirmed"] == "1")
        for ch in carried:
            s = sums.setdefault((k, ch), Fraction(0))
            if burst[ch] > limit[ch]:
                sums[(k, ch)] = ld_add(s, burst[ch])
    for r in experiment_rows:
        k = int(r["experiment"])
        if k < 13:
            continue
        counted.setdefault(k, 0)
        for ch in carried:
            expected = ld_div(sums.get((k, ch), Fraction(0)), mvc[ch.upper()])
            got = value(r[ch + "_mvc_cycle_work_ms"])
            if not same_value(got, expected):
                problem(f"{file} experiment {k}: {ch}_mvc_cycle_work_ms {show(got)}, the cycles "
                        f"give {show(expected)}")
    return counted


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--truth"):
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[1]
    truth_dir = argv[3] if len(argv) == 4 else None
    experiments = load(out, "experiments.csv", EXPERIMENT_COLUMNS)
    indices = load(out, "indices.csv", INDEX_COLUMNS)
    cycles = load(out, "cycles.csv", CYCLE_COLUMNS)
    runs = load(out, "runs.csv", RUN_COLUMNS)
    findings = load(out, "findings.csv", FINDING_COLUMNS)

    def of(table, file):
        return [r for r in table if r["file"] == file]

    checked = {"recordings": 0, "experiment rows": 0, "index values": 0, "cycles": 0,
               "truth counts": 0, "findings": 0}
    for run in runs:
        file = run["file"]
        print("run", file, run["status"], run["report"], run["samples"], run["experiments"],
              run["skipped_lines"], run["rms_time_ms"], run["mvc_time_ms"], run["nl_time_ms"],
              run["emg_threshold"], run["dist_threshold_mm"], run["points"], run["emg_channels"],
              run["warnings"], run["errors"], sep="\t")
        # The thresholds as given (per cent, mm) are those used.
        for given, used, scale in (("emg_threshold_given_pct", "emg_threshold", 100),
                                   ("dist_threshold_given_mm", "dist_threshold_mm", 1)):
            if abs(float(run[given]) / scale - float(run[used])) > 1e-15 * float(run[used]):
                problem(f"{file}: {given} {run[given]} is not {used} {run[used]}")
        mine = [of(t, file) for t in (experiments, indices, cycles, findings)]
        if run["status"] != "ok":
            if run["report"] or any(mine) or run["warnings"] or run["errors"]:
                problem(f"{file}: failed, yet has a report, table rows or finding counts")
            continue
        mine, found = mine[:3], mine[3]
        for severity in ("warning", "error"):
            n = sum(1 for f in found if f["severity"] == severity)
            if str(n) != run[severity + "s"]:
                problem(f"{file}: {n} {severity} findings, runs.csv says {run[severity + 's']}")
        checked["findings"] += len(found)
        if (run["points"], run["emg_channels"]) not in (("5", "2"), ("3", "4"), ("3", "2"),
                                                        ("5", "0"), ("3", "0")):
            problem(f"{file}: {run['points']} points and {run['emg_channels']} EMG channels")
        carried = carried_channels(run)
        report = Report(os.path.join(out, run["report"]))
        e_rows, i_rows, c_rows = mine
        if len(e_rows) != int(run["experiments"]):
            problem(f"{file}: {len(e_rows)} experiment rows for {run['experiments']} experiments")
        threshold = value(run["dist_threshold_mm"])
        counted = check_cycles(file, c_rows, e_rows, i_rows, threshold, carried)
        check_experiments(file, e_rows, report, counted, carried)
        check_evaluation(file, e_rows, report)
        checked["index values"] += check_indices(file, i_rows, report, e_rows, carried)
        if truth_dir:
            stem = run["report"][: -len("_output.txt")]
            truth_path = os.path.join(truth_dir, stem + ".truth")
            if os.path.exists(truth_path):
                with open(truth_path) as f:
                    for line in f:
                        if line.startswith(("stroke ", "movement ", "clench ")):
                            continue  # a stroke, a border movement, a clench; not a count
                        k, n = (int(w) for w in line.split())
                        checked["truth counts"] += 1
                        if counted.get(k) != n:
                            problem(f"{file} experiment {k}: {counted.get(k)} confirmed cycles, "
                                    f"the truth says {n}")
        checked["recordings"] += 1
        checked["experiment rows"] += len(e_rows)
        checked["cycles"] += len(c_rows)
    files = {r["file"] for r in runs}
    for name, table in (("experiments", experiments), ("indices", indices), ("cycles", cycles),
                        ("findings", findings)):
        if any(r["file"] not in files for r in table):
            problem(f"{name}.csv: rows of a file runs.csv does not list")
    print("checked " + ", ".join(f"{n} {what}" for what, n in checked.items()))
    for p in problems:
        print("MISMATCH " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
