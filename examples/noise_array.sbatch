#!/bin/sh
# A Slurm array job: each task writes one table of Gaussian noise,
# noise_SEED.csv, in the directory the job was submitted from.
#
#   sbatch --array=0-99 noise_array.sbatch [BASE_SEED [MEAN VARIANCE RUNS SAMPLES]]
#
# Seeds: every task must have its own, or two tasks write the same table.
# Here a task's seed is BASE_SEED plus its array index, so tasks 0 to 99 of
# base 20261208 use seeds 20261208 to 20261307; give the next job a base
# past the last seed of this one. Any table can be made again alone with
# gaussian_noise --seed=SEED and the same four values.
#
# gaussian_noise must be on the PATH the job is submitted with (sbatch
# passes the submitting environment on). The task exits with the tool's
# status, so a table that cannot be written fails its task, and
# `sbatch --wait` then exits non-zero.
#
# Each task draws its table with as many threads as the CPUs it is given
# (--cpus-per-task, passed on to --threads); the table is the same for any
# number of threads, so change the CPUs to fit the cluster, not the seeds.
#SBATCH --job-name=gaussian_noise
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=2
set -eu

case $# in
  0 | 1 | 5) ;;
  *)
    echo "usage: sbatch --array=0-99 noise_array.sbatch [BASE_SEED [MEAN VARIANCE RUNS SAMPLES]]" >&2
    exit 2
    ;;
esac
base=${1:-20261208}
mean=${2:-0}
variance=${3:-1}
runs=${4:-10000}
samples=${5:-10000}
: "${SLURM_ARRAY_TASK_ID:?is not set: submit with sbatch --array=...}"

seed=$((base + SLURM_ARRAY_TASK_ID))
exec gaussian_noise --quiet \
  --threads="${SLURM_CPUS_PER_TASK:-1}" \
  --seed="$seed" \
  --output="${SLURM_SUBMIT_DIR:-.}/noise_$seed.csv" \
  -- "$mean" "$variance" "$runs" "$samples"
