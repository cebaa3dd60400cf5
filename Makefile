# Front door for building, running and testing zuvdigi.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
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
# reaches both builds, already configured ones included.
SUITE_OPTIONS := $(if $(ZUV_REQUIRE_ALL_SUITES),-DZUV_REQUIRE_ALL_SUITES=$(ZUV_REQUIRE_ALL_SUITES))
CONFIGURE     := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SUITE_OPTIONS)

.PHONY: all configure build run test fuzz fuzz-build bench demo package clean

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
# under Wine, then the fuzzers; both builds are ready before any test runs.
# A failing suite fails the target, after the summary of what ran.
test: build fuzz-build
	@rm -f $(BUILD)/test-results.xml $(FUZZ_BUILD)/test-results.xml; status=0; \
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) \
	  --output-junit $(abspath $(BUILD))/test-results.xml || status=1; \
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS) -L fuzz \
	  --output-junit $(abspath $(FUZZ_BUILD))/test-results.xml || status=1; \
	echo; bash tests/suite_summary.sh $(BUILD)/test-results.xml $(FUZZ_BUILD)/test-results.xml || status=1; \
	exit $$status

# The libFuzzer programs in a clang build of their own, with the sanitizers.
fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) $(CONFIGURE) $(if $(FUZZ_CXX),-DCMAKE_CXX_COMPILER=$(FUZZ_CXX)) \
	  -DZUV_TESTS=OFF -DZUV_FUZZ=ON -DZUV_FUZZ_SECONDS=$(FUZZ_SECONDS) -DZUV_FUZZ_RUNS=$(FUZZ_RUNS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target zuv_fuzzers

# Bounded fuzz runs from the seeds, alone: each fuzzer for FUZZ_SECONDS.
fuzz: fuzz-build
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS) -L fuzz

bench: build
	$(BUILD)/tests/bench/zuv_bench

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
	rm -rf $(BUILD) $(FUZZ_BUILD) $(WIN_BUILD)
