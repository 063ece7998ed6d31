// One line per measured operation, in a form bench/run.sh collects into the
// benchmark table:
//   RESULT|operation|MiB|seconds|ratio|against|peak MiB
// A ratio below 0 is printed as "-" (none).
#pragma once

#include <sys/resource.h>

#include <cstdio>

namespace tollamer::bench {

inline double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// `peak_mib`: the peak memory of the process that did the work (this one
// when not given).
inline void PrintResult(const char* operation, double mib, double seconds, double ratio,
                        const char* against, double peak_mib = -1) {
  if (peak_mib < 0) peak_mib = PeakResidentMiB();
  if (ratio < 0)
    std::printf("RESULT|%s|%.1f|%.4f|-|%s|%.1f\n", operation, mib, seconds, against, peak_mib);
  else
    std::printf("RESULT|%s|%.1f|%.4f|%.2f|%s|%.1f\n", operation, mib, seconds, ratio, against,
                peak_mib);
}

}  // namespace tollamer::bench
