#!/usr/bin/env bash
# Runs scripts/ctest-summary.sh on the JUnit file of a real ctest run: a
# small project with GoogleTest cases found by gtest_discover_tests (one
# passes, one is skipped with a message over two lines and characters XML
# must escape, a parameterized one inside a SCOPED_TRACE), a script skipped by its exit status with a "SKIP:" line
# after other output, one skipped without a word, a disabled test and a
# failing one. Each skipped test must be listed with its reason, in order,
# and the counts must be ctest's.
#
#   ctest_summary_test.sh SCRIPT
set -euo pipefail

script=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vorpel-ctest-summary.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/project"
cat >"$work/project/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.25)
project(summary LANGUAGES CXX)
find_package(GTest REQUIRED)
include(GoogleTest)
enable_testing()
add_executable(cases cases.cpp)
target_link_libraries(cases PRIVATE GTest::gtest GTest::gtest_main)
gtest_discover_tests(cases)
add_test(NAME script_skip COMMAND sh -c "echo 'Xvfb on :1'; echo 'SKIP: no X server <here> & now'; exit 77")
add_test(NAME silent_skip COMMAND sh -c "exit 77")
set_tests_properties(script_skip silent_skip PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME disabled COMMAND true)
set_tests_properties(disabled PROPERTIES DISABLED ON)
add_test(NAME failing COMMAND sh -c "echo 'SKIP: not really'; exit 1")
PROJECT
cat >"$work/project/cases.cpp" <<'CASES'
#include <gtest/gtest.h>
TEST(Cases, Passes) { EXPECT_EQ(1 + 1, 2); }
TEST(Cases, Skips) { GTEST_SKIP() << "not root: \"a\" & <b>\nsecond line"; }
class Param : public ::testing::TestWithParam<int> {};
TEST_P(Param, SkipsInATrace) {
  SCOPED_TRACE("in a trace");
  GTEST_SKIP() << "too small: " << GetParam();
}
INSTANTIATE_TEST_SUITE_P(Sizes, Param, ::testing::Values(7),
                         [](const ::testing::TestParamInfo<int>&) { return "seven"; });
CASES

cmake -S "$work/project" -B "$work/build" >"$work/configure.log" 2>&1 || {
  cat "$work/configure.log"
  echo "FAIL: the small project did not configure"
  exit 1
}
cmake --build "$work/build" >"$work/build.log" 2>&1 || {
  cat "$work/build.log"
  echo "FAIL: the small project did not build"
  exit 1
}
(cd "$work/build" && ctest --output-junit "$work/results.xml") >"$work/ctest.log" 2>&1 || true

expected='skipped: Cases.Skips: not root: "a" & <b> second line
skipped: Sizes/Param.SkipsInATrace/seven: too small: 7
skipped: script_skip: no X server <here> & now
skipped: silent_skip: SKIP_RETURN_CODE=77
skipped: disabled: disabled
ctest: 1 passed, 1 failed, 5 skipped'
actual=$(bash "$script" "$work/results.xml")
if [[ $actual != "$expected" ]]; then
  echo "FAIL: the summary is"
  echo "$actual"
  echo "expected"
  echo "$expected"
  echo "ctest said:"
  cat "$work/ctest.log"
  exit 1
fi
echo "the summary lists the skipped tests with their reasons and ctest's counts"
