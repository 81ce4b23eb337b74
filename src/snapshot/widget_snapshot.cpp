#include "snapshot/widget_snapshot.hpp"

#include "snapshot/snapshot_file.hpp"

namespace halyard {

WidgetSnapshot WidgetSnapshot::placeholder() {
  // A function-local static is initialised exactly once, and concurrent first callers wait
  // for that initialisation to finish.
  static const WidgetSnapshot value = [] {
    WidgetSnapshot empty;
    empty.generatedAt = now();
    return empty;
  }();
  return value;
}

std::string WidgetSnapshot::fileURL() {
  // The account's home is looked up once per process: it does not change while the process
  // runs, and a process confined to the snapshot file can no longer read the user database.
  static const std::optional<std::string> home = userDatabaseHome();
  return snapshotFilePath([] { return home; });
}

std::string_view rawValue(WidgetSnapshot::Health health) {
  switch (health) {
    case WidgetSnapshot::Health::ok:
      return "ok";
    case WidgetSnapshot::Health::running:
      return "running";
    case WidgetSnapshot::Health::error:
      return "error";
  }
  return "ok";
}

std::optional<WidgetSnapshot::Health> healthFromRawValue(std::string_view raw) {
  for (auto health : {WidgetSnapshot::Health::ok, WidgetSnapshot::Health::running,
                      WidgetSnapshot::Health::error}) {
    if (rawValue(health) == raw) return health;
  }
  return std::nullopt;
}

}  // namespace halyard
