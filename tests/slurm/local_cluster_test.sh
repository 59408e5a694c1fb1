#!/usr/bin/env bash
# local_cluster_test.sh: two throw-away clusters side by side. In the first an array job's tasks see their
# index and count and a dependent job runs after it; then both get long jobs, the first loses slurmd and
# slurmctld to kill -9, and its stop must end its steps and tasks but spare the second cluster's. Last, a
# start whose slurmd fails must say so and leave nothing running. Prints how long start, a 4-task array
# and stop take. Exits 77 (skipped) when Slurm or munge is not installed.
set -euo pipefail
cluster=$(realpath "$(dirname "$0")/local_cluster.sh")
work=$(mktemp -d "${TMPDIR:-/tmp}/relkit_slurm_XXXXXX")
cd "$work"
cleanup() {
  "$cluster" stop "$work/a" 2>/dev/null || true
  "$cluster" stop "$work/b" 2>/dev/null || true
  "$cluster" stop "$work/c" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "local cluster test: $*" >&2
  exit 1
}
seconds_since() { # EPOCHREALTIME
  awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'
}
# Running processes (not zombies) whose command line holds TEXT: the long jobs run a copy of sleep in the
# work folder, so that they can be told from other people's, and with an empty environment, which hides
# them from all but their place in the process tree.
running_with() { # TEXT
  ps -eo stat=,args= | awk -v t="$1" '$1 !~ /^Z/ && index($0, t) && $2 != "awk"'
}
steps_of() { # CLUSTER: the slurmstepd pids of its running batch scripts
  ps -eo ppid=,args= | awk -v s="$work/$1/spool/" 'index($0, s) && $2 != "awk" {print $1}'
}
wait_running() { # CLUSTER COUNT
  local i
  for i in $(seq 50); do
    [ "$(SLURM_CONF=$work/$1/slurm.conf squeue -h -t R | wc -l)" -ge "$2" ] && return 0
    sleep 0.2
  done
  fail "$1: $2 jobs do not run"
}

# through pipes, as a caller's $(...) reads them: the daemons must not hold them open
t=$EPOCHREALTIME
for c in a b; do
  { "$cluster" start "$work/$c" 2>$c.err || echo $? >$c.failed; } | timeout 20 cat >$c.env &
done
wait -n || fail "start kept its stdout open"
wait -n || fail "start kept its stdout open"
if [ -e a.failed ]; then
  grep -q "not installed" a.err && { cat a.err; exit 77; }
  fail "start a: $(cat a.err)"
fi
[ ! -e b.failed ] || fail "start b: $(cat b.err)"
start_time=$(seconds_since "$t")
[ "$(cat a.env)" = "export SLURM_CONF=$work/a/slurm.conf" ] || fail "start printed: $(cat a.env)"

mkdir out bin
cp "$(command -v sleep)" bin/sleep
(
  # shellcheck disable=SC1091 # written above
  source a.env
  t=$EPOCHREALTIME
  id=$(sbatch --parsable --array=1-4 --wait -o /dev/null \
    --wrap "echo \$SLURM_ARRAY_TASK_ID \$SLURM_ARRAY_TASK_COUNT >$work/out/\$SLURM_ARRAY_TASK_ID")
  seconds_since "$t" >array_time
  for i in 1 2 3 4; do
    [ "$(cat "out/$i" 2>&1)" = "$i 4" ] || fail "array task $i wrote: $(cat "out/$i" 2>&1)"
  done
  sbatch --dependency=afterany:"$id" --wait -o /dev/null --wrap "echo after >$work/out/after" >/dev/null
  [ "$(cat out/after 2>&1)" = after ] || fail "the dependent job did not run"
)

for c in b a; do
  SLURM_CONF=$work/$c/slurm.conf sbatch -o /dev/null --array=1-6 --wrap "env -i $work/bin/sleep 600" >/dev/null
  wait_running $c 2
done
a_steps=$(steps_of a)
[ "$(echo "$a_steps" | wc -w)" -eq 2 ] || fail "a runs steps '$a_steps'"
kill -9 "$(cat a/run/slurmd.pid)" "$(cat a/run/slurmctld.pid)"
"$cluster" stop "$work/a" || fail "stop a after kill -9 failed"
for pid in $a_steps; do
  [ ! -d "/proc/$pid" ] || [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = Z ] ||
    fail "slurmstepd $pid of a survived its stop"
done
[ -z "$(running_with "$work/a/")" ] || fail "left of a: $(running_with "$work/a/")"
[ "$(running_with "$work/bin/sleep" | wc -l)" -eq 2 ] ||
  fail "stopping a touched b's jobs: $(running_with "$work/bin/sleep")"

b_steps=$(steps_of b)
t=$EPOCHREALTIME
"$cluster" stop "$work/b" || fail "stop b failed"
stop_time=$(seconds_since "$t")
for pid in $b_steps; do
  [ ! -d "/proc/$pid" ] || [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = Z ] ||
    fail "slurmstepd $pid of b survived its stop"
done
[ -z "$(running_with "$work/")" ] || fail "left after stop: $(running_with "$work/")"
"$cluster" stop "$work/b" || fail "a second stop failed"

# a slurmd that cannot find its node
mkdir wrong
printf '#!/bin/sh\nexec %s "$@" -N no-such-node\n' "$(PATH=$PATH:/usr/sbin command -v slurmd)" >wrong/slurmd
chmod +x wrong/slurmd
if PATH=$work/wrong:$PATH "$cluster" start "$work/c" >c.env 2>c.err; then
  fail "start with a broken slurmd succeeded"
fi
[ ! -s c.env ] || fail "a failed start printed: $(cat c.env)"
{ grep -q "slurmd did not start" c.err && grep -q no-such-node c.err; } ||
  fail "a failed start said: $(cat c.err)"
[ -z "$(running_with "$work/")" ] || fail "left after a failed start: $(running_with "$work/")"

echo "local cluster: two starts at once ${start_time} s, 4-task array $(cat array_time) s," \
  "stop with 2 jobs running ${stop_time} s"
