# The two everyday commands: `make run` and `make test`. Each installs what
# is missing, builds, and runs.
BUILD_DIR ?= build/dev
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps build run test asan-test format format-check bench fuzz clean bench-compare package

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/app/vorpel

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	cmake --preset asan $(CMAKE_ARGS)
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

bench: build
	$(BUILD_DIR)/bench/vorpel_bench

# Each fuzz target for FUZZ_SECONDS under ASan and UBSan, starting from the
# committed seed corpus (new inputs collect in the build folder).
FUZZ_SECONDS ?= 60
FUZZ_DIR ?= build/fuzz
fuzz:
	@scripts/install-deps.sh fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVORPEL_BUILD_FUZZ=ON -DVORPEL_SANITIZE=ON -DVORPEL_BUILD_UI=OFF -DVORPEL_BUILD_TESTS=OFF \
	  -DVORPEL_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	for target in reader numeric capitalization; do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$target && \
	  $(FUZZ_DIR)/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/ \
	    $(FUZZ_DIR)/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

clean:
	rm -rf build

# vorpel-cli timed side by side with shuf, cat and head on a generated
# 256 MiB text (bench/compare.sh), on a quiet machine and with scattered free
# memory (bench/scatter_memory.cpp); a Release build of its own, without the
# windows and the tests.
COMPARE_BUILD_DIR ?= build/compare
bench-compare:
	@scripts/install-deps.sh bench
	cmake -S . -B $(COMPARE_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVORPEL_BUILD_UI=OFF \
	  -DVORPEL_BUILD_TESTS=OFF $(CMAKE_ARGS)
	cmake --build $(COMPARE_BUILD_DIR) -j $(JOBS) --target vorpel-cli vorpel_make_corpus vorpel_scatter_memory
	bench/compare.sh $(COMPARE_BUILD_DIR)

# The Debian package: a Release build of the programs (no tests, no
# benchmarks) and cpack, giving build/release/vorpel_<version>_<arch>.deb.
# The options are passed every time because other targets share the folder.
PACKAGE_BUILD_DIR ?= build/release
package: deps
	cmake -S . -B $(PACKAGE_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVORPEL_BUILD_UI=ON \
	  -DVORPEL_BUILD_TESTS=OFF -DVORPEL_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(PACKAGE_BUILD_DIR) -j $(JOBS)
	cd $(PACKAGE_BUILD_DIR) && cpack -G DEB

# The seeded random walk through the windows, longer than the one ctest
# runs (tests/stress): make stress STRESS_STEPS=100000 STRESS_SEED=7.
STRESS_STEPS ?= 100000
STRESS_SEED ?= 20240611
.PHONY: stress leak-test
stress: build
	STRESS_STEPS=$(STRESS_STEPS) STRESS_SEED=$(STRESS_SEED) QT_QPA_PLATFORM=offscreen \
	  $(BUILD_DIR)/tests/stress/vorpel_stress_tests

# The window tests once more in the sanitizer build, now with
# LeakSanitizer on, and a short random walk that ends and restarts the
# program many times: no leak may come from the project's code. Leaks
# inside fontconfig, D-Bus and GLib, which never call the program's code,
# are suppressed in tests/ui/lsan.supp.
LEAK_STRESS_STEPS ?= 3000
LEAK_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/ui/lsan.supp:print_suppressions=0 \
  QT_QPA_PLATFORM=offscreen
leak-test: deps
	cmake --preset asan $(CMAKE_ARGS)
	cmake --build --preset asan -j $(JOBS) --target vorpel_ui_tests vorpel_window_fault_tests \
	  vorpel_stress_tests
	$(LEAK_ENV) build/asan/tests/ui/vorpel_ui_tests
	$(LEAK_ENV) build/asan/tests/faults/vorpel_window_fault_tests
	$(LEAK_ENV) STRESS_STEPS=$(LEAK_STRESS_STEPS) build/asan/tests/stress/vorpel_stress_tests
