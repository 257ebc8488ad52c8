#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own tree and runs them over the seed corpus.
#   tests/fuzz/run.sh build BUILD_DIR            configure and build (clang++-14, ASan + UBSan)
#   tests/fuzz/run.sh run BUILD_DIR TARGET SECS  run fuzz_TARGET for SECS seconds (ctest: a few)
# A long run, for instance an hour per target, from the repository root:
#   tests/fuzz/run.sh build build/fuzz && tests/fuzz/run.sh run build/fuzz entry 3600
# New inputs go to BUILD_DIR/corpus/TARGET (the seeds in tests/fuzz/corpus/ stay as they are); an
# input that breaks an invariant is kept as BUILD_DIR/findings/TARGET-crash-*, and the run fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:?build or run}
build=${2:?build folder}
case $mode in
build)
    cxx=$(command -v clang++-14 || command -v clang++) || {
        echo "clang++ not found: tools/deps.sh lists clang-14 and libclang-rt-14-dev" >&2
        exit 1
    }
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE= >/dev/null
    cmake --build "$build" -j2
    ;;
run)
    target=${3:?target}
    seconds=${4:-5}
    exe=$build/fuzz_$target
    [[ -x $exe ]] || {
        echo "no $exe: run '$0 build $build' first" >&2
        exit 1
    }
    mkdir -p "$build/corpus/$target" "$build/findings"
    # One process, at most the given time, stop at the first finding; leaks count as findings too.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$build/corpus/$target" "$here/corpus/$target"
    ;;
*)
    echo "usage: $0 build|run BUILD_DIR [TARGET SECONDS]" >&2
    exit 2
    ;;
esac
