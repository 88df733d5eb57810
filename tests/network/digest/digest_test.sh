#!/usr/bin/env bash
# The engine's digest: a generated network of every method routed over a whole run, over the
# run split in two with a restart between, over the second part with a first lateral inflow
# that no longer fits the restart (reaches fail against it), over a flood that some Puls
# tables cannot hold (reaches fail, and those below them are marked), and over the second
# part started from initial flows (the whole run's outflows at its first ordinate). The
# outflows, statuses, upstream marks and restart states of every run, hashed reach by reach,
# must equal the recorded reference (reference.txt) on every configuration asked for, some in
# small blocks (so that junctions and the written blocks of several processes cross blocks),
# some in time windows of a few ordinates (so that every run goes window by window).
#   digest_test.sh ROUTE GEN TOOL REFERENCE threads          1 process, 1, 2 and 5 threads
#   digest_test.sh ROUTE GEN TOOL REFERENCE mpi MPIEXEC      1, 2 and 3 processes
#   digest_test.sh ROUTE GEN TOOL REFERENCE record           prints the digest of 1 x 1
set -u
route=$1 gen=$2 tool=$3 reference=$4 mode=$5 mpiexec=${6:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$gen" --reaches 700 --steps 36 --seed 19 --methods mixed --network "$dir/network.nc" \
  --forcing "$dir/forcing.nc" || { echo "FAIL: generator"; exit 1; }
"$tool" cut "$dir/forcing.nc" "$dir/first-forcing.nc" 0 15 &&
  "$tool" cut "$dir/forcing.nc" "$dir/second-forcing.nc" 14 22 &&
  "$tool" cut "$dir/forcing.nc" "$dir/shifted-forcing.nc" 14 22 7 1.0 1.0 &&
  "$tool" cut "$dir/forcing.nc" "$dir/flood-forcing.nc" 0 36 5 0.0 400.0 ||
  { echo "FAIL: forcings not cut"; exit 1; }
# The initial flows come from one run in one process, the same for every configuration.
"$route" --network "$dir/network.nc" --forcing "$dir/forcing.nc" --output "$dir/flows.nc" \
  --quiet && "$tool" warm "$dir/network.nc" "$dir/flows.nc" 14 "$dir/warm-network.nc" ||
  { echo "FAIL: initial flows not written"; exit 1; }

digest() {  # digest PROCESSES THREADS BLOCK [WINDOW]: the digest lines of the six runs
  local p=$1 t=$2 b=$3 launch=() windows=()
  [[ $p != 0 ]] && launch=(timeout 300 "$mpiexec" --oversubscribe --bind-to none -np "$p")
  [[ -n ${4:-} ]] && windows=(--window "$4")
  run() {  # run NAME FORCING EXPECTED-STATUS ARGS...
    local name=$1 forcing=$2 want=$3 network=network.nc
    shift 3
    [[ $name == warm ]] && network=warm-network.nc
    "${launch[@]}" "$route" --network "$dir/$network" --forcing "$dir/$forcing" \
      --output "$dir/$name.nc" --threads "$t" --block-reaches "$b" "${windows[@]}" --quiet "$@" \
      2>"$dir/stderr"
    local got=$?
    if [[ $got -ne $want ]]; then
      echo "FAIL: $name on $p processes x $t threads, blocks of $b: exit $got, expected $want" >&2
      cat "$dir/stderr" >&2
    fi
    "$tool" sum "$name" "$dir/$name.nc"
  }
  run whole forcing.nc 0 --restart-out "$dir/whole-restart.nc"
  "$tool" sum whole "$dir/whole-restart.nc"
  run first first-forcing.nc 0 --restart-out "$dir/first-restart.nc"
  "$tool" sum first "$dir/first-restart.nc"
  run second second-forcing.nc 0 --restart-in "$dir/first-restart.nc" \
    --restart-out "$dir/second-restart.nc"
  "$tool" sum second "$dir/second-restart.nc"
  run shifted shifted-forcing.nc 1 --restart-in "$dir/first-restart.nc"
  run flood flood-forcing.nc 1
  run warm second-forcing.nc 0 --restart-out "$dir/warm-restart.nc"
  "$tool" sum warm "$dir/warm-restart.nc"
}

case $mode in
  record) digest 0 1 8192; exit ;;
  threads) configurations=("0 1 8192" "0 2 37" "0 5 8192" "0 2 37 5" "0 1 8192 2") ;;
  mpi) configurations=("1 1 8192" "1 3 64" "2 1 8192" "2 2 29" "3 1 50" "3 2 8192" "2 2 29 4"
                       "3 1 8192 7") ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
fail=0
grep -v '^#' "$reference" | sed '/^$/d' >"$dir/reference"
for c in "${configurations[@]}"; do
  set -- $c
  digest "$@" >"$dir/got" 2>"$dir/errors"
  if [[ -s "$dir/errors" ]] || ! cmp -s "$dir/reference" "$dir/got"; then
    echo "FAIL: digest on $1 processes (0: no launcher) x $2 threads, blocks of $3, windows of ${4:-all}, differs from the reference"
    cat "$dir/errors"
    diff "$dir/reference" "$dir/got"
    fail=1
  fi
done
exit $fail
