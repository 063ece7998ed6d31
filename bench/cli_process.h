// Running tollamer-cli from a benchmark: the real command, its standard
// output into a file (or /dev/null), its own peak memory from wait4, and
// timing cat as the baseline, and emptying the page cache between cold runs.
#pragma once

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tollamer::bench {

struct CliRun {
  double seconds = -1;  // below 0: the command failed
  double peakMiB = 0;
};

// The command's standard error goes to `stderr_path`.
inline CliRun RunCliProcess(const std::string& cli, const std::vector<std::string>& args,
                            const std::string& stdout_path,
                            const std::string& stderr_path = "/dev/null") {
  CliRun run;
  std::fflush(stdout);
  // The child's peak counts the pages it shares with this process until its
  // exec: the memory a generator freed goes back to the system first.
  malloc_trim(0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(stdout_path.c_str(), "w", stdout)) _exit(127);
    if (!std::freopen(stderr_path.c_str(), "w", stderr)) _exit(127);
    std::vector<std::string> copy = args;
    std::string program = cli;
    std::vector<char*> argv{program.data()};
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakMiB = usage.ru_maxrss / 1024.0;
  return run;
}

// The time of `cat FILE > /dev/null`, the baseline of every ratio; below 0
// when cat failed.
inline double CatSeconds(const std::string& path) {
  std::string command = "cat '" + path + "' > /dev/null";
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Empties the whole page cache (root only); false when that is not allowed.
inline bool DropPageCache() {
  if (std::system("sync") != 0) return false;
  std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (!f) return false;
  bool ok = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

}  // namespace tollamer::bench
