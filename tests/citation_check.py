#!/usr/bin/env python3
"""CITATION.cff in the shape Citation File Format 1.2.0 asks for, with the build's version and
the LICENSE's licence. Usage: citation_check.py SOURCE_DIR VERSION"""
import datetime
import sys

import yaml

# The keys CFF 1.2.0 defines at the top level; anything else is a typo no reader would see.
KNOWN = {"abstract", "authors", "cff-version", "commit", "contact", "date-released", "doi",
         "identifiers", "keywords", "license", "license-url", "message", "preferred-citation",
         "references", "repository", "repository-artifact", "repository-code", "title", "type",
         "url", "version"}
REQUIRED = {"cff-version", "message", "title", "authors"}


def main():
    source, version = sys.argv[1], sys.argv[2]
    with open(f"{source}/CITATION.cff", encoding="utf-8") as f:
        cff = yaml.safe_load(f)
    problems = []
    check = lambda good, what: good or problems.append(what)
    check(isinstance(cff, dict), "not a mapping")
    check(REQUIRED <= cff.keys(), f"missing {sorted(REQUIRED - cff.keys())}")
    check(cff.keys() <= KNOWN, f"unknown keys {sorted(cff.keys() - KNOWN)}")
    check(cff.get("cff-version") == "1.2.0", "cff-version is not the string 1.2.0")
    for key in ("message", "title", "abstract"):
        check(isinstance(cff.get(key), str) and cff[key].strip(), f"{key} is no text")
    check(cff.get("version") == version, f"version {cff.get('version')!r} is not {version!r}")
    released = cff.get("date-released")
    try:
        datetime.date.fromisoformat(str(released))
    except ValueError:
        problems.append(f"date-released {released!r} is no YYYY-MM-DD date")
    check(cff.get("authors") == [{"name": "chew_eval contributors"}], "authors")
    check(cff.get("license") == "MIT", "license is not MIT")
    check(cff.get("type", "software") in ("software", "dataset"), "type")
    with open(f"{source}/LICENSE", encoding="utf-8") as f:
        licence = f.read()
    check(licence.startswith("MIT License\n"), "LICENSE is not the MIT licence")
    check("Copyright (c) 2026 chew_eval contributors" in licence, "LICENSE's copyright line")
    for problem in problems:
        print(f"CITATION.cff: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
