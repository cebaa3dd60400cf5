# Front door for building, running and testing zuvdigi.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-win
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# The fuzz build's compiler; without clang++ on the PATH the fuzz configure
# reports the suite as skipped (or, in CI, fails).
FUZZ_CXX   ?= $(shell command -v clang++ 2>/dev/null)
# How long each fuzzer runs in `make fuzz` and `make test`: at most
# FUZZ_SECONDS seconds and FUZZ_RUNS inputs (-1: no bound but the time), e.g.
# `make fuzz FUZZ_SECONDS=60 FUZZ_RUNS=-1` as CI runs them.
FUZZ_SECONDS ?= 20
FUZZ_RUNS    ?= 200000

# ZUV_REQUIRE_ALL_SUITES=ON (on the command line or in the environment) turns a
# suite that cannot run here into a configure error; CI sets it. Given, it
# reaches every build, already configured ones included.
SUITE_OPTIONS := $(if $(ZUV_REQUIRE_ALL_SUITES),-DZUV_REQUIRE_ALL_SUITES=$(ZUV_REQUIRE_ALL_SUITES))
CONFIGURE     := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SUITE_OPTIONS)

.PHONY: all configure build run test sanitized-build fuzz fuzz-build bench demo package clean

all: build

# Configures once; again whenever a suite option is given, since a build
# directory keeps the options of its first configure.
configure:
	@if [ ! -f $(BUILD)/CMakeCache.txt ] || [ -n "$(SUITE_OPTIONS)" ]; then \
	  cmake -S . -B $(BUILD) $(CONFIGURE); \
	fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/zuvdigi

# Every suite: the native unit, golden and link tests with the Windows suites
# under Wine; the unit, golden and link tests again on the sanitized build;
# then the fuzzers. Every build is ready before any test runs. A failing suite
# fails the target, after the summary of what ran.
SANITIZED_LABELS := ^(unit|golden|link)$$
test: build sanitized-build fuzz-build
	@rm -f $(BUILD)/test-results.xml $(ASAN_BUILD)/test-results.xml $(FUZZ_BUILD)/test-results.xml; status=0; \
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) \
	  --output-junit $(abspath $(BUILD))/test-results.xml || status=1; \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L '$(SANITIZED_LABELS)' \
	  --output-junit $(abspath $(ASAN_BUILD))/test-results.xml || status=1; \
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS) -L fuzz \
	  --output-junit $(abspath $(FUZZ_BUILD))/test-results.xml || status=1; \
	echo; bash tests/suite_summary.sh $(BUILD)/test-results.xml --as sanitized $(ASAN_BUILD)/test-results.xml \
	  $(FUZZ_BUILD)/test-results.xml || status=1; \
	exit $$status

# The program, zuvsim and the native suites once more, with the address and
# undefined-behaviour sanitizers: any finding ends the test that made it.
sanitized-build:
	cmake -S . -B $(ASAN_BUILD) $(CONFIGURE) -DZUV_SANITIZE=ON -DZUV_WINE=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The libFuzzer programs in a clang build of their own, with the sanitizers.
fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) $(CONFIGURE) $(if $(FUZZ_CXX),-DCMAKE_CXX_COMPILER=$(FUZZ_CXX)) \
	  -DZUV_TESTS=OFF -DZUV_FUZZ=ON -DZUV_FUZZ_SECONDS=$(FUZZ_SECONDS) -DZUV_FUZZ_RUNS=$(FUZZ_RUNS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target zuv_fuzzers

# Bounded fuzz runs from the seeds, alone: each fuzzer for FUZZ_SECONDS.
fuzz: fuzz-build
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS) -L fuzz

# The benchmarks, then one table of their figures beside their aims and the
# wire time (tests/bench/bench_table.py, from the results kept as
# build/bench-results.json). BENCH_ARGS reaches the benchmark program, e.g.
# BENCH_ARGS=--benchmark_filter=Download. A benchmark that failed fails the
# target, after the table; a missed aim does not.
bench: build
	@rm -f $(BUILD)/bench-results.json; status=0; \
	$(BUILD)/tests/bench/zuv_bench --benchmark_out=$(BUILD)/bench-results.json \
	  --benchmark_out_format=json $(BENCH_ARGS) || status=1; \
	echo; python3 tests/bench/bench_table.py $(BUILD)/bench-results.json || status=1; \
	exit $$status

# The Debian package of the native build and the zip of the Windows cross
# build, both in their build's packages/ folder.
package: build
	cd $(BUILD) && cpack -G DEB -B packages
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZUV_TESTS=OFF >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS) --target zuvdigi
	cd $(WIN_BUILD) && cpack -G ZIP -B packages

demo: build
	bash sim/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD)
