#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs vortane in log mode on one hostile input made by make_nasty and checks
# the whole outcome: exit code, the expected line in VORTANE.LOG, the input
# untouched, an earlier output kept by a fatal error and replaced by a
# completed run, no temporary file left behind, and (for completed runs) the
# output lumps the case checks with make_nasty --check.
#
#   nasty_run.sh --vortane BIN --make MAKE_NASTY --case CASE --exit CODE
#                (--error MESSAGE | --line LINE | --no-log) [--level MARKER] [--output MODE]
#                [--check-level CHECK_LEVEL] [--stack KIB] [--axis A|V|H]
#
# --stack runs vortane with its stack limited to that many KiB; --axis builds
# with that axis mode (argument 5), and checks the root as an axis root.
# --check-level also has the rebuilt level checked as a sound partition.
#
# MODE arranges the output path (default: out.wad holding an earlier file):
#   fresh        out.wad does not exist before the run
#   folder       out.wad is a folder
#   read-only    out.wad is an earlier file without write permission
#   no-folder    the output path's folder does not exist
#   dot-input    the output path is ./in.wad
#   hard-link    the output path is a hard link to in.wad
#   symlink      the output path is a symbolic link to in.wad
#   log-folder   VORTANE.LOG is a folder, so the log cannot be created
set -u

vortane= make= case= expected= error= line= nolog= mode=earlier level=MAP01 checker= stack= axis=-
while [ $# -gt 0 ]; do
  case "$1" in
    --vortane) vortane=$2; shift 2 ;;
    --make) make=$2; shift 2 ;;
    --case) case=$2; shift 2 ;;
    --exit) expected=$2; shift 2 ;;
    --error) error=$2; shift 2 ;;
    --line) line=$2; shift 2 ;;
    --no-log) nolog=1; shift ;;
    --output) mode=$2; shift 2 ;;
    --level) level=$2; shift 2 ;;
    --check-level) checker=$2; shift 2 ;;
    --stack) stack=$2; shift 2 ;;
    --axis) axis=$2; shift 2 ;;
    *) echo "nasty_run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

fail() {
  echo "FAIL [$case, output $mode]: $*" >&2
  if [ -f "$work/VORTANE.LOG" ]; then
    echo "--- VORTANE.LOG:" >&2
    cat "$work/VORTANE.LOG" >&2
  fi
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/vortane-nasty.XXXXXX") || exit 2
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 2

"$make" "$case" in.wad || fail "make_nasty could not make the input"
cp in.wad in.orig
earlier='an earlier output that a failed run must keep'
out=out.wad
case "$mode" in
  earlier) printf '%s\n' "$earlier" > out.wad ;;
  fresh) ;;
  folder) mkdir out.wad ;;
  read-only) printf '%s\n' "$earlier" > out.wad; chmod 0444 out.wad ;;
  no-folder) out=no/such/folder/out.wad ;;
  dot-input) out=./in.wad ;;
  hard-link) ln in.wad link.wad; out=link.wad ;;
  symlink) ln -s in.wad sym.wad; out=sym.wad ;;
  log-folder) mkdir VORTANE.LOG ;;
  *) echo "nasty_run.sh: unknown output mode $mode" >&2; exit 2 ;;
esac
printf '%s\n' "$earlier" > earlier.orig

(
  [ -n "$stack" ] && ulimit -s "$stack"
  exec timeout 600 "$vortane" in.wad "$out" "$level" -8 "$axis" L
) > screen.txt 2>&1
code=$?
[ "$code" = "$expected" ] || fail "exit code $code, expected $expected"
[ -s screen.txt ] && fail "log mode wrote to the terminal: $(head -c 200 screen.txt)"
cmp -s in.wad in.orig || fail "the input file was changed"

# No temporary output file may stay behind, whatever the outcome.
stray=$(find . -name '.*' ! -name . -print)
[ -z "$stray" ] || fail "files left behind: $stray"

if [ -n "$nolog" ]; then
  [ -f VORTANE.LOG ] && fail "a log was written"
  exit 0
fi
[ -f VORTANE.LOG ] || fail "no VORTANE.LOG"
errors=$(grep -c '^Error : \*\* ' VORTANE.LOG)

if [ "$code" = 10 ]; then
  [ -n "$error" ] || fail "nasty.cmake gives no message for a fatal error"
  [ "$errors" = 1 ] || fail "$errors error lines in the log"
  grep -Fxq -- "Error : ** $error **" VORTANE.LOG || fail "the log lacks: Error : ** $error **"
  case "$mode" in
    earlier|read-only) cmp -s out.wad earlier.orig || fail "the earlier output was changed" ;;
    fresh) [ -e out.wad ] && fail "a failed run left an output file" ;;
    folder) [ -d out.wad ] || fail "the output folder was replaced" ;;
  esac
  exit 0
fi

[ "$errors" = 0 ] || fail "a completed run logged an error"
[ -n "$line" ] || fail "nasty.cmake gives no log line for a completed run"
grep -Fxq -- "$line" VORTANE.LOG || fail "the log lacks the line: $line"
head -c 4 "$out" | grep -q PWAD || fail "the output is not a PWAD"
cmp -s "$out" earlier.orig && fail "the output was not replaced"
"$make" --check "$case" "$out" || fail "the output does not hold what the case expects"
if [ -n "$checker" ]; then
  axis_root=
  [ "$axis" != - ] && axis_root=--axis-root
  "$checker" $axis_root in.wad "$out" "$level" || fail "the rebuilt level is not sound"
fi
exit 0
