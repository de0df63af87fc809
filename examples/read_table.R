#!/usr/bin/env Rscript
# Reads a table written by gaussian_noise into a RUNS x SAMPLES matrix and
# prints its shape, mean and variance. Every row of the table ends with a
# comma, so each reader drops the empty last column that the comma opens.
#
# Usage: Rscript read_table.R TABLE [base|data.table]   (base by default)

read_with_base <- function(path) {
  table <- read.csv(path, header = FALSE)
  as.matrix(table[-ncol(table)])
}

read_with_data_table <- function(path) {
  table <- data.table::fread(path, header = FALSE)
  as.matrix(table[, -ncol(table), with = FALSE])
}

readers <- list(base = read_with_base, data.table = read_with_data_table)

arguments <- commandArgs(trailingOnly = TRUE)
reader <- if (length(arguments) == 2) arguments[2] else "base"
if (!(length(arguments) %in% 1:2) || !(reader %in% names(readers))) {
  message("usage: read_table.R TABLE [base|data.table]")
  quit(status = 1)
}
samples <- readers[[reader]](arguments[1])
cat(sprintf("rows %d columns %d mean %.10g variance %.10g\n",
            nrow(samples), ncol(samples), mean(samples), var(as.vector(samples))))
