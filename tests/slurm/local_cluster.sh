#!/usr/bin/env bash
# local_cluster.sh start DIR | stop DIR: a throw-away one-node Slurm cluster for tests and benchmarks.
#
#   eval "$(tests/slurm/local_cluster.sh start "$dir")"   # prints: export SLURM_CONF=$dir/slurm.conf
#   sbatch --array=1-4 --wait job.sh ...
#   tests/slurm/local_cluster.sh stop "$dir" && rm -rf "$dir"
#
# start runs munged, slurmctld and slurmd as root with every file under DIR (which must be empty, missing
# or an earlier cluster's folder), waits until the node is idle and prints the line above on stdout; all
# else goes to stderr. On failure it prints the cause and the tail of the log at fault, stops what it
# started and exits 1; it also exits 1, saying "not installed", when Slurm or munge is missing, so that a
# test can skip with that message. The node offers the nproc CPUs as cores, one task a core.
# sbatch --wait sees a job end within 2 s; a finished job is forgotten some 10 s later.
# stop cancels all jobs, stops the daemons and kills whatever is left of this cluster, also job steps
# whose slurmd was killed; it is idempotent and leaves DIR in place.
#
# Two clusters at once do not clash: each has its own munge key and socket, ports, state and spool, and
# the node name they share (the short host name) only matters within a cluster, so start does not refuse.
# But each believes it has all CPUs: two busy clusters share the cores, which matters for benchmarks.
#
# Needs root (SlurmUser=root, munged runs as root) and the packages slurmctld slurmd slurm-client munge.
set -Eeuo pipefail

me=local_cluster.sh
# the daemons live in /usr/sbin, which a plain user's PATH may lack
PATH=$PATH:/usr/sbin
# stdout carries only the final export line; any chatter of the tools goes to stderr. The daemons must
# not inherit fd 3, or a caller reading our stdout would wait for them to end.
exec 3>&1 1>&2

