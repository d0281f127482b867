#!/usr/bin/env bash
# Builds Tovanel and runs the whole test suite headless: in the normal build (and checks the Debian
# package made from it), again under AddressSanitizer and UBSan, and then runs each fuzz target for a
# bounded time. Any failure, sanitizer report, fuzzing finding or packaging complaint fails the script.
#   FUZZ_SECONDS=N   seconds per fuzz target (default 75; 0 skips fuzzing)
#   TOVANEL_CORPUS=DIR  real-world vCard files for the corpus tests and fuzz seeds (default ../shared/corpus;
#                       TOVANEL_CORPUS= runs without them)
# Each test run ends with "N passed (R QtTest rows), M skipped (why), F failed", the script with the same
# over all runs. A skipped test or QtTest row fails the script unless its reason is allowed below.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

# Absolute, as the builds are configured with it.
corpus_dir="${TOVANEL_CORPUS-../shared/corpus}"
case "$corpus_dir" in
/* | "") ;;
*) corpus_dir="$PWD/$corpus_dir" ;;
esac

# Skips the set-up cannot prevent, each the start of the reason a test gives. Any other skip fails: the
# set-up above installs every tool a test looks for, and root runs the rows about refused files as the
# user tovanel-test that it makes. Keep this list short.
allowed_skips=()
# Only root may give a file to another user, and a developer runs the tests as themselves.
if [ "$(id -u)" -ne 0 ]; then
    allowed_skips+=(--allow "needs root: ")
fi
# The corpus is no part of the repository, so no set-up can bring it: without it its rows skip, counted
# and named in the closing line, and the script says so at the start.
if [ ! -d "$corpus_dir" ]; then
    echo "warning: no vCard corpus at ${corpus_dir:-(none)}; its rows are skipped (TOVANEL_CORPUS=DIR names one)" >&2
    allowed_skips+=(--allow "no vCard corpus at \"$corpus_dir\"")
fi

step() { printf '\n== %s (%ds)\n' "$1" "$SECONDS"; }

# Every run's results (JUnit files, which hold each test's output) count towards the closing line.
results=()
# run_ctest PRESET BUILD_DIR LABEL [--allow REASON]...: the tests, then what they passed, skipped and
# failed; the REASONs are allowed from this run on and in the closing count. QtTest prints a skipped row
# only into the test's output, which CTest keeps whole in the JUnit file with the sizes below.
run_ctest() {
    local preset="$1" junit="$PWD/$2/ctest-results.xml" label="$3" status=0
    shift 3
    allowed_skips+=("$@")
    rm -f "$junit"
    ctest --preset "$preset" --output-junit "$junit" \
        --test-output-size-passed 100000000 --test-output-size-failed 100000000 || status=$?
    results+=("$junit")
    tests/support/ctest_summary.py "$label" "$junit" "${allowed_skips[@]}" || status=1
    return "$status"
}

step "format check"
# Every C++ file as the repository's .clang-format has it; a difference fails with the file and line.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

step "normal build and tests"
cmake --preset normal -DTOVANEL_CORPUS_DIR="$corpus_dir" >/dev/null
cmake --build --preset normal
run_ctest normal build "normal build"

step "package checks"
# The Debian package as a user installs it, and the desktop and software-centre files it carries.
(cd build && cpack -G DEB >/dev/null)
lintian --pedantic --fail-on error,warning,pedantic build/tovanel_*.deb
appstreamcli validate --pedantic --no-net packaging/org.example.tovanel.metainfo.xml
desktop-file-validate packaging/tovanel.desktop
echo "package, metainfo and desktop file clean"

step "AddressSanitizer + UBSan build and tests"
# halt_on_error/abort_on_error: the first report fails the test instead of scrolling past.
# Leak checking stays on: Qt keeps its one-time allocations reachable, so what LSan reports is ours,
# apart from the system libraries named in tests/lsan.supp.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
cmake --preset sanitize -DTOVANEL_CORPUS_DIR="$corpus_dir" >/dev/null
cmake --build --preset sanitize
# AddressSanitizer reserves terabytes of address space at start, so the bench cannot start under the
# address-space limit with which the normal build's run checks running out of memory.
run_ctest sanitize build-asan "sanitizer build" --allow "the bench does not start under this limit"

fuzz_seconds="${FUZZ_SECONDS:-75}"
if [ "$fuzz_seconds" -gt 0 ]; then
    step "fuzzing, ${fuzz_seconds}s per target"
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz
    seeds=()
    for dir in tests/data/golden tests/regressions "$corpus_dir"; do
        [ -d "$dir" ] && seeds+=("$dir")
    done
    for target in import decoders cells versions; do
        case "$target" in
        import | cells | versions) max_len=32768 ;;
        decoders) max_len=4096 ;;
        esac
        # New inputs go to the build tree's own corpus folder; the seed folders are only read.
        corpus="build-fuzz/corpus/$target"
        findings="build-fuzz/findings"
        mkdir -p "$corpus" "$findings"
        log="build-fuzz/fuzz_$target.log"
        if ! "build-fuzz/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -max_len="$max_len" -timeout=10 \
            -dict=fuzz/vcard.dict \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
            "$corpus" "${seeds[@]}" >"$log" 2>&1; then
            tail -n 60 "$log"
            echo "fuzz_$target found a fault; the input is in $findings/" >&2
            exit 1
        fi
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz_$target: $runs runs in ${fuzz_seconds}s, no findings"
    done
fi
step "done"
tests/support/ctest_summary.py tests "${results[@]}" "${allowed_skips[@]}"
