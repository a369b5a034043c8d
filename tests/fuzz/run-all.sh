#!/bin/bash
# run-all.sh <build folder> <seconds per target>
#
# Runs every fuzz target of a -DQUORVEL_FUZZ=ON build in turn, each for the given time, with
# its seeds (tests/fuzz/seeds.sh, plus any committed inputs in tests/fuzz/corpus/<target>/),
# its dictionary and the sanitizers set to stop at the first report. Everything it writes
# stays in <build folder>/fuzz-work/<target>/: the work corpus (kept between runs, so findings
# accumulate), crash inputs under artifacts/ and the log.
#
# Exits non-zero when any target found a crash, leak, timeout, memory blow-up, sanitizer report
# or broken property, and prints the saved input's path.
set -u

build=$(cd "${1:?build folder}" && pwd)
seconds=${2:?seconds per target}
src=$(cd "$(dirname "$0")/../.." && pwd)
fuzzdir=$src/tests/fuzz
work=$build/fuzz-work

# target:dictionary (empty: none)
targets=(
    fuzz_script:script.dict
    fuzz_commands:script.dict
    fuzz_parsers:parsers.dict
    fuzz_imaging:
    fuzz_colouring:script.dict
    fuzz_zip:zip.dict
)

mkdir -p "$work"
"$fuzzdir/seeds.sh" "$src" "$work/seeds" >/dev/null || {
    echo "run-all: building the seeds failed" >&2
    exit 2
}

# Headless, UTF-8 as the program makes it, and every sanitizer report fatal (UndefinedBehavior-
# Sanitizer only prints by default), so libFuzzer saves the input.
export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
# The leaks the sanitizer tests accept (library frames only) are accepted here too.
if [ -f "$src/tests/sanitizers/lsan.supp" ]; then
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$src/tests/sanitizers/lsan.supp:print_suppressions=0}
fi

failed=0
for entry in "${targets[@]}"; do
    target=${entry%%:*}
    dict=${entry#*:}
    binary=$build/tests/fuzz/$target
    dir=$work/$target
    if [ ! -x "$binary" ]; then
        echo "run-all: $binary is missing (build it with -DQUORVEL_FUZZ=ON)" >&2
        failed=1
        continue
    fi
    mkdir -p "$dir/corpus"
    rm -rf "$dir/artifacts"
    mkdir -p "$dir/artifacts"
    cp "$work/seeds/$target"/* "$dir/corpus"/ 2>/dev/null
    [ -d "$fuzzdir/corpus/$target" ] && cp "$fuzzdir/corpus/$target"/* "$dir/corpus"/ 2>/dev/null

    options=(-timeout=10 -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1
        -artifact_prefix="$dir/artifacts/")
    [ -n "$dict" ] && options+=(-dict="$fuzzdir/$dict")

    start=$(date +%s)
    (cd "$dir" && "$binary" "${options[@]}" "$dir/corpus") >"$dir/log" 2>&1
    status=$?
    took=$(($(date +%s) - start))

    found=$(find "$dir/artifacts" -type f | sort)
    if [ $status -ne 0 ] || [ -n "$found" ] \
        || grep -qE 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|PROPERTY FAILED' "$dir/log"; then
        failed=1
        echo "FAIL $target (exit $status, ${took}s): log $dir/log"
        grep -m 5 -E 'runtime error:|ERROR:|SUMMARY:|PROPERTY FAILED' "$dir/log" | sed 's/^/    /'
        for input in $found; do
            echo "    input: $input"
        done
    else
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
        echo "ok   $target (${took}s, ${runs:-?} runs, corpus $(ls "$dir/corpus" | wc -l))"
    fi
done
exit $failed
