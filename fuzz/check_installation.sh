#!/usr/bin/env bash
# Runs the real program with part of its installation missing and checks that it gives up at
# once with its reason on stderr and a non-zero exit code.
#   check_installation.sh no-display|no-midi-library PATH/TO/porumina
set -uo pipefail
check=$1
program=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/porumina-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

case $check in
no-display)
  # Run where it was built, data folder and library beside it, with a display that is not there.
  expected='ディスプレイに接続できません (DISPLAY=:99999)'
  DISPLAY=:99999 timeout 20 "$program" >stdout.txt 2>stderr.txt
  status=$?
  ;;
no-midi-library)
  # A copy of the program alone: the loader finds no library beside it.
  expected='libGuruGuruSMF.so'
  cp "$program" ./porumina
  env -u LD_LIBRARY_PATH -u LD_PRELOAD timeout 20 ./porumina >stdout.txt 2>stderr.txt
  status=$?
  ;;
*)
  echo "unknown check: $check" >&2
  exit 2
  ;;
esac

echo "exit code $status; stderr:"
cat stderr.txt
fail=0
if [ "$status" -eq 0 ]; then
  echo "FAIL: the program succeeded"
  fail=1
elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "FAIL: the program did not end within 20 s"
  fail=1
fi
if ! grep -qF -- "$expected" stderr.txt; then
  echo "FAIL: stderr does not say: $expected"
  fail=1
fi
if grep -qE 'Sanitizer|runtime error:' stderr.txt; then
  echo "FAIL: sanitizer report"
  fail=1
fi
exit $fail
