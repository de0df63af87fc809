#!/usr/bin/env bash
# Runs examples/noise_array.sbatch on a one-node Slurm cluster started for
# this test alone, and checks that every task wrote exactly the
# single-process table of its seed, that no two tables are alike, and that a
# task whose table cannot be written makes `sbatch --wait` fail. Every
# daemon is stopped again by its pid, on success and on failure. The lines
# of the job file that the README shows must be the file's own.
#
#   slurm_array.sh TOOL JOB_FILE README [LAUNCHER...]
#
# LAUNCHER, when given, starts the tool (an emulator for a cross build).
# Needs root; without it the test is skipped (status 77), except under CI=true.
set -euo pipefail
trap 'echo "slurm_array.sh: failed at line $LINENO" >&2' ERR
tool=$(realpath "$1")
job_file=$(realpath "$2")
readme=$3
shift 3
launcher=("$@")

fail() {
  echo "slurm_array.sh: $*" >&2
  exit 1
}
excerpt=$(awk '/<!-- slurm example -->/ { after = 1 } after && /^```/ { if (inside) exit; inside = 1; next } inside' "$readme")
[[ -n $excerpt ]] || fail "no Slurm example in $readme"
while IFS= read -r line; do
  grep -qxF -- "$line" "$job_file" || fail "the README shows a line that is not in $job_file: $line"
done <<<"$excerpt"

# slurmd starts each task as the user who submitted it, which needs root.
# Without root the test skips (status 77), saying why in the file named by
# GAUSSIAN_NOISE_SKIPPED, which the test run prints at its end; in CI
# (CI=true) nothing may skip, and it fails instead.
if ((EUID != 0)); then
  reason="needs root: slurmd must run as root to start the jobs (run the tests as root to include it)"
  [[ ${CI-} == true ]] && fail "$reason"
  echo "skipped: $reason"
  [[ -n ${GAUSSIAN_NOISE_SKIPPED-} ]] && echo "Slurm.ArrayJobWritesTheTableOfEachSeed: $reason" >>"$GAUSSIAN_NOISE_SKIPPED"
  exit 77
fi
for command in munged mungekey slurmctld slurmd sbatch sinfo squeue scancel; do
  command -v "$command" >/dev/null ||
    fail "$command is missing: apt-get install slurm-wlm munge"
done
# Settings of a Slurm job this test may itself run in must not reach the
# test cluster's commands.
unset "${!SLURM_@}" "${!SBATCH_@}"

work=$(mktemp -d /tmp/slurm_array.XXXXXX)
marker="GAUSSIAN_NOISE_SLURM_TEST=$work"  # in the environment of every daemon
pids=()                                   # of the daemons, last started first

