#!/usr/bin/env bash
# A batch on a real Slurm: starts a single-node cluster on this machine
# (munged, slurmctld and slurmd with a minimal configuration, state under a
# temporary folder), submits a 12-run batch of the shortened ditch as a job
# array with `pykorvan batch run --slurm`, waits for it with a time limit,
# collects the results and checks them against the same batch run locally.
# Runs as root; installs slurm-wlm and munge from Debian when missing. Stops
# the daemons it started on every exit.
#
#   tests/cluster/run.sh [path/to/korvan]      (default: build/korvan)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
korvan=$(realpath "${1:-build/korvan}")
python=${PYTHON:-python3}
[ -x /usr/bin/python3 ] && python=${PYTHON:-/usr/bin/python3}
limit=${KORVAN_CLUSTER_TIMEOUT:-600}

fail() { echo "cluster test: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || fail "must run as root (it starts the Slurm and munge daemons)"
[ -x "$korvan" ] || fail "no program $korvan"

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null ||
  ! command -v sbatch >/dev/null || ! command -v munged >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq slurm-wlm munge >/dev/null
fi

work=$(mktemp -d /tmp/korvan-cluster.XXXXXX)
chmod 755 "$work"
pids=()
stop() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ $status -ne 0 ]; then
    for log in "$work"/*.log; do
      [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; } >&2
    done
    echo "cluster test: files kept in $work" >&2
  else
    rm -rf "$work"
  fi
  exit $status
}
trap stop EXIT INT TERM

# munge: a key of its own and a socket in the temporary folder.
mkdir -m 711 "$work/munge"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"
munged --foreground --force --key-file="$work/munge/munge.key" \
  --socket="$work/munge/munge.socket" --pid-file="$work/munge/munged.pid" \
  --seed-file="$work/munge/munged.seed" --log-file="$work/munged.log" >>"$work/munged.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$work/munge/munge.socket" ] && break; sleep 0.1; done
[ -S "$work/munge/munge.socket" ] || fail "munged did not start"

# Ports of their own, so that another Slurm on the machine is not disturbed.
port=$((20000 + RANDOM % 20000))
memory=$(awk '/MemTotal/ {print int($2 / 1024 / 2)}' /proc/meminfo)
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<EOF
ClusterName=korvantest
SlurmctldHost=localhost
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
SlurmdTimeout=60
NodeName=localhost CPUs=2 RealMemory=$memory State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$work/slurm.conf
slurmctld -D -i -f "$SLURM_CONF" >>"$work/slurmctld.log" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N localhost >>"$work/slurmd.log" 2>&1 &
pids+=($!)
for _ in $(seq 60); do
  sinfo -h -o %T 2>/dev/null | grep -qx idle && break
  sleep 1
done
sinfo -h -o %T | grep -qx idle || fail "the node did not become idle: $(sinfo -h 2>&1)"

# The batch: 12 runs of the ditch cut to 20 days, DT50 and Kom varied.
mkdir "$work/batch"
cat >"$work/batch/batch.toml" <<EOF
korvan = "$korvan"
output = "slurm-runs"
[[base]]
folder = "$root/examples/ditch"
[base.set]
TimStart = "01-May-1980"
TimEnd = "20-May-1980"
[[variation]]
kind = "grid"
DT50WatRef_CMP = [3, 10, 30]
KomSed_CMP = [50, 200]
[[variation]]
kind = "list"
"Loadings[1,2]" = [1.0, 12.5]
EOF
sed 's/slurm-runs/local-runs/' "$work/batch/batch.toml" >"$work/batch/local.toml"

pykorvan() { PYTHONPATH="$root/python" "$python" -m pykorvan "$@"; }
job=$(pykorvan batch run "$work/batch/batch.toml" --slurm --partition debug \
  --time 00:10:00 --array-chunk 4)
[[ $job =~ ^[0-9]+$ ]] || fail "no job id from batch run --slurm: $job"
echo "cluster test: submitted job array $job"
pykorvan batch status "$work/batch/batch.toml" | tee "$work/status.txt"
grep -q "^job $job: " "$work/status.txt" || fail "batch status does not show job $job"

deadline=$((SECONDS + limit))
while squeue -h -j "$job" 2>/dev/null | grep -q .; do
  [ $SECONDS -lt $deadline ] || fail "job $job still queued after $limit s: $(squeue -j "$job")"
  sleep 2
done
pykorvan batch status "$work/batch/batch.toml" | tee "$work/status.txt"
grep -q "runs: 12 in all, 12 done, 0 failed, 0 running, 0 not started" "$work/status.txt" ||
  fail "not every run of the array ended with korvan.ok"
ls "$work/batch/slurm-runs/slurm"/task-"${job}"_*.txt >/dev/null ||
  fail "no console file of the array tasks"

pykorvan batch run "$work/batch/local.toml" --no-progress
pykorvan batch collect "$work/batch/batch.toml" >/dev/null
pykorvan batch collect "$work/batch/local.toml" >/dev/null
# The same rows but for the wall time and the host.
"$python" - "$work/batch/slurm-runs/results.csv" "$work/batch/local-runs/results.csv" <<'EOF'
import csv, sys
tables = []
for name in sys.argv[1:]:
    with open(name, newline="") as handle:
        tables.append([{k: v for k, v in row.items() if k != "wall_time [s]"}
                       for row in csv.DictReader(handle)])
slurm, local = tables
assert len(slurm) == 24, f"{len(slurm)} rows, expected 12 runs times 2 compounds"
assert slurm == local, "the cluster's results differ from the local ones"
assert all(row["status"] == "ok" for row in slurm)
print(f"cluster test: {len(slurm)} rows equal to the local batch")
EOF
echo "cluster test: passed"
