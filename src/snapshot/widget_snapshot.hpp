#pragma once
// The one piece of data the widget shows: a summary of the backup application's state.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date/date.hpp"

namespace halyard {

struct WidgetSnapshot {
  struct NextBackup {
    std::string repoName;
    std::string scheduleName;
    Date fireDate;

    bool operator==(const NextBackup&) const = default;
  };

  enum class Health { ok, running, error };

  struct RepoUsage {
    std::string name;
    std::string providerKey;
    std::int64_t bytes = 0;

    // providerKey, "::", name: the same name at two providers gives two ids.
    std::string id() const { return providerKey + "::" + name; }
    bool operator==(const RepoUsage&) const = default;
  };

  struct ProviderUsage {
    std::string providerKey;
    std::string label;
    std::int64_t bytes = 0;

    const std::string& id() const { return providerKey; }
    bool operator==(const ProviderUsage&) const = default;
  };

  Date generatedAt;
  std::int64_t repoCount = 0;
  std::int64_t archiveCount = 0;
  std::int64_t totalUsageBytes = 0;
  std::vector<ProviderUsage> byProvider;
  std::vector<RepoUsage> topRepos;
  std::optional<NextBackup> nextBackup;
  Health health = Health::ok;

  bool operator==(const WidgetSnapshot&) const = default;

  // The empty snapshot shown when there is no data: zero counts, empty lists, no next
  // backup, health ok, generatedAt the time of first use. Created once per process on first
  // use (safe under concurrent first use); every call hands out a copy of that one value.
  static WidgetSnapshot placeholder();

  // Where the backup application writes the snapshot: the home directory from the user
  // database (else $HOME), then "Library/Application Support/Halyard/widget-snapshot.json".
  // The user database is asked once per process, on the first call, and its answer kept: the
  // account's home does not change while the process runs, and a process confined to the
  // snapshot file can no longer read the database. $HOME is read on each call, and only when
  // the database gave no home.
  static std::string fileURL();
};

// The raw text of a health case: "ok", "running" or "error".
std::string_view rawValue(WidgetSnapshot::Health health);
// The case whose raw text is exactly `raw`; nothing for any other text.
std::optional<WidgetSnapshot::Health> healthFromRawValue(std::string_view raw);

}  // namespace halyard

template <>
struct std::hash<halyard::WidgetSnapshot::Health> {
  std::size_t operator()(halyard::WidgetSnapshot::Health health) const noexcept {
    return std::hash<std::string_view>{}(halyard::rawValue(health));
  }
};
