// Peak memory of loading and decoding one snapshot file, above the process's baseline.
// Usage: decode_memory FILE            (measures FILE)
//        decode_memory --generate N FILE (writes a document with N repositories, then exits)
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_support.hpp"
#include "snapshot/snapshot_file.hpp"

namespace {

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
    halyard::bench::writeWhole(argv[3], halyard::bench::generatedDocument(std::atoi(argv[2])));
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_memory FILE | decode_memory --generate N FILE\n");
    return 2;
  }
  const long before = peakKiB();
  const auto snapshot = halyard::loadSnapshot(argv[1]);
  const long after = peakKiB();
  if (!snapshot) {
    std::fprintf(stderr, "decode_memory: %s did not decode\n", argv[1]);
    return 1;
  }
  std::printf("repositories %zu, baseline %ld KiB, peak %ld KiB, above baseline %ld KiB\n",
              snapshot->topRepos.size(), before, after, after - before);
  return 0;
}
