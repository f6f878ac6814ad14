#!/usr/bin/env bash
# Fuzzes the image load path with libFuzzer for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [fuzz_load|fuzz_guard|all]
#
# Configures and builds build-fuzz/ (or $CALMORA_FUZZ_DIR) with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, writes the seed files,
# then runs each target. A target's corpus grows in build-fuzz/corpus-<target>
# from run to run; what it finds (crash-, leak-, timeout-, oom- files) lands
# in build-fuzz/crashes-<target>/ and makes the script exit with 1. Replay
# one with: build-fuzz/bin/<target> build-fuzz/crashes-<target>/<file>
#
# Installs nothing: when clang or its libFuzzer runtime is missing it says so
# and exits 0 (scripts/install-fuzz-deps.sh installs them).
# CALMORA_FUZZ_KEEP_GOING=1 runs in libFuzzer's fork mode and carries on
# after a crash, so that one run can find several.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-60}
which=${2:-all}
case $which in
  all) targets=(fuzz_guard fuzz_load) ;;
  fuzz_load|fuzz_guard) targets=("$which") ;;
  *) echo "fuzz: unknown target '$which' (fuzz_load, fuzz_guard or all)" >&2; exit 2 ;;
esac
[[ $seconds =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || { echo "fuzz: seconds must be a positive number" >&2; exit 2; }

# clang and libFuzzer are optional: without them there is nothing to run.
missing=()
command -v clang++ >/dev/null || missing+=("clang")
if [ ${#missing[@]} -eq 0 ]; then
  probe=$(mktemp -d)
  trap 'rm -rf "$probe"' EXIT
  printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' > "$probe/p.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>/dev/null ||
    missing+=("libclang-rt-14-dev")
  rm -rf "$probe"
  trap - EXIT
fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "fuzz: skipped, missing: ${missing[*]} (scripts/install-fuzz-deps.sh installs them)"
  exit 0
fi

start=$(date +%s)
generator=()  # as scripts/configure.sh chooses it
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$root/fuzz" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
cmake --build "$build" -j "$(nproc)" --target make_seeds "${targets[@]}" >/dev/null
echo "fuzz: build-fuzz built in $(( $(date +%s) - start )) s"

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"
"$build/bin/make_seeds" "$seeds" >"$build/seeds.log" 2>&1 ||
  { cat "$build/seeds.log" >&2; echo "fuzz: make_seeds failed" >&2; exit 1; }
echo "fuzz: $(ls "$seeds" | wc -l) seed files in $seeds"

found=0
for target in "${targets[@]}"; do
  corpus=$build/corpus-$target
  crashes=$build/crashes-$target
  log=$build/fuzz-$target.log
  mkdir -p "$corpus" "$crashes"
  before=$(ls "$crashes" | wc -l)
  mode=()
  if [ "${CALMORA_FUZZ_KEEP_GOING:-0}" = 1 ]; then
    mode=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  echo "fuzz: $target for $seconds s (log: $log)"
  status=0
  # The targets write each input into a private folder under $TMPDIR, which
  # must be gone once they are: a folder of their own shows it.
  tmp=$build/tmp-$target
  rm -rf "$tmp"
  mkdir -p "$tmp"
  # The corpus folder comes first: libFuzzer adds what it finds there.
  (cd "$build" && TMPDIR=$tmp "$build/bin/$target" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/" \
      "${mode[@]}" "$corpus" "$seeds") >"$log" 2>&1 || status=$?
  last=$(grep -E 'cov: [0-9]+' "$log" | tail -n 1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  # Fork mode prints no final stats: its status lines start with the count.
  [ -n "$execs" ] || execs=$(printf '%s\n' "$last" | sed -n 's/^#\([0-9]*\).*/\1/p')
  echo "fuzz: $target: ${execs:-?} execs, ${rate:-?} exec/s, last: ${last:-none}"
  new=$(( $(ls "$crashes" | wc -l) - before ))
  # The helper that removes a target's folder ends just after the target.
  for _ in 1 2 3 4 5; do rmdir "$tmp" 2>/dev/null && break; sleep 1; done
  if [ -d "$tmp" ]; then
    echo "fuzz: $target left files in $tmp:"
    find "$tmp" | sed 's/^/  /'
    found=1
  fi
  if [ "$new" -gt 0 ] || { [ "$status" -ne 0 ] && [ "${CALMORA_FUZZ_KEEP_GOING:-0}" != 1 ]; }; then
    echo "fuzz: $target found $new new file(s) in $crashes (exit status $status):"
    ls -t "$crashes" | head -n "$(( new > 0 ? new : 1 ))" | sed 's/^/  /'
    grep -m 3 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | sed 's/^/  /' || true
    found=1
  fi
done
exit "$found"
