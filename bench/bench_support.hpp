#pragma once
// Generated inputs for benchmarks.

#include <fstream>
#include <string>

#include "snapshot/snapshot_json.hpp"

namespace halyard::bench {

// A snapshot document with `repositories` entries in topRepos and five providers.
inline WidgetSnapshot generatedSnapshot(int repositories) {
  WidgetSnapshot s;
  s.generatedAt = *parseRfc3339("2026-03-14T09:30:00Z");
  s.repoCount = repositories;
  s.archiveCount = repositories * 40LL;
  const char* keys[] = {"local", "tarnBase", "tarnBox", "s3", "nas"};
  for (int i = 0; i < 5; ++i) {
    s.byProvider.push_back({keys[i], std::string("Proveedor ") + keys[i], (5 - i) * (1LL << 36)});
  }
  s.topRepos.reserve(static_cast<std::size_t>(repositories));
  for (int i = 0; i < repositories; ++i) {
    s.topRepos.push_back({"repositorio-" + std::to_string(i), keys[i % 5],
                          static_cast<std::int64_t>(repositories - i) * 1048576});
    s.totalUsageBytes += s.topRepos.back().bytes;
  }
  s.nextBackup = WidgetSnapshot::NextBackup{"repositorio-0", "Diario", s.generatedAt};
  return s;
}

inline std::string generatedDocument(int repositories) {
  return encodeSnapshotText(generatedSnapshot(repositories));
}

inline void writeWhole(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace halyard::bench
