// What one request answered by an extension process costs the host: fork (or start) the
// process, let it confine itself, read and decode the snapshot, write its answer, and read
// that answer back into a timeline. The program runs in a private mount namespace whose home
// folder holds the example snapshot, so that the extension reads a real file.
#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "bench_support.hpp"
#include "platform/host/extension.hpp"
#include "snapshot/snapshot_file.hpp"
#include "widget/halyard_widget_bundle.hpp"

namespace {

using namespace halyard;

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

// Mounts a fresh folder with the example snapshot over this account's home, in a mount
// namespace of this process only.
bool privateHomeWithExample() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWNS | (uid != 0 ? CLONE_NEWUSER : 0)) != 0) return false;
  if (uid != 0 && !(writeText("/proc/self/setgroups", "deny") &&
                    writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
                    writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))) {
    return false;
  }
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  const auto home = userDatabaseHome();
  if (!home) return false;
  static const std::string folder = [] {
    char name[] = "/tmp/halyard-bench-XXXXXX";
    return std::string(::mkdtemp(name) != nullptr ? name : "");
  }();
  if (folder.empty()) return false;
  const std::filesystem::path data =
      std::filesystem::path(folder) / "Library/Application Support/Halyard";
  std::filesystem::create_directories(data);
  std::filesystem::copy_file(std::string(HALYARD_SOURCE_DIR) + "/examples/full.json",
                             data / "widget-snapshot.json",
                             std::filesystem::copy_options::overwrite_existing);
  return ::mount(folder.c_str(), home->c_str(), nullptr, MS_BIND, nullptr) == 0;
}

const host::WidgetDescriptor& isolatedWidget() {
  static const host::WidgetDescriptor widget =
      host::isolatedDescriptor(HalyardWidgetBundle().body().front(), HALYARD_WIDGET_BINARY);
  return widget;
}

double childrenCpuMicroseconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Wall time, and CPU time in the host and (as a counter) in the extension processes: on a busy
// machine the CPU times are what can be compared.
void request(benchmark::State& state) {
  const host::TimelineProviderContext context{host::WidgetFamily::systemLarge, false,
                                              host::familySize(host::WidgetFamily::systemLarge)};
  const double childrenBefore = childrenCpuMicroseconds();
  for (auto _ : state) {
    auto timeline = isolatedWidget().timeline(context);
    if (!timeline || timeline->entries.empty()) state.SkipWithError("no timeline");
    const auto json = timeline->entries.front().json();
    if (json["snapshot"].value("archiveCount", 0) != 128)
      state.SkipWithError("not the file's data");
    benchmark::DoNotOptimize(timeline);
  }
  state.counters["extension_cpu_us"] = benchmark::Counter(
      childrenCpuMicroseconds() - childrenBefore, benchmark::Counter::kAvgIterations);
}

// While the host runs one thread: a fork of it.
void BM_ExtensionForked(benchmark::State& state) {
  request(state);
}
BENCHMARK(BM_ExtensionForked)->Unit(benchmark::kMicrosecond);

// While it runs more (the run loop): the program started afresh in extension mode.
void BM_ExtensionStarted(benchmark::State& state) {
  std::promise<void> stop;
  std::thread other([done = stop.get_future()] { done.wait(); });
  request(state);
  stop.set_value();
  other.join();
}
BENCHMARK(BM_ExtensionStarted)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (!privateHomeWithExample()) {
    std::fprintf(stderr, "extension_bench: no private mount namespace here\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
