#!/usr/bin/env bash
# Builds and runs the JNI overhead harness. Usage: bench/jni/run_benchmark.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build}"
cmake --build "$build" -j 2 --target jni_overhead_benchmark
