#!/usr/bin/env bash
# slurm_check.sh PICTORUM_BATCH README.md: the README's array recipe on a one-node cluster of
# this machine (munged, slurmctld, slurmd as root; exit 77 otherwise) must write, over a list
# with a damaged picture, exactly the files of one --number-by position run; and so must three
# of its tasks resubmitted after their files were removed.
set -euo pipefail
program=$(realpath "$1") readme=$(realpath "$2")
[ "$(id -u)" -eq 0 ] || { echo "needs root to start the cluster's daemons"; exit 77; }
tmp=$(mktemp -d /tmp/pictorum-slurm.XXXXXX)
trap 'kill "${pids[@]}" 2>/dev/null || true; wait; rm -rf "$tmp"' EXIT
chmod 755 "$tmp" # munged wants its socket's folder open to all
mkdir "$tmp/state" "$tmp/spool" "$tmp/work"
port=$((20000 + $$ % 20000 * 2))
head -c 1024 /dev/urandom >"$tmp/munge.key" && chmod 400 "$tmp/munge.key"
munged -F --key-file="$tmp/munge.key" --socket="$tmp/munge.socket" --pid-file="$tmp/munged.pid" \
    --log-file="$tmp/munged.log" --seed-file="$tmp/munged.seed" 2>>"$tmp/munged.log" & pids+=($!)
# The node claims 8 CPUs (config_overrides) so that the recipe's 4 per task fit on 2 cores.
printf '%s\n' >"$tmp/slurm.conf" \
    ClusterName=pictorum "SlurmctldHost=localhost(127.0.0.1)" SlurmctldPort=$port SlurmdPort=$((port + 1)) \
    SlurmUser=root AuthType=auth/munge AuthInfo=socket=$tmp/munge.socket ReturnToService=2 \
    ProctrackType=proctrack/linuxproc TaskPlugin=task/none SelectType=select/cons_tres \
    StateSaveLocation=$tmp/state SlurmdSpoolDir=$tmp/spool SlurmdParameters=config_overrides \
    SlurmctldPidFile=$tmp/slurmctld.pid SlurmdPidFile=$tmp/slurmd.pid
echo "NodeName=localhost NodeAddr=127.0.0.1 CPUs=8 RealMemory=500 State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=10 State=UP" >>"$tmp/slurm.conf"
export SLURM_CONF=$tmp/slurm.conf
sleep 1
slurmctld -D -i 2>>"$tmp/slurmctld.log" & pids+=($!)
slurmd -D -N localhost 2>>"$tmp/slurmd.log" & pids+=($!)
# A minute at most, whatever sinfo waits for a controller that does not answer; a slurmd that
# has already died (no cgroup file system, say) ends the wait at once.
deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ] && kill -0 "${pids[2]}" 2>/dev/null; do
    [ "$(timeout 5 sinfo -h -o %T 2>/dev/null)" = idle ] && break || sleep 1
done
timeout 5 sinfo -h -o %T | grep -qx idle || { echo "no idle node"; tail -n 20 "$tmp"/*.log; exit 1; }

cd "$tmp/work"
convert -size 16x16 xc:red logo.png
for i in $(seq 0 19); do
    convert -size $((40 + 7 * i))x30 "xc:rgb($((12 * i)),90,200)" "p$i.png"
    echo "p$i.png" >>list.txt
    [ "$i" -eq 6 ] && echo "not a picture" >bad.png && echo bad.png >>list.txt
done
# The recipe as the README gives it, writing into this run's folder.
awk '/^#!\/bin\/sh$/ {on = 1} on && /^```/ {exit} on' "$readme" | sed "s|/shared/out|$PWD/out|" >stamp.sh
status=0
PATH=$(dirname "$program"):$PATH timeout 300 sbatch --wait --output="$PWD/task-%a.log" stamp.sh || status=$?
"$program" --number-by position --format jpeg --overlay logo.png --output one --mkdir - \
    <list.txt >/dev/null || true
# The shard that holds the damaged picture fails, so the array's status is 1.
[ "$status" -eq 1 ] || { echo "sbatch --wait gave $status, not 1"; cat task-*.log; exit 1; }
[ "$(ls one | wc -l)" -eq 20 ] || { echo "one run wrote $(ls one | wc -l) files, not 20"; exit 1; }
diff -r one out && echo "the shards wrote what one run writes"
# Tasks 0, 2 and 5 resubmitted after their outputs went: they redo exactly their shards.
for f in out/*; do
    case $((10#$(basename "$f" .JPG) % 8)) in 0 | 2 | 5) rm "$f" ;; esac
done
[ "$(ls out | wc -l)" -lt 20 ] || { echo "no outputs of tasks 0, 2 and 5 to remove"; exit 1; }
status=0
PATH=$(dirname "$program"):$PATH timeout 300 sbatch --wait --array=0,2,5 \
    --output="$PWD/again-%a.log" stamp.sh || status=$?
[ "$status" -eq 0 ] || { echo "the resubmission gave $status, not 0"; cat again-*.log; exit 1; }
diff -r one out && echo "the resubmitted tasks wrote what one run writes"
