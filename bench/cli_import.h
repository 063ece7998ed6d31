// One `tollamer-cli import` of a benchmark's file: its time and peak
// memory, checked against the rows the file holds (a run that reports
// another count, or fails, gives a negative time and says why).
// TOLLAMER_BENCH_CLI names another tollamer-cli to measure (an older build).
#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/cli_process.h"

namespace tollamer::bench {

inline CliRun RunImport(const std::string& what, const std::vector<std::string>& args,
                            const std::string& log, uint64_t rows) {
  const char* cli = std::getenv("TOLLAMER_BENCH_CLI");
  CliRun run = RunCliProcess(cli ? cli : TOLLAMER_CLI_PATH, args, log, log + ".err");
  std::ifstream in(log);
  std::string report, line;
  while (std::getline(in, line)) report += line + " ";
  std::ifstream err(log + ".err");
  while (std::getline(err, line)) report += line + " ";
  // "1 table, 12 rows imported, 0 failed"
  const size_t at = report.find(" rows imported");
  size_t start = at == std::string::npos ? 0 : at;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(report[start - 1]))) --start;
  const uint64_t got = at == std::string::npos ? 0 : std::strtoull(report.c_str() + start, nullptr, 10);
  if (run.seconds < 0 || got != rows) {
    std::printf("  %-34s FAILED (%llu rows of %llu): %s\n", what.c_str(),
                static_cast<unsigned long long>(got), static_cast<unsigned long long>(rows),
                report.c_str());
    run.seconds = -1;
  }
  return run;
}

}  // namespace tollamer::bench
