#!/usr/bin/env python3
"""Recomputes trials.csv from strokes.csv and cycles.csv with Python's csv module.

Usage: kinematics_check.py STUDY_FOLDER

For every recording and chewing trial, and for every condition (FK, RK, LK: both trials
together), over all strokes and over the EMG-confirmed ones: the counts (cycles and confirmed
cycles from cycles.csv, strokes from strokes.csv), the mean, sample SD and coefficient of
variation of opening_ms, closing_ms, occlusal_ms, cycle_ms, vertical_mm, |lateral_mm| and the
peak speeds, the stroke frequency, the kinematic side counts, side preference, agreement with
the EMG side, side-switch rate and the share of reversed strokes must be what trials.csv says.
A recording has the emg_confirmed rows exactly when its strokes have an emg_confirmed value.
Prints "checked N rows" and exits 0, or prints the differences and exits 1.
"""
import csv
import math
import statistics
import sys

CONDITIONS = {"FK": ("FK1", "FK2"), "RK": ("RK1", "RK2"), "LK": ("LK1", "LK2")}
QUANTITIES = [("opening_ms", "opening", "opening_ms"),
              ("closing_ms", "closing", "closing_ms"),
              ("occlusal_ms", "occlusal", "occlusal_ms"),
              ("cycle_ms", "cycle", "cycle_ms"),
              ("vertical_mm", "vertical", "vertical_mm"),
              ("lateral_abs_mm", "lateral_abs", "lateral_mm"),
              ("peak_opening_speed_mm_per_s", "peak_opening_speed",
               "peak_opening_speed_mm_per_s"),
              ("peak_closing_speed_mm_per_s", "peak_closing_speed",
               "peak_closing_speed_mm_per_s")]


def load(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def ratio(part, whole):
    return part / whole * 100 if whole else None


def expected_row(trials, cycles, confirmed_only):
    """The expected trials.csv fields for the strokes of one or more trials (lists of rows)."""
    trials = [[s for s in t if not confirmed_only or s["emg_confirmed"] == "1"] for t in trials]
    strokes = [s for t in trials for s in t]
    row = {"cycles": len(cycles), "confirmed": sum(c["confirmed"] == "1" for c in cycles),
           "strokes": len(strokes)}
    for with_unit, stem, column in QUANTITIES:
        values = [abs(float(s[column])) if stem == "lateral_abs" else float(s[column])
                  for s in strokes if s[column] != ""]
        mean = statistics.fmean(values) if values else None
        sd = statistics.stdev(values) if len(values) > 1 else None
        row[with_unit + "_mean"] = mean
        row[with_unit + "_sd"] = sd
        row[stem + "_cv_pct"] = sd / mean * 100 if sd is not None and mean else None
    mean_cycle = row["cycle_ms_mean"]
    row["stroke_frequency_Hz"] = 1000 / mean_cycle if mean_cycle else None
    sides = [s["side_kinematic"] for s in strokes if s["side_kinematic"]]
    right, left = sides.count("R"), sides.count("L")
    row["side_right"], row["side_left"], row["side_central"] = right, left, sides.count("C")
    row["side_preference_pct"] = (right - left) / (right + left) * 100 if right + left else None
    both = [s for s in strokes if s["side_kinematic"] in ("R", "L") and s["side_emg"] in ("R", "L")]
    row["side_agreement_pct"] = ratio(sum(s["side_kinematic"] == s["side_emg"] for s in both),
                                      len(both))
    pairs = switches = 0
    for trial in trials:
        kept = [s["side_kinematic"] for s in trial if s["side_kinematic"]]
        pairs += max(len(kept) - 1, 0)
        switches += sum(a != b for a, b in zip(kept, kept[1:]))
    row["side_switch_rate"] = switches / pairs if pairs else None
    sequenced = [s["sequencing"] for s in strokes if s["sequencing"]]
    row["reversed_pct"] = ratio(sequenced.count("reversed"), len(sequenced))
    return row


def same(expected, text):
    if expected is None:
        return text == ""
    if text == "":
        return False
    return math.isclose(float(text), expected, rel_tol=1e-9, abs_tol=1e-9)


def main():
    folder = sys.argv[1]
    strokes, cycles = {}, {}
    for s in load(folder + "/strokes.csv"):
        strokes.setdefault((s["file"], s["trial"]), []).append(s)
    for c in load(folder + "/cycles.csv"):
        cycles.setdefault((c["file"], c["trial"]), []).append(c)
    with_emg = {s["file"] for rows in strokes.values() for s in rows if s["emg_confirmed"] != ""}
    trials = load(folder + "/trials.csv")
    problems = []
    sets = {}
    for row in trials:
        key = (row["file"], row["trial"])
        sets.setdefault(key, []).append(row["stroke_set"])
        parts = CONDITIONS.get(row["trial"], (row["trial"],))
        expected = expected_row([strokes.get((row["file"], p), []) for p in parts],
                                [c for p in parts for c in cycles.get((row["file"], p), [])],
                                row["stroke_set"] == "emg_confirmed")
        for column, value in expected.items():
            if not same(value, row[column]):
                problems.append(f"{key} {row['stroke_set']} {column}: {row[column]!r}, "
                                f"recomputed {value!r}")
    for (file, trial), listed in sets.items():
        wanted = ["all", "emg_confirmed"] if file in with_emg else ["all"]
        if listed != wanted:
            problems.append(f"{(file, trial)}: rows {listed}, expected {wanted}")
    for problem in problems:
        print(problem)
    print(f"checked {len(trials)} rows")
    return 1 if problems or not trials else 0


if __name__ == "__main__":
    sys.exit(main())
