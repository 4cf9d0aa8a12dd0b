#!/usr/bin/env bash
# The installed programs as a new user gets them: `cmake --install` into a fresh prefix, the
# four programs run from its bin/ (--version, --help, -h, a real study, an import), the manual
# pages there and rendering without a warning, and the column reference that chew_study's manual
# page and overview name, defining every column the study's tables have.
# Usage: install_check.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake=$1 build=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_check: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
bin=$prefix/bin
export PATH="$bin:$PATH"
for program in chew_eval chew_study chew_simulate chew_import; do
  [ "$(command -v "$program")" = "$bin/$program" ] || fail "$program is not in $bin"
  [ "$("$program" --version)" = "$program $version" ] || fail "$program --version"
  [ "$("$program" --help)" = "$("$program" -h)" ] || fail "$program: --help and -h differ"
  "$program" -h | grep -q . || fail "$program -h prints nothing"
  page=$prefix/share/man/man1/$program.1
  [ -f "$page" ] || fail "no manual page $page"
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
  MANWIDTH=80 man -l "$page" | grep -q "^NAME" || fail "$page does not render"
done
reference=share/doc/chew_eval/columns.md
[ -s "$prefix/$reference" ] || fail "no column reference $prefix/$reference"
study_page=$(MANWIDTH=80 man -l "$prefix/share/man/man1/chew_study.1")
for term in "$reference" index.html _check.html; do
  grep -qF "$term" <<<"$study_page" || fail "man chew_study does not mention $term"
done
# chew_eval's help begins with the name it was called by, as it always did.
chew_eval --help | head -n 1 | grep -qx 'chew_eval: \[-h\] datafile.txt ' || fail "chew_eval --help"

# A small study with the installed programs: the reports print the version --version prints.
cd "$prefix"
chew_simulate --seed 5 --scale 0.2 --rate 200 --out s05.txt
chew_eval s05.txt
grep -qx "Version                               : $(chew_eval --version | cut -d' ' -f2)" \
  s05_output.txt || fail "the report's version is not --version's"
chew_study --quiet --out study s05.txt
cmp -s s05_output.txt study/s05_output.txt || fail "chew_study's report differs from chew_eval's"
# Each column is defined under its own name or as one of a family: `mr_work_uVs` ...
# `tl_work_uVs` for every channel, `opening_ms_...` for its mean and SD. The overview cites it.
for table in study/*.csv; do
  for column in $(head -n 1 "$table" | tr -d '\r' | tr , ' '); do
    family=$(sed -E 's/^(ml|tr|tl)_/mr_/; s/_(mean|sd)$/_.../' <<<"$column")
    grep -qF "\`$column\`" "$prefix/$reference" || grep -qF "\`$family\`" "$prefix/$reference" ||
      fail "$table: the column $column is not in $reference"
  done
done
chew_study --quiet --pages --out pages s05.txt
grep -qF "$reference" pages/index.html || fail "index.html does not cite $reference"
# A mapping from the installed chew_import's template imports, and chew_eval reads the result.
chew_import --template >template.map
printf 'rx,ry,rz,lx,ly,lz,ix,iy,iz,MR,ML\n-50,0,-90,50,0,-90,0,0,0,1,2\n' >positions.csv
chew_import template.map imported.txt >/dev/null || fail "chew_import of its template"
chew_eval imported.txt
grep -q "^Frequency  *: 100$" imported_output.txt || fail "the imported recording's report"
echo "installed and ran chew_eval, chew_study, chew_simulate, chew_import $version from $prefix"
