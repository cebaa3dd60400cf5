#!/usr/bin/env bash
# Exit 0 when clang++ can build and link a libFuzzer program with the sanitizers.
set -u
command -v clang++ >/dev/null 2>&1 || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/probe.cpp" <<'SRC'
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
SRC
clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" >/dev/null 2>&1
