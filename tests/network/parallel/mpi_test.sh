#!/usr/bin/env bash
# tovalin-route under mpirun: 1, 2 and 3 processes (and thread counts) write the files of one
# process, depths, velocities and gauges included; a fault on one process ends the job with a
# message naming it and the reach; a restart written by 2 processes continues on 3 as one
# process continues its own, and reaches that fail against it (and those their failure
# reaches, across processes) are marked as in one process; a network not in routing order,
# each process reading its share of it, and a refused one give what one process gives.
set -u
route=$1 case=$2 mpiexec=$3 faults=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
outlet=$("$case" "$dir") || { echo "FAIL: case not written"; exit 1; }
mpi() {  # mpi PROCESSES THREADS ARGS...
  local n=$1 t=$2
  shift 2
  timeout 120 "$mpiexec" --oversubscribe --bind-to none -np "$n" "$route" --threads "$t" --quiet \
    --network "$dir/network.nc" "$@"
}
same() {  # same A B: identical variables and attributes
  if ! cmp -s <(ncdump -p 9,17 "$1" | sed 1d) <(ncdump -p 9,17 "$2" | sed 1d); then
    echo "FAIL: $(basename "$2") differs from $(basename "$1")"; fail=1
  fi
}
"$route" --network "$dir/network.nc" --forcing "$dir/whole.nc" --output "$dir/one.nc" \
  --restart-out "$dir/one-restart.nc" --threads 2 --quiet || { echo "FAIL: one process"; fail=1; }
for run in "1 2" "2 1" "2 2" "3 1"; do
  set -- $run
  mpi "$1" "$2" --forcing "$dir/whole.nc" --output "$dir/p$1t$2.nc" \
    --restart-out "$dir/p$1t$2-restart.nc" || { echo "FAIL: $1 processes x $2 threads"; fail=1; }
  same "$dir/one.nc" "$dir/p$1t$2.nc"
  same "$dir/one-restart.nc" "$dir/p$1t$2-restart.nc"
done

# Depths, velocities and gauges travel with the outflows.
extras=(--variables outflow,depth,velocity --gauges --forcing "$dir/whole.nc")
"$route" --network "$dir/gauged.nc" "${extras[@]}" --output "$dir/g1.nc" --quiet &&
  mpi 3 2 --network "$dir/gauged.nc" "${extras[@]}" --output "$dir/g3.nc" ||
  { echo "FAIL: depths and gauges on 3 processes"; fail=1; }
same "$dir/g1.nc" "$dir/g3.nc"

if [[ $faults == ON ]]; then
  for kind in io signal; do
    TOVALIN_FAULT_INJECT="1:$outlet:$kind" mpi 2 2 --forcing "$dir/whole.nc" \
      --output "$dir/fault.nc" 2>"$dir/stderr"
    status=$?
    if [[ $status -eq 0 || $status -eq 124 ]]; then
      echo "FAIL: $kind fault: exit $status"; fail=1
    fi
    grep -q "tovalin-route: process 1, reach $outlet: " "$dir/stderr" ||
      { echo "FAIL: $kind fault not named"; cat "$dir/stderr"; fail=1; }
  done
fi

"$route" --network "$dir/network.nc" --forcing "$dir/first.nc" --output "$dir/a1.nc" \
  --restart-out "$dir/r1.nc" --quiet && "$route" --network "$dir/network.nc" \
  --forcing "$dir/second.nc" --output "$dir/b1.nc" --restart-in "$dir/r1.nc" --quiet ||
  { echo "FAIL: restart in one process"; fail=1; }
mpi 2 1 --forcing "$dir/first.nc" --output "$dir/a2.nc" --restart-out "$dir/r2.nc" &&
  mpi 3 1 --forcing "$dir/second.nc" --output "$dir/b3.nc" --restart-in "$dir/r2.nc" ||
  { echo "FAIL: restart from 2 processes on 3"; fail=1; }
same "$dir/r1.nc" "$dir/r2.nc"
same "$dir/b1.nc" "$dir/b3.nc"
"$route" --network "$dir/network.nc" --forcing "$dir/shifted.nc" --output "$dir/f1.nc" \
  --restart-in "$dir/r1.nc" --quiet
[[ $? -eq 1 ]] || { echo "FAIL: shifted restart in one process: no failure"; fail=1; }
mpi 3 1 --forcing "$dir/shifted.nc" --output "$dir/f3.nc" --restart-in "$dir/r2.nc"
[[ $? -eq 1 ]] || { echo "FAIL: shifted restart on 3 processes: no failure"; fail=1; }
same "$dir/f1.nc" "$dir/f3.nc"
"$route" --network "$dir/reversed.nc" --forcing "$dir/reversed-forcing.nc" --output "$dir/v1.nc" \
  --quiet && mpi 3 1 --forcing "$dir/reversed-forcing.nc" --output "$dir/v3.nc" \
  --network "$dir/reversed.nc" || { echo "FAIL: reversed network"; fail=1; }
same "$dir/v1.nc" "$dir/v3.nc"
"$route" --network "$dir/refused.nc" --forcing "$dir/whole.nc" --output "$dir/x1.nc" \
  --quiet 2>"$dir/refused1"
status1=$?
mpi 3 1 --forcing "$dir/whole.nc" --output "$dir/x3.nc" --network "$dir/refused.nc" \
  2>"$dir/refused3"
status3=$?
[[ $status1 -eq 3 && $status3 -eq 3 ]] && grep -q "muskingumK" "$dir/refused1" &&
  cmp -s "$dir/refused1" <(head -n "$(wc -l <"$dir/refused1")" "$dir/refused3") ||
  { echo "FAIL: refusal on 3 processes ($status3) differs from one ($status1)"; fail=1; }
exit $fail
