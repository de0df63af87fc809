#!/bin/sh
# One table of Gaussian noise written by many Slurm tasks at once, then
# joined: the same bytes as one plain run with the same seed and values.
#
#   one_table.sh SEED PARTS MEAN VARIANCE RUNS SAMPLES [TABLE]
#
# Three jobs, each starting when the one before succeeded:
#   1. one task lists the pairs of draws the table throws away (a scan of
#      the whole sequence, about a fiftieth of the time it takes to write),
#   2. an array of PARTS tasks, task K writing part K of the table
#      (--part=K/PARTS) and reading that list rather than scanning for
#      itself, so that no task's work grows with the parts before it,
#   3. one task joins the parts in order into TABLE (default
#      noise_SEED.csv) and removes them.
# The script waits for the last job and exits with its status: 0 only when
# the table is whole. A task that fails leaves its part out, the join then
# fails and says which part is missing, and the task's message is in its
# slurm-*.out file in TABLE.parts/.
#
# gaussian_noise must be on the PATH the jobs are submitted with (sbatch
# passes the submitting environment on). Each task draws with as many
# threads as CPUs it is given (CPUS, default 2): the table is the same for
# any number of threads and of parts.
set -eu

if [ $# -ne 6 ] && [ $# -ne 7 ]; then
  echo "usage: one_table.sh SEED PARTS MEAN VARIANCE RUNS SAMPLES [TABLE]" >&2
  exit 2
fi
seed=$1 parts=$2 mean=$3 variance=$4 runs=$5 samples=$6
table=$(realpath -m "${7:-noise_$seed.csv}")
work=$table.parts
cpus=${CPUS:-2}
mkdir -p "$work"
values="-- $mean $variance $runs $samples"

list=$(sbatch --parsable --job-name=thrown_pairs --cpus-per-task="$cpus" --output="$work/slurm-%j.out" \
  --wrap="exec gaussian_noise --threads=$cpus --seed=$seed --list-thrown-pairs --output='$work/thrown_pairs' $values")

# A task writes its part aside and names it part_K only once it is whole.
array=$(sbatch --parsable --job-name=parts --array=1-"$parts" --cpus-per-task="$cpus" \
  --dependency=afterok:"$list" --kill-on-invalid-dep=yes --output="$work/slurm-%A_%a.out" \
  --wrap="part=\"$work/part_\$SLURM_ARRAY_TASK_ID\"
    gaussian_noise --quiet --threads=$cpus --seed=$seed --part=\$SLURM_ARRAY_TASK_ID/$parts \
      --thrown-pairs='$work/thrown_pairs' --output=\"\$part.writing\" $values && mv \"\$part.writing\" \"\$part\"")

# The join runs whatever became of the tasks, and fails unless every part
# is whole; the table is written aside first, so that a join that fails
# leaves no table that looks whole.
exec sbatch --wait --quiet --job-name=join --dependency=afterany:"$array" --output="$table.join.out" \
  --wrap="set -e; k=1
    while [ \$k -le $parts ]; do
      [ -f '$work/part_'\$k ] || { echo \"part \$k of $parts is missing: see $work/slurm-*.out\" >&2; exit 1; }
      k=\$((k + 1))
    done
    k=1; while [ \$k -le $parts ]; do cat '$work/part_'\$k; k=\$((k + 1)); done >'$table.joining'
    mv '$table.joining' '$table'; rm -r '$work'"
