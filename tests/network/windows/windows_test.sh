#!/usr/bin/env bash
# tovalin-route in time windows, as real processes on real files (the case: window_case.cpp, a
# generated network of every method with a boundary hydrograph, an undefined lateral inflow
# and a reach that fails, gauges on some reaches). Windows of 2, 7 and 24 ordinates give the
# values of the whole run, its depths, velocities and gauge outflows included: the results and
# the final restart print alike with ncdump -p 17,17, on threads and, given MPIEXEC, on 2
# processes. --restart-every names each restart by the time of its state and
# writes it after every K windows and at the end, on 1 process as on 2; a run continued from
# any of them, on 1 process and on 2, gives the whole run's outflows from there on and its
# final restart.
#   windows_test.sh ROUTE CASE DIGEST [MPIEXEC]
set -u
route=$1 case=$2 tool=$3 mpiexec=${4:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
"$case" write "$dir" >/dev/null || { echo "FAIL: case not written"; exit 1; }
times=60

run() {  # run PROCESSES THREADS NAME ARGS...: a run whose failing reach makes its exit 1
  local p=$1 t=$2 name=$3 launch=()
  shift 3
  [[ $p != 0 ]] && launch=(timeout 300 "$mpiexec" --oversubscribe --bind-to none -np "$p")
  "${launch[@]}" "$route" --network "$dir/network.nc" --threads "$t" --output "$dir/$name.nc" \
    "$@" >"$dir/$name.out" 2>"$dir/$name.err"
  local got=$?
  if [[ $got -ne 1 ]]; then
    echo "FAIL: $name: exit $got, expected 1 (a reach fails)"; cat "$dir/$name.err"; fail=1
  fi
}
same() {  # same A B: every variable and attribute alike to the last bit
  if ! cmp -s <(ncdump -p 17,17 "$1" | sed 1d) <(ncdump -p 17,17 "$2" | sed 1d); then
    echo "FAIL: $(basename "$2") differs from $(basename "$1")"; fail=1
  fi
}
stamp() { date -u -d "2026-01-01 00:00 UTC + $1 hours" +%Y%m%d%H%M; }

series=(--variables outflow,depth,velocity --gauges)
run 0 2 whole --forcing "$dir/forcing.nc" --restart-out "$dir/whole-restart.nc" "${series[@]}"
# The case holds what it says: a failed reach with reaches below it, undefined outflows.
grep -Eq " [1-9][0-9]* failed, [1-9][0-9]* below a failure" "$dir/whole.out" ||
  { echo "FAIL: no failed reach with reaches below it"; cat "$dir/whole.out"; fail=1; }
ncdump -v outflow "$dir/whole.nc" | grep -q -- "_," ||
  { echo "FAIL: no undefined outflow"; fail=1; }
ncdump -h "$dir/whole.nc" | grep -Eq "gauge = [1-9][0-9]* ;" ||
  { echo "FAIL: no gauge"; fail=1; }

# Windows of every length give the whole run's values. PROCESSES THREADS WINDOW
configurations=("0 1 2" "0 2 7" "0 2 24")
[[ -n $mpiexec ]] && configurations+=("2 1 7" "2 2 24")
for c in "${configurations[@]}"; do
  set -- $c
  name=w$3p$1t$2
  run "$1" "$2" "$name" --forcing "$dir/forcing.nc" --window "$3" --quiet \
    --restart-out "$dir/$name-restart.nc" "${series[@]}"
  same "$dir/whole.nc" "$dir/$name.nc"
  same "$dir/whole-restart.nc" "$dir/$name-restart.nc"
done

# Restarts after every 2 windows of 7 (the last ordinates of windows 1, 3, 5 and 7) and at the
# end, named by their times, each holding its state's time.
expected="13 27 41 55 59"
for p in 1 ${mpiexec:+2}; do
  launch=0
  [[ $p == 2 ]] && launch=2
  run "$launch" 2 every$p --forcing "$dir/forcing.nc" --window 7 --restart-every 2 --quiet \
    --restart-out "$dir/every$p-{time}.nc"
  names=$(cd "$dir" && ls every$p-*.nc | grep -v "^every$p-restart" | sort | tr '\n' ' ')
  want=""
  for o in $expected; do want+="every$p-$(stamp "$o").nc "; done
  [[ $names == "$want" ]] || { echo "FAIL: restarts on $p processes: $names, expected $want"; fail=1; }
  for o in $expected; do
    f="$dir/every$p-$(stamp "$o").nc"
    [[ -f $f ]] || continue
    ncdump -v time "$f" | grep -q "time = $((60 * o)) ;" || { echo "FAIL: $f: not at ordinate $o"; fail=1; }
    [[ $p == 2 ]] && same "$dir/every1-$(stamp "$o").nc" "$f"
  done
  same "$dir/whole-restart.nc" "$dir/every$p-$(stamp 59).nc"
done

# A run continued from a restart after any window goes on as the whole run: its outflows from
# the restart's ordinate on, and its final restart. ORDINATE PROCESSES
continuations=("13 0" "41 0")
[[ -n $mpiexec ]] && continuations+=("27 2" "55 2")
for c in "${continuations[@]}"; do
  set -- $c
  o=$1 p=$2 from=every1
  [[ $p == 2 ]] && from=every2
  "$tool" cut "$dir/forcing.nc" "$dir/from$o.nc" "$o" $((times - o)) ||
    { echo "FAIL: forcing from $o not cut"; fail=1; }
  run "$p" 1 cont$o --forcing "$dir/from$o.nc" --window 5 --quiet \
    --restart-in "$dir/$from-$(stamp "$o").nc" --restart-out "$dir/cont$o-restart.nc"
  cmp -s <("$case" tail "$dir/whole.nc" "$o") <("$case" tail "$dir/cont$o.nc" 0) ||
    { echo "FAIL: continued from ordinate $o on $p processes: other outflows"; fail=1; }
  same "$dir/whole-restart.nc" "$dir/cont$o-restart.nc"
done
exit $fail