# Stops the daemons by their pids, cancelling jobs first so that no task
# outlives them, and removes the temporary directory.
stop_cluster() {
  if ((${#pids[@]})); then
    if timeout 5 scancel --quiet --user=root 2>/dev/null; then
      for _ in {1..50}; do
        [[ $(timeout 5 squeue --noheader --format=%i 2>/dev/null) ]] || break
        sleep 0.2
      done
    fi
    kill "${pids[@]}" 2>/dev/null || true
    for _ in {1..50}; do
      kill -0 "${pids[@]}" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
    pids=()
  fi
  rm -rf "$work"
}
trap stop_cluster EXIT
trap 'exit 1' INT TERM HUP  # so that an interrupted test stops the cluster too
show_logs() {
  tail -n 20 "$work"/*.log >&2 || true
}

# True when something listens on TCP port $1, from the kernel's tables.
listening() {
  awk -v port="$(printf ':%04X' "$1")" '$4 == "0A" && substr($2, length($2) - 4) == port { found = 1 }
    END { exit !found }' /proc/net/tcp /proc/net/tcp6
}
# A port in 20000-59999 that nothing listens on.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    listening "$port" || break
  done
  echo "$port"
}

# The cluster: munged with a key of its own, then a controller and a node on
# this host, all files under $work.
node=$(hostname -s)
controller_port=$(free_port)
node_port=$controller_port
while ((node_port == controller_port)); do node_port=$(free_port); done
memory=$(awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo)
chmod 755 "$work"  # munged wants its socket's directories open to all
mkdir "$work/munge" "$work/state" "$work/spool"
mungekey --create --keyfile="$work/munge/key"
env "$marker" munged --foreground --socket="$work/munge/socket" --key-file="$work/munge/key" \
  --pid-file="$work/munge/pid" --log-file="$work/munged.log" --seed-file="$work/munge/seed" >/dev/null 2>&1 &
pids=("$!" "${pids[@]}")
export SLURM_CONF=$work/slurm.conf
# sched_interval=1: the main scheduler runs every second rather than every
# minute, so array tasks that wait for CPUs start soon after others end.
cat >"$SLURM_CONF" <<EOF
ClusterName=gaussian-noise-test
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerParameters=sched_interval=1
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
deadline=$((SECONDS + 30))
until [[ -S $work/munge/socket ]]; do
  if ! kill -0 "${pids[0]}" 2>/dev/null || ((SECONDS >= deadline)); then show_logs; fail "munged did not start"; fi
  sleep 0.1
done
env "$marker" slurmctld -D -f "$SLURM_CONF" >/dev/null 2>&1 &
pids=("$!" "${pids[@]}")
env "$marker" slurmd -D -f "$SLURM_CONF" -N "$node" >/dev/null 2>&1 &
pids=("$!" "${pids[@]}")
until [[ $(timeout 5 sinfo --noheader --nodes="$node" --format=%T 2>/dev/null) == idle ]]; do
  if ! kill -0 "${pids[@]}" 2>/dev/null || ((SECONDS >= deadline)); then
    show_logs
    fail "the node is not idle within 30 s of starting munged"
  fi
  sleep 0.2
done

# The job finds the tool on the PATH it is submitted with.
mkdir "$work/bin" "$work/tables" "$work/unwritable"
printf '#!/bin/sh\nexec %s "$@"\n' "${launcher[*]} $tool" >"$work/bin/gaussian_noise"
chmod +x "$work/bin/gaussian_noise"
export PATH=$work/bin:$PATH

base=7000
values=(0.5 2 3 7)
cd "$work/tables"
timeout 60 sbatch --quiet --wait --array=0-3 "$job_file" "$base" "${values[@]}" ||
  { show_logs; fail "the array job failed"; }
for seed in $((base)) $((base + 1)) $((base + 2)) $((base + 3)); do
  gaussian_noise --quiet --seed="$seed" --output=- "${values[@]}" | cmp - "noise_$seed.csv"
done
distinct=$(md5sum noise_*.csv | cut -d ' ' -f 1 | sort -u | wc -l)
((distinct == 4)) || fail "only $distinct distinct tables among 4"

# A directory in the place of the table: the task, and so sbatch, must fail.
cd "$work/unwritable"
mkdir "noise_$base.csv"
if timeout 60 sbatch --quiet --wait --array=0 "$job_file" "$base" "${values[@]}"; then
  fail "sbatch --wait succeeded though the table could not be written"
fi
grep -q "noise_$base.csv" slurm-*.out || fail "the failed task did not name its file: $(cat slurm-*.out)"

# One table over an array job, one part a task (examples/one_table.sh):
# joined, it is the table of one plain run. Seed 22312356 throws away the
# pair of cell 18, the first cell of part 3 of 7 here.
one_table=$(dirname "$job_file")/one_table.sh
cd "$work/tables"
CPUS=1 timeout 90 sh "$one_table" 22312356 7 1.7 3.3 20 3 one.csv ||
  { show_logs; fail "one_table.sh failed: $(cat one.csv.join.out one.csv.parts/*.out 2>&1)"; }
gaussian_noise --quiet --seed=22312356 --output=- 1.7 3.3 20 3 | cmp - one.csv
[[ ! -e one.csv.parts ]] || fail "one_table.sh left its parts behind"
# A part that cannot be written fails the script, and no table is joined.
mkdir -p two.csv.parts/part_3.writing  # where task 3 writes: it cannot
if CPUS=1 timeout 90 sh "$one_table" 22312356 7 1.7 3.3 20 3 two.csv; then
  fail "one_table.sh succeeded though part 3 could not be written"
fi
[[ ! -e two.csv ]] || fail "a table was joined without its part 3"
grep -q "part 3 of 7 is missing" two.csv.join.out || fail "the join did not name the missing part: $(cat two.csv.join.out)"

cd /
stop_cluster
# Nothing the daemons started may outlive them: a job step ends within a few
# seconds of its job.
for _ in {1..50}; do
  leftover=$(grep -lzx "$marker" /proc/[0-9]*/environ 2>/dev/null | cut -d / -f 3) || true
  [[ -n $leftover ]] || break
  sleep 0.1
done
[[ -z $leftover ]] || fail "processes left running: $(ps -o pid=,args= -p "${leftover//$'\n'/,}")"
for port in "$controller_port" "$node_port"; do
  ! listening "$port" || fail "port $port is still listening"
done
echo "4 tables, each the table of its seed, all distinct; an unwritable table fails the job;" \
  "one table in 7 parts joined is the plain run's, and a part that cannot be written fails it"
