#!/usr/bin/env python3
"""Recomputes trials.csv from cycles.csv with Python's csv module.

Usage: kinematics_check.py STUDY_FOLDER

For every recording and chewing trial, and for every condition (FK, RK, LK: both trials
together), the counts, the mean, sample SD and coefficient of variation of the confirmed cycles'
closing_ms, opening_ms, vertical_mm, |lateral_mm| and peak_closing_speed_mm_per_s, the kinematic
side counts, side preference, agreement with the EMG side and side-switch rate must be what
trials.csv says. Prints "checked N rows" and exits 0, or prints the differences and exits 1.
"""
import csv
import math
import statistics
import sys

CONDITIONS = {"FK": ("FK1", "FK2"), "RK": ("RK1", "RK2"), "LK": ("LK1", "LK2")}
QUANTITIES = [("closing_ms", "closing", lambda r: float(r["closing_ms"])),
              ("opening_ms", "opening", lambda r: float(r["opening_ms"])),
              ("vertical_mm", "vertical", lambda r: float(r["vertical_mm"])),
              ("lateral_abs_mm", "lateral_abs", lambda r: abs(float(r["lateral_mm"]))),
              ("peak_closing_speed_mm_per_s", "peak_closing_speed",
               lambda r: float(r["peak_closing_speed_mm_per_s"]))]


def load(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def expected_row(trials):
    """The expected trials.csv fields for the cycles of one or more trials (lists of rows)."""
    cycles = [c for trial in trials for c in trial]
    confirmed = [c for c in cycles if c["confirmed"] == "1"]
    row = {"cycles": len(cycles), "confirmed": len(confirmed)}
    for with_unit, stem, value in QUANTITIES:
        values = [value(c) for c in confirmed]
        mean = statistics.fmean(values) if values else None
        sd = statistics.stdev(values) if len(values) > 1 else None
        row[with_unit + "_mean"] = mean
        row[with_unit + "_sd"] = sd
        row[stem + "_cv_pct"] = sd / mean * 100 if sd is not None and mean else None
    sides = [c["side_kinematic"] for c in confirmed]
    right, left = sides.count("R"), sides.count("L")
    row["side_right"], row["side_left"], row["side_central"] = right, left, sides.count("C")
    row["side_preference_pct"] = (right - left) / (right + left) * 100 if right + left else None
    both = [c for c in confirmed
            if c["side_kinematic"] in "RL" and c["side_emg"] in ("R", "L")]
    row["side_agreement_pct"] = (sum(c["side_kinematic"] == c["side_emg"] for c in both)
                                 / len(both) * 100 if both else None)
    pairs = switches = 0
    for trial in trials:
        kept = [c["side_kinematic"] for c in trial if c["confirmed"] == "1"]
        pairs += max(len(kept) - 1, 0)
        switches += sum(a != b for a, b in zip(kept, kept[1:]))
    row["side_switch_rate"] = switches / pairs if pairs else None
    return row


def same(expected, text):
    if expected is None:
        return text == ""
    if text == "":
        return False
    actual = float(text)
    return math.isclose(actual, expected, rel_tol=1e-9, abs_tol=1e-9)


def main():
    folder = sys.argv[1]
    cycles = load(folder + "/cycles.csv")
    trials = load(folder + "/trials.csv")
    by_trial = {}
    for c in cycles:
        by_trial.setdefault((c["file"], c["trial"]), []).append(c)
    problems = []
    for row in trials:
        key = (row["file"], row["trial"])
        parts = CONDITIONS.get(row["trial"], (row["trial"],))
        expected = expected_row([by_trial.get((row["file"], p), []) for p in parts])
        for column, value in expected.items():
            if not same(value, row[column]):
                problems.append(f"{key} {column}: {row[column]!r}, recomputed {value!r}")
    for problem in problems:
        print(problem)
    print(f"checked {len(trials)} rows")
    return 1 if problems or not trials else 0


if __name__ == "__main__":
    sys.exit(main())
