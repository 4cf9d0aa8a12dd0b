#!/usr/bin/env bash
# The README's recipe for a study too large for one machine, run as the README writes it: GNU
# parallel with this machine as the only node, then `chew_study merge`. The joined tables must be
# the bytes of a single run over the whole study; merge must refuse parts that cannot be joined,
# and table names that are no regular file, writing nothing.
# Usage: parallel_recipe.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "parallel_recipe: $*" >&2; exit 1; }
command -v parallel >/dev/null || fail "GNU parallel is not installed (Debian: apt-get install parallel)"
export PATH="$build:$PATH"
cd "$work"

# The code blocks (lines indented by four spaces) of the README's section on large studies.
blocks=$(awk '/^### A study too large/ { on = 1; next } /^### / { on = 0 }
              on && /^    / { print substr($0, 5); next } on && !/^    / { print "" }' \
         "$source_dir/README.md")
block_with() { awk -v RS= -v key="$1" 'index($0, key) { print; exit }' <<<"$blocks"; }
evaluate=$(block_with 'parallel --sshloginfile')
join=$(block_with 'chew_study merge $(')
[ -n "$evaluate" ] && [ -n "$join" ] || fail "the README's recipe is not where this test looks"

# Eleven parts: 10 sorts before 2, the join must sort numerically. r1, r10, r11, r2 lie in study/,
# the others in subfolders listed after them, with chew_eval's reports beside some recordings.
mkdir -p study/s1 study/s2/deep
for seed in $(seq 11); do
  form=$(sed -n "$(( seed % 3 + 1 ))p" <<<$'five-point\nthree-point-4ch\nthree-point-2ch')
  case $seed in 3 | 4 | 5) folder=study/s1/ ;; 6 | 7 | 8 | 9) folder=study/s2/deep/ ;; *) folder=study/ ;; esac
  chew_simulate --seed "$seed" --form "$form" --rate 250 --scale 0.3 --out "${folder}r$seed.txt"
done
chew_eval study/r1.txt >/dev/null && chew_eval study/s1/r3.txt >/dev/null
echo : > nodes.txt             # GNU parallel's name of the local machine

bash -euo pipefail -c "$evaluate" || fail "the parallel recipe failed"
[ "$(ls parts | wc -l)" -eq 11 ] || fail "not one part per recording: $(ls parts)"
bash -euo pipefail -c "$join" || fail "the join failed"
chew_study --quiet --out single study
for table in experiments indices cycles trials runs findings; do
  cmp "results/$table.csv" "single/$table.csv" || fail "$table.csv differs from a single run's"
done
reports=$(cd single && find . -name '*_output.txt' | sort)
[ "$(wc -l <<<"$reports")" -eq 11 ] && [ -f single/s2/deep/r9_output.txt ] || fail "reports: $reports"
[ "$(cd results && find . -name '*_output.txt' | sort)" = "$reports" ] || fail "other reports"
for report in $reports; do
  cmp "single/$report" "results/$report" || fail "$report differs"
done

# Refusals: status 2, a message, no output folder.
chew_study --quiet -rms_time 40 --out other study/r1.txt
cp -R parts/4 twin  # parts/4 is study/r2.txt, after r1, r10 and r11
mkdir elsewhere && cp study/r2.txt elsewhere/
chew_study --quiet --out namesake elsewhere/r2.txt
refused() {  # MESSAGE PART...
  local message=$1 status=0
  shift
  chew_study merge "$@" --out refused 2>err.txt || status=$?
  [ "$status" -eq 2 ] || fail "merge $* gave status $status"
  grep -qF -- "$message" err.txt || fail "merge $*: $(cat err.txt)"
  [ ! -e refused ] || fail "merge $* wrote something"
}
refused "'study/r1.txt' in 'other' has rms_time 40 ms, 'study/r1.txt' in 'parts/1' 50 ms" parts/1 other
chew_study --quiet --emg-threshold 2.50 --out pct study/r1.txt  # settings compared as given
refused "'study/r1.txt' in 'pct' has emg_threshold 2.5 %, 'study/r2.txt' in 'parts/4' 3 %" parts/4 pct
printf 'experiment,task,role\n5,right,laterotrusion_right\n' >lab.csv
chew_study --quiet --protocol lab.csv --out lab study/r1.txt  # another protocol
lab_sum=$(sha256sum <lab.csv | cut -c1-64)
refused "'study/r1.txt' in 'lab' has the protocol with the checksum $lab_sum" parts/4 lab
refused "the recording 'study/r2.txt' is in 'parts/4' and in 'twin'" parts/3 parts/4 twin
refused "'study/r2.txt' in 'parts/4' and 'elsewhere/r2.txt' in 'namesake' both have the report r2_output.txt" \
  parts/4 namesake
version=$(chew_study --version | cut -d' ' -f2)
sed -i "s/,${version//./\\.},/,0.9,/" twin/runs.csv
# The part's manifest made to match, with the usual tools: another version's part, not a damaged one.
sed -i "s/^runs\.csv,[0-9]*,\([0-9]*\),.*/runs.csv,$(wc -c <twin/runs.csv),\1,$(sha256sum <twin/runs.csv | cut -c1-64)/" \
  twin/.chew_study/manifest.csv
refused "'study/r2.txt' in 'twin' has version 0.9, 'study/r1.txt' in 'parts/1' $version" parts/1 twin
status=0
chew_study merge parts/1 missing --out refused 2>err.txt || status=$?
[ "$status" -eq 1 ] && [ ! -e refused ] || fail "a missing part gave status $status"
# A table cut at a record boundary, and a part of the earlier version (CRLF, no manifest): status
# 1, a message, nothing written.
rm -rf cut old && cp -R parts/2 cut && cp -R parts/2 old && sed -i '$d' cut/cycles.csv
rm -r old/.chew_study && sed -i 's/$/\r/' old/*.csv
for part in cut old; do
  status=0
  chew_study merge parts/1 $part --out refused 2>err.txt || status=$?
  [ "$status" -eq 1 ] && [ ! -e refused ] || fail "merge of the part $part gave status $status"
  case $part in
    cut) message="'cut/cycles.csv' is not the table its run wrote ($(($(wc -l <cut/cycles.csv) - 1)) rows of" ;;
    old) message="the part 'old' has no manifest (old/.chew_study/manifest.csv): its tables, with CRLF" ;;
  esac
  grep -qF -- "$message" err.txt || fail "merge of the part $part: $(cat err.txt)"
done
# A table name that is no regular file: refused after a stat, status 1, one line, nothing written.
# Opened, the FIFO would wait for a writer and /dev/zero would never end: `timeout` ends that.
for kind in fifo zero folder; do
  rm -rf odd && cp -R parts/1 odd && rm odd/cycles.csv
  case $kind in
    fifo) mkfifo odd/cycles.csv; what="a FIFO" ;;
    zero) ln -s /dev/zero odd/cycles.csv; what="a character device" ;;
    folder) mkdir odd/cycles.csv; what="a directory" ;;
  esac
  status=0
  timeout 10 chew_study merge parts/2 odd --out refused 2>err.txt || status=$?
  [ "$status" -eq 1 ] && [ ! -e refused ] || fail "merge with a $kind as a table gave status $status"
  [ "$(cat err.txt)" = "chew_study: not a regular file: 'odd/cycles.csv' ($what); nothing written" ] ||
    fail "merge with a $kind as a table: $(cat err.txt)"
done
echo "the README's parallel recipe and merge give a single run's tables"
