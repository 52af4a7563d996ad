#!/usr/bin/env bash
# Lists the tests a ctest run skipped, one line each with the reason the
# test gave, then the counts, from the JUnit file of that run (ctest
# --output-junit FILE):
#
#   skipped: NAME: REASON
#   ...
#   ctest: 398 passed, 0 failed, 3 skipped
#
# The reason is the message of a GoogleTest GTEST_SKIP(), or the "SKIP: ..."
# line of a script that ended with its skip status, or else what ctest
# says (such as "SKIP_RETURN_CODE=77" or "disabled").
#
#   ctest-summary.sh JUNIT_FILE
set -euo pipefail

junit=$1
[[ -f $junit ]] || {
  echo "ctest-summary.sh: no JUnit file $junit" >&2
  exit 1
}

# ctest writes each testcase element with its attributes on one line, then
# <skipped message=.../>, then the output in <system-out>, line by line.
awk '
function unescape(text) {
  gsub(/&lt;/, "<", text)
  gsub(/&gt;/, ">", text)
  gsub(/&quot;/, "\"", text)
  gsub(/&apos;/, "\047", text)
  gsub(/&amp;/, "\\&", text)
  return text
}
function attribute(line, name,    start, rest) {
  start = index(line, " " name "=\"")
  if (start == 0) return ""
  rest = substr(line, start + length(name) + 3)
  return unescape(substr(rest, 1, index(rest, "\"") - 1))
}
function add(line) {
  sub(/^[ \t]+/, "", line)
  sub(/[ \t]+$/, "", line)
  if (line != "") reason = reason == "" ? line : reason " " line
}
function output_line(line) {
  line = unescape(line)
  if (in_gtest_skip) {
    # The message ends at the end of the test, or where the traces of
    # SCOPED_TRACE follow it.
    if (line ~ /^\[  SKIPPED \]/ || line ~ /^Google Test trace:/) in_gtest_skip = 0
    else add(line)
  } else if (line ~ /: Skipped$/) {
    in_gtest_skip = 1
  } else if (line ~ /^SKIP: /) {
    reason = ""
    add(substr(line, 7))
  }
}
/<testcase / {
  # The name without the parameter gtest_discover_tests adds as a comment.
  name = attribute($0, "name")
  sub(/  # GetParam\(\) = .*/, "", name)
  status = attribute($0, "status")
  not_run = status == "notrun" || status == "disabled"
  if (not_run) skipped++
  else if (status == "fail") failed++
  else passed++
  message = status == "disabled" ? "disabled" : ""
  reason = ""
  in_output = 0
  in_gtest_skip = 0
  next
}
/<skipped / && !in_output {
  message = attribute($0, "message")
  next
}
/<system-out>/ && !in_output {
  in_output = 1
  sub(/.*<system-out>/, "")
}
in_output {
  line = $0
  if (index(line, "</system-out>")) {
    in_output = 0
    sub(/<\/system-out>.*/, "", line)
    if (line == "") next
  }
  output_line(line)
  next
}
/<\/testcase>/ {
  if (not_run) {
    if (reason == "") reason = message != "" ? message : "no reason given"
    printf "skipped: %s: %s\n", name, reason
  }
  not_run = 0
}
END { printf "ctest: %d passed, %d failed, %d skipped\n", passed, failed, skipped }
' "$junit"
