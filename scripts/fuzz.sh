#!/usr/bin/env bash
# Builds the libFuzzer programs (CMake preset "fuzz", clang with ASan and UBSan) and runs them.
#
#   scripts/fuzz.sh [SECONDS] [PROGRAM...]   fuzz each program (default: all) for SECONDS (default 60),
#                                            starting from its seed corpus
#   scripts/fuzz.sh --regression             CI: replay every seed and every kept crash input of every
#                                            program, then fuzz each one briefly
#
# New inputs go to build/fuzz/work/<program>/, never into the committed corpus; a crash is saved in
# build/fuzz/crashes/ and fails the run. Keep a fixed crash's input in fuzz/regressions/<program>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
regression=0
programs=()
for arg in "$@"; do
    case "$arg" in
    --regression) regression=1 ;;
    -h | --help)
        sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *[!0-9]*) programs+=("$arg") ;;
    *) seconds=$arg ;;
    esac
done
[[ $regression -eq 1 ]] && seconds=${TARVISK_FUZZ_REGRESSION_SECONDS:-4}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzzers

bin=build/fuzz/fuzz
if [[ ${#programs[@]} -eq 0 ]]; then
    for source in fuzz/*_fuzz.cpp; do
        programs+=("$(basename "$source" .cpp)")
    done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
crashes=build/fuzz/crashes
mkdir -p "$crashes"
failed=()
summary=()
for program in "${programs[@]}"; do
    corpus=fuzz/corpus/$program
    work=build/fuzz/work/$program
    log=build/fuzz/$program.log
    mkdir -p "$corpus" "$work"
    echo "== $program"
    # Replay the seeds and the inputs of crashes found and fixed before: each must run clean.
    replay=()
    while IFS= read -r -d '' input; do replay+=("$input"); done < <(find "$corpus" "fuzz/regressions/$program" -type f -print0 2>/dev/null)
    if [[ ${#replay[@]} -gt 0 ]] && ! "$bin/$program" "${replay[@]}" >"$log" 2>&1; then
        tail -n 40 "$log"
        failed+=("$program (replay)")
        summary+=("$(printf '%-24s replay FAILED' "$program")")
        continue
    fi
    if ! "$bin/$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/$program-" "$work" "$corpus" >"$log" 2>&1; then
        tail -n 40 "$log"
        failed+=("$program")
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    summary+=("$(printf '%-24s %10s executions in %ss (%s/s)' "$program" "${runs:-?}" "$seconds" "${rate:-?}")")
done

echo
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzz.sh: crash or failed property in: ${failed[*]} (inputs in $crashes/)" >&2
    exit 1
fi
