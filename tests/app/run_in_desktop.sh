#!/usr/bin/env bash
# Runs a GoogleTest program inside a Wine virtual desktop of the given size and
# passes when its XML report shows every test passed:
#   run_in_desktop.sh WIDTHxHEIGHT report.xml test.exe [test arguments...]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
size=$1
report=$2
shift 2
rm -f "$report"
"$here/../../tools/wine-run" explorer "/desktop=brimlet${size},${size}" "$@" "--gtest_output=xml:Z:${report}"
if [ ! -s "$report" ]; then
  echo "run_in_desktop: no report from $1 on a ${size} desktop"
  exit 1
fi
summary=$(grep -m1 '<testsuites' "$report")
echo "$size: $summary"
grep -o '<failure message="[^"]*"' "$report" | head -20
case "$summary" in
  *' tests="0"'*) echo "run_in_desktop: no tests ran"; exit 1 ;;
esac
echo "$summary" | grep -q ' failures="0"' && echo "$summary" | grep -q ' errors="0"'
