# The two everyday commands: `make run` and `make test`. Each installs what
# is missing, builds, and runs.
BUILD_DIR ?= build/dev
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps build run test asan-test format format-check bench fuzz clean

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
