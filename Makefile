# Front door for building, running and testing zuvdigi.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
WIN_BUILD  ?= build-win
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test fuzz bench demo package clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/zuvdigi

# Every suite: the native unit, golden and link tests, then the fuzzers.
test: build fuzz
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Bounded libFuzzer runs in a clang build of their own; reported as skipped
# where clang with libFuzzer is missing.
fuzz:
	@if tests/fuzz/have_libfuzzer.sh; then \
	  cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DZUV_TESTS=OFF -DZUV_FUZZ=ON >/dev/null && \
	  cmake --build $(FUZZ_BUILD) -j $(JOBS) && \
	  ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS) -L fuzz; \
	else \
	  echo "fuzz suite: skipped (clang++ with libFuzzer not found; Debian: clang libclang-rt-14-dev)"; \
	fi

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
