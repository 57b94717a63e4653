#!/usr/bin/env bash
# The README's Slurm array recipe on a one-node cluster started here (munged, slurmctld and
# slurmd as root, each on a private socket or port): the union of its shards must equal one
# --number-by position run, file for file and byte for byte, a damaged picture included.
# Usage: slurm_check.sh PICTORUM_BATCH README.md. Exit 77 (skipped) when not root.
set -euo pipefail
program=$(realpath "$1")
readme=$(realpath "$2")
[ "$(id -u)" -eq 0 ] || { echo "needs root to start the cluster's daemons"; exit 77; }
tmp=$(mktemp -d /tmp/pictorum-slurm.XXXXXX)
pids=()
stop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap stop EXIT
# munged wants its socket's folder open to all.
chmod 755 "$tmp"
mkdir -p "$tmp/state" "$tmp/spool" "$tmp/work"
port=$((20000 + $$ % 20000 * 2))
dd if=/dev/urandom of="$tmp/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge.key"
munged -F --key-file="$tmp/munge.key" --socket="$tmp/munge.socket" --pid-file="$tmp/munged.pid" \
    --log-file="$tmp/munged.log" --seed-file="$tmp/munged.seed" 2>>"$tmp/munged.log" &
pids+=($!)
cat >"$tmp/slurm.conf" <<CONF
ClusterName=pictorum
SlurmctldHost=localhost
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
MpiDefault=none
MailProg=/bin/true
AuthType=auth/munge
AuthInfo=socket=$tmp/munge.socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
JobAcctGatherType=jobacct_gather/none
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=localhost NodeAddr=127.0.0.1 CPUs=8 RealMemory=500 State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=10 State=UP
CONF
export SLURM_CONF=$tmp/slurm.conf
sleep 1
slurmctld -D -i 2>>"$tmp/slurmctld.log" &
pids+=($!)
slurmd -D -N localhost 2>>"$tmp/slurmd.log" &
pids+=($!)
for _ in $(seq 60); do
    [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && break
    sleep 1
done
sinfo -h -o %T | grep -qx idle || { echo "the node never became idle"; tail -n 20 "$tmp"/*.log; exit 1; }

# Twenty pictures of different sizes and colours, and a damaged one among them.
cd "$tmp/work"
convert -size 16x16 xc:red logo.png
for i in $(seq 0 19); do
    convert -size $((40 + 7 * i))x30 "xc:rgb($((12 * i)),90,200)" "p$i.png"
    echo "p$i.png" >>list.txt
    [ "$i" -eq 6 ] && { echo "not a picture" >bad.png; echo bad.png >>list.txt; }
done
# The recipe as the README gives it, writing into this run's folder.
awk '/^#!\/bin\/sh$/ {on = 1} on && /^```/ {exit} on' "$readme" | sed "s|/shared/out|$tmp/work/out|" >stamp.sh
grep -q -- '--array=' stamp.sh || { echo "no array recipe found in the README"; exit 1; }
status=0
PATH=$(dirname "$program"):$PATH sbatch --wait --output="$tmp/work/task-%a.log" stamp.sh || status=$?
"$program" --number-by position --overlay logo.png --output one --mkdir - <list.txt >/dev/null || true
# The shard that holds the damaged picture fails, so the array's status is 1.
[ "$status" -eq 1 ] || { echo "sbatch --wait gave $status, not 1"; cat task-*.log; exit 1; }
[ "$(ls one | wc -l)" -eq 20 ] || { echo "the reference run wrote $(ls one | wc -l) files"; exit 1; }
diff -r one out && echo "the shards wrote what one run writes"