usage() {
  echo "usage: $me start DIR | stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
[ -n "$2" ] || usage
dir=$(realpath -m -- "$2")
conf=$dir/slurm.conf
node=$(hostname -s)
start_timeout=30

# ---- processes of this cluster ----

# The daemons carry DIR on their command line; their helpers (slurmstepd, slurmscriptd) do not, but they
# inherit the daemons' environment, where start puts this marker.
marker="RELKIT_LOCAL_SLURM=$dir"

cmdline_has_dir() { # PID
  local arg
  while IFS= read -r -d '' arg; do
    [[ $arg == *"$dir/"* ]] && return 0
  done <"/proc/$1/cmdline"
  return 1
}

environ_has() { # PID ENTRY: ENTRY is NAME=VALUE, or NAME= for any value
  local entry
  while IFS= read -r -d '' entry; do
    if [ "$entry" = "$2" ] || { [ "${2: -1}" = = ] && [ "${entry%%=*}=" = "$2" ]; }; then
      return 0
    fi
  done <"/proc/$1/environ"
  return 1
}

# Sets pstate and ppid to the state and parent of PID; reads /proc without forking, so that a scan
# sees no processes of its own.
pstate='' ppid=''
parent_of() { # PID
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  pstate=${stat%% *}
  stat=${stat#* }
  ppid=${stat%% *}
}

# Whether PID runs; a zombie does not, and here pid 1 may take its time to reap one.
running() { # PID
  parent_of "$1" && [ "$pstate" != Z ] && [ "$pstate" != X ]
}

any_running() { # PID...
  local pid
  for pid; do
    running "$pid" && return 0
  done
  return 1
}

# Prints the pids of this cluster's daemons, its job steps and everything below them, and job tasks
# that left their step's process tree, never this script or its callers.
cluster_processes() {
  local -A parent=() ours=() mine=()
  local p pid comm found=1
  mine[$BASHPID]=1
  p=$$
  while [ "$p" -gt 1 ] && parent_of "$p" 2>/dev/null; do
    mine[$p]=1
    p=$ppid
  done
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    [ -n "${mine[$pid]:-}" ] && continue
    { running "$pid" && read -r comm <"$p/comm"; } 2>/dev/null || continue
    parent[$pid]=$ppid
    case $comm in
      munged | slurmctld | slurmd)
        cmdline_has_dir "$pid" 2>/dev/null && ours[$pid]=1
        ;;
    esac
    # slurmstepd and slurmscriptd; job tasks get SLURM_CONF from slurmd, also with sbatch --export=NONE
    if [ -z "${ours[$pid]:-}" ] && { environ_has "$pid" "$marker" ||
      { environ_has "$pid" "SLURM_CONF=$conf" && environ_has "$pid" SLURM_JOB_ID=; }; } 2>/dev/null; then
      ours[$pid]=1
    fi
  done
  while [ $found -eq 1 ]; do
    found=0
    for pid in "${!parent[@]}"; do
      if [ -z "${ours[$pid]:-}" ] && [ -n "${ours[${parent[$pid]}]:-}" ]; then
        ours[$pid]=1
        found=1
      fi
    done
  done
  [ ${#ours[@]} -eq 0 ] || printf '%s\n' "${!ours[@]}"
}

pid_from() { # PIDFILE
  local pid
  [ -f "$1" ] || return 1
  pid=$(<"$1")
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  echo "$pid"
}

# The daemon's pid, when its pid file names a running NAME of this cluster: a pid file may outlive its
# daemon and the number be reused.
daemon_pid() { # NAME PIDFILE
  local pid comm
  pid=$(pid_from "$2") && running "$pid" && read -r comm 2>/dev/null <"/proc/$pid/comm" &&
    [ "$comm" = "$1" ] && cmdline_has_dir "$pid" 2>/dev/null && echo "$pid"
}

# ---- stop ----

do_stop() {
  local pid pids ids tenths left
  if daemon_pid slurmctld "$dir/run/slurmctld.pid" >/dev/null; then
    export SLURM_CONF=$conf
    ids=$(timeout 10 squeue -h -o %A 2>/dev/null | sort -u) || ids=
    if [ -n "$ids" ]; then
      # shellcheck disable=SC2086 # one job id a word
      timeout 10 scancel $ids 2>/dev/null || true
      # give slurmd a moment to end the steps in order before the daemons go
      tenths=100
      while [ "$tenths" -gt 0 ] && [ -n "$(timeout 5 squeue -h -o %A 2>/dev/null)" ]; do
        sleep 0.2
        tenths=$((tenths - 2))
      done
    fi
  fi
  # all at once: each takes one to two seconds to wind down
  pids=()
  pid=$(daemon_pid slurmd "$dir/run/slurmd.pid") && pids+=("$pid")
  pid=$(daemon_pid slurmctld "$dir/run/slurmctld.pid") && pids+=("$pid")
  pid=$(daemon_pid munged "$dir/munge/munged.pid") && pids+=("$pid")
  if [ ${#pids[@]} -gt 0 ]; then
    kill -TERM "${pids[@]}" 2>/dev/null || true
    tenths=50
    while [ "$tenths" -gt 0 ] && any_running "${pids[@]}"; do
      sleep 0.1
      tenths=$((tenths - 1))
    done
  fi
  # what a killed daemon left behind: stop all of it first so that nothing forks while it is killed
  for _ in 1 2 3 4 5; do
    mapfile -t left < <(cluster_processes)
    [ ${#left[@]} -eq 0 ] && return 0
    kill -STOP "${left[@]}" 2>/dev/null || true
    kill -KILL "${left[@]}" 2>/dev/null || true
    sleep 0.2
  done
  mapfile -t left < <(cluster_processes)
  [ ${#left[@]} -eq 0 ] && return 0
  echo "$me: still running after stop: ${left[*]}" >&2
  return 1
}

# ---- start ----

fail() { # MESSAGE [LOG]
  trap - ERR INT TERM HUP
  echo "$me: $1" >&2
  if [ -n "${2:-}" ] && [ -s "$2" ]; then
    echo "--- last lines of $2:" >&2
    tail -n 20 "$2" >&2
  fi
  do_stop || true
  exit 1
}

check_installed() {
  local missing=() p
  for p in munged slurmctld slurmd slurmstepd sinfo squeue scancel sbatch scontrol; do
    command -v "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$me: Slurm or munge is not installed (missing: ${missing[*]});" \
      "the packages are slurmctld slurmd slurm-client munge" >&2
    exit 1
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "$me: needs root (slurmd and munged run as root here)" >&2
    exit 1
  fi
}

# Two free TCP ports below the ephemeral range, so that no outgoing connection takes one meanwhile.
free_ports() {
  local -A used=()
  local port picked=()
  while read -r port; do
    used[${port##*:}]=1
  done < <(ss -Htan | awk '{print $4}')
  while [ ${#picked[@]} -lt 2 ]; do
    port=$((10000 + (RANDOM * 32768 + RANDOM) % 22000))
    [ -n "${used[$port]:-}" ] && continue
    used[$port]=1
    picked+=("$port")
  done
  echo "${picked[@]}"
}

write_conf() { # CTLD_PORT SLURMD_PORT
  local mem_mb margin
  mem_mb=$(awk '/^MemTotal:/ {print int($2 / 1024)}' /proc/meminfo)
  # slurmd drains a node that has less memory than configured: leave room for what the kernel keeps
  margin=$((mem_mb / 20 > 256 ? mem_mb / 20 : 256))
  mem_mb=$((mem_mb > 2 * margin ? mem_mb - margin : mem_mb / 2))
  : >"$dir/plugstack.conf"
  cat >"$conf" <<EOF
# written by $me for a throw-away one-node cluster
ClusterName=relkit
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$1
SlurmdPort=$2
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
PlugStackConfig=$dir/plugstack.conf
TmpFS=$dir/tmp
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SchedulerParameters=bf_interval=1
# a cancelled job gets SIGKILL 2 s after SIGTERM, so that stop is quick
KillWait=2
# sbatch --wait polls every 2 s only while MinJobAge is below 5; longer, it sleeps 8 s, then 32 s
MinJobAge=4
MailProg=/bin/true
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$mem_mb State=UNKNOWN
PartitionName=local Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
}

# A daemon that died: fail with its log. Its pid file appears only after it has forked.
watch_daemon() { # NAME PIDFILE LOG SINCE
  if [ -f "$2" ] || [ $((SECONDS - $4)) -ge 5 ]; then
    daemon_pid "$1" "$2" >/dev/null || fail "$1 is not running" "$3"
  fi
}

do_start() {
  local ports state reason deadline since up force=() entry
  check_installed
  if [[ $dir == *[[:space:]]* ]]; then
    echo "$me: '$dir' holds white space, which slurm.conf cannot" >&2
    exit 1
  fi
  if [ -e "$dir" ]; then
    if [ -n "$(cluster_processes)" ]; then
      echo "$me: a cluster still runs in $dir; stop it first" >&2
      exit 1
    fi
    # a fresh start, but never at the expense of files that are not this script's
    for entry in "$dir"/* "$dir"/.[!.]*; do
      [ -e "$entry" ] || continue
      if ! head -n 1 "$conf" 2>/dev/null | grep -qF "written by $me"; then
        echo "$me: $dir is neither empty nor the folder of an earlier cluster" >&2
        exit 1
      fi
      break
    done
    rm -rf "${dir:?}/munge" "$dir/state" "$dir/spool" "$dir/run" "$dir/log" "$dir/tmp"
  fi
  mkdir -p "$dir/munge" "$dir/state" "$dir/spool" "$dir/run" "$dir/log" "$dir/tmp"
  chmod 755 "$dir/munge"
  trap 'fail "failed at line $LINENO: $BASH_COMMAND"' ERR
  trap 'fail "interrupted"' INT TERM HUP

  if command -v mungekey >/dev/null 2>&1; then
    mungekey --create --keyfile="$dir/munge/munge.key" --bits=1024 ||
      fail "mungekey could not make a key"
  else
    dd if=/dev/urandom of="$dir/munge/munge.key" bs=128 count=1 status=none ||
      fail "could not make a munge key"
  fi
  chown root:root "$dir/munge/munge.key"
  chmod 0400 "$dir/munge/munge.key"
  # munged refuses a socket below a folder that not everyone may enter (as mktemp -d makes them) unless
  # forced; forced, only root can use the socket, and only root uses this cluster
  up=$dir
  while [ "$up" != / ]; do
    up=$(dirname "$up")
    [ "$(stat -c %A "$up" | cut -c10)" = x ] || [ "$(stat -c %A "$up" | cut -c10)" = t ] || force=(--force)
  done
  munged "${force[@]}" --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.socket" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
    --seed-file="$dir/munge/munged.seed" </dev/null >"$dir/log/munged.out" 2>&1 3>&- ||
    fail "munged did not start: $(cat "$dir/log/munged.out")" "$dir/munge/munged.log"

  read -r -a ports <<<"$(free_ports)"
  write_conf "${ports[0]}" "${ports[1]}"
  export SLURM_CONF=$conf
  # the marker reaches slurmstepd through slurmd, so that stop finds steps whose slurmd is gone
  env "$marker" slurmctld -f "$conf" </dev/null >"$dir/log/slurmctld.out" 2>&1 3>&- ||
    fail "slurmctld did not start: $(cat "$dir/log/slurmctld.out")" "$dir/log/slurmctld.log"
  env "$marker" slurmd -f "$conf" -N "$node" </dev/null >"$dir/log/slurmd.out" 2>&1 3>&- ||
    fail "slurmd did not start: $(cat "$dir/log/slurmd.out")" "$dir/log/slurmd.log"

  since=$SECONDS
  deadline=$((SECONDS + start_timeout))
  while :; do
    state=$(timeout 5 sinfo -h -N -n "$node" -o %T 2>/dev/null) || state=
    [ "$state" = idle ] && break
    watch_daemon munged "$dir/munge/munged.pid" "$dir/munge/munged.log" "$since"
    watch_daemon slurmctld "$dir/run/slurmctld.pid" "$dir/log/slurmctld.log" "$since"
    watch_daemon slurmd "$dir/run/slurmd.pid" "$dir/log/slurmd.log" "$since"
    if [ $SECONDS -ge $deadline ]; then
      if [ -z "$state" ]; then
        fail "slurmctld did not answer within ${start_timeout}s" "$dir/log/slurmctld.log"
      fi
      reason=$(timeout 5 sinfo -h -N -n "$node" -o %E) || reason=
      fail "node $node is $state rather than idle after ${start_timeout}s: $reason" "$dir/log/slurmd.log"
    fi
    sleep 0.2
  done
  echo "export SLURM_CONF=$conf" >&3
}

case $action in
  start) do_start ;;
  stop) do_stop ;;
  *) usage ;;
esac
