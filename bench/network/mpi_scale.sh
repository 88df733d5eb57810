#!/usr/bin/env bash
# tovalin-route over MPI at scale: generates a network, routes it as one process of one
# thread and as 2 processes of one thread each (mpirun), checks that the results are the
# same and prints the wall times, the speed-up, the partition's balance and what was sent.
#   mpi_scale.sh ROUTE GEN MPIEXEC [REACHES [STEPS [METHODS [PROCESSES]]]]
# Defaults: 1000000 reaches x 48 hourly steps, mc-trapezoid, 2 processes.
set -euo pipefail
route=$1 gen=$2 mpiexec=$3
reaches=${4:-1000000} steps=${5:-48} methods=${6:-mc-trapezoid} processes=${7:-2}
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$gen" --reaches "$reaches" --steps "$steps" --seed 1 --methods "$methods" \
  --network "$dir/n.nc" --forcing "$dir/f.nc"
TIMEFORMAT='%R %U %S'
run() {  # run NAME COMMAND...: output in NAME.log, "wall user system" seconds in NAME.time
  local name=$1
  shift
  { time "$@" >"$dir/$name.log" 2>&1; } 2>"$dir/$name.time"
}
run one "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/one.nc" --threads 1
run many "$mpiexec" --oversubscribe -np "$processes" --bind-to core \
  "$route" --network "$dir/n.nc" --forcing "$dir/f.nc" --output "$dir/many.nc" --threads 1
read -r one oneUser oneSystem <"$dir/one.time"
read -r many manyUser manySystem <"$dir/many.time"
same=yes
cmp -s <(ncdump -p 9,17 "$dir/one.nc" | sed 1d) <(ncdump -p 9,17 "$dir/many.nc" | sed 1d) || same=NO
echo "network: $reaches reaches x $steps steps, $methods; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "1 process x 1 thread: wall $one s, processor $(echo "$oneUser + $oneSystem" | bc -l) s"
sed 's/^/  /' "$dir/one.log"
echo "$processes processes x 1 thread: wall $many s, processor $(echo "$manyUser + $manySystem" | bc -l) s (all processes)"
sed 's/^/  /' "$dir/many.log"
echo "speed-up (wall, files included): $(printf %.2f "$(echo "$one / $many" | bc -l)")"
# On a loaded machine the wall time measures the other work too: the speed-up the partition
# allows is the single process's processor time over the busiest process's.
busiest=$(sed -n 's/.*processor \([0-9.]*\) s.*/\1/p' "$dir/many.log" | sort -g | tail -1)
echo "speed-up (processor time, 1 process over the busiest): $(printf %.2f "$(echo "($oneUser + $oneSystem) / $busiest" | bc -l)")"
echo "results identical: $same"
