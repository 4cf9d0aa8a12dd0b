#!/usr/bin/env bash
# The installed programs as a new user gets them: `cmake --install` into a fresh prefix, the
# three programs run from its bin/ (--version, --help, -h, a real study), the manual pages there
# and rendering without a warning.
# Usage: install_check.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake=$1 build=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_check: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
bin=$prefix/bin
export PATH="$bin:$PATH"
for program in chew_eval chew_study chew_simulate; do
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
echo "installed and ran chew_eval, chew_study, chew_simulate $version from $prefix"
