#!/usr/bin/env Rscript
# Reads a table written by gaussian_noise into a RUNS x SAMPLES matrix and
# prints its shape, mean and variance.
#
# A text table (any name but the two below): every row ends with a comma, so
# each reader drops the empty last column that the comma opens. A .npy table
# (--format=npy) carries its shape in its header; a .f32 table (--format=f32)
# holds the samples alone, so it needs the number of samples per run. Both
# hold little-endian single-precision values, row after row, which readBin
# reads into doubles exactly.
#
# Usage: Rscript read_table.R TABLE [base|data.table]   (base by default)
#        Rscript read_table.R TABLE.npy
#        Rscript read_table.R TABLE.f32 SAMPLES

read_with_base <- function(path) {
  table <- read.csv(path, header = FALSE)
  as.matrix(table[-ncol(table)])
}

read_with_data_table <- function(path) {
  table <- data.table::fread(path, header = FALSE)
  as.matrix(table[, -ncol(table), with = FALSE])
}

# A rows x columns matrix of little-endian singles, row after row, from an
# open connection.
read_singles <- function(connection, rows, columns) {
  values <- readBin(connection, "double", n = rows * columns, size = 4, endian = "little")
  matrix(values, nrow = rows, ncol = columns, byrow = TRUE)
}

read_f32 <- function(path, columns) {
  connection <- file(path, "rb")
  on.exit(close(connection))
  read_singles(connection, file.size(path) %/% 4 %/% columns, columns)
}

# The .npy header: magic string, version 1.0, a two-byte length, then a
# dictionary whose 'shape' entry gives the rows and columns.
read_npy <- function(path) {
  connection <- file(path, "rb")
  on.exit(close(connection))
  readBin(connection, "raw", n = 8)
  length <- readBin(connection, "integer", n = 1, size = 2, signed = FALSE, endian = "little")
  header <- rawToChar(readBin(connection, "raw", n = length))
  dimensions <- sub(".*'shape': \\(([^)]*)\\).*", "\\1", header)
  shape <- as.integer(regmatches(dimensions, gregexpr("[0-9]+", dimensions))[[1]])
  read_singles(connection, shape[1], shape[2])
}

readers <- list(base = read_with_base, data.table = read_with_data_table)
usage <- "usage: read_table.R TABLE [base|data.table] | TABLE.npy | TABLE.f32 SAMPLES"

arguments <- commandArgs(trailingOnly = TRUE)
path <- if (length(arguments) >= 1) arguments[1] else ""
if (endsWith(path, ".npy") && length(arguments) == 1) {
  samples <- read_npy(path)
} else if (endsWith(path, ".f32") && length(arguments) == 2 && grepl("^[0-9]+$", arguments[2]) &&
           as.integer(arguments[2]) > 0) {
  samples <- read_f32(path, as.integer(arguments[2]))
} else {
  reader <- if (length(arguments) == 2) arguments[2] else "base"
  if (!(length(arguments) %in% 1:2) || endsWith(path, ".npy") || endsWith(path, ".f32") ||
      !(reader %in% names(readers))) {
    message(usage)
    quit(status = 1)
  }
  samples <- readers[[reader]](path)
}
cat(sprintf("rows %d columns %d mean %.10g variance %.10g\n",
            nrow(samples), ncol(samples), mean(samples), var(as.vector(samples))))
