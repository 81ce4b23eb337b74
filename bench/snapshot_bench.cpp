// Reading and decoding the snapshot, and the provider's answer end to end.
#include <benchmark/benchmark.h>

#include <simdjson.h>
#include <unistd.h>

#include "bench_support.hpp"
#include "snapshot/snapshot_file.hpp"
#include "timeline/halyard_widget_provider.hpp"

namespace {

using namespace halyard;

const std::string kTypical = std::string(HALYARD_SOURCE_DIR) + "/examples/full.json";

void BM_LoadTypical(benchmark::State& state) {
  for (auto _ : state) {
    auto snapshot = loadSnapshot(kTypical);
    if (!snapshot) state.SkipWithError("example did not decode");
    benchmark::DoNotOptimize(snapshot);
  }
}
BENCHMARK(BM_LoadTypical);

void BM_DecodeRepositories(benchmark::State& state) {
  const std::string document = bench::generatedDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto result = decodeSnapshot(document);
    if (!result) state.SkipWithError("generated document did not decode");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
  state.counters["file_bytes"] = static_cast<double>(document.size());
}
BENCHMARK(BM_DecodeRepositories)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// simdjson alone, with a fresh parser and document per call as decodeSnapshot uses: what the
// decoder costs before our own mapping.
void BM_ParseOnlyRepositories(benchmark::State& state) {
  const simdjson::padded_string document(bench::generatedDocument(100000));
  for (auto _ : state) {
    simdjson::dom::document doc;
    simdjson::dom::element root;
    simdjson::dom::parser parser;
    if (parser.allocate(document.size(), 1 << 16) != simdjson::SUCCESS ||
        parser.parse_into_document(doc, document.data(), document.size(), false).get(root)) {
      state.SkipWithError("parse failed");
    }
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
}
BENCHMARK(BM_ParseOnlyRepositories)->Unit(benchmark::kMillisecond);

void BM_LoadRepositoriesFromFile(benchmark::State& state) {
  const std::string path = "/tmp/halyard-bench-" + std::to_string(::getpid()) + ".json";
  const std::string document = bench::generatedDocument(100000);
  bench::writeWhole(path, document);
  for (auto _ : state) {
    auto snapshot = loadSnapshot(path);
    if (!snapshot) state.SkipWithError("generated file did not load");
    benchmark::DoNotOptimize(snapshot);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
  ::unlink(path.c_str());
}
BENCHMARK(BM_LoadRepositoriesFromFile)->Unit(benchmark::kMillisecond);

void BM_GetTimeline(benchmark::State& state) {
  ProviderSeams seams = ProviderSeams::system();
  seams.loadSnapshot = [] { return loadSnapshot(kTypical); };
  for (auto _ : state) {
    auto timeline = makeTimeline(seams);
    benchmark::DoNotOptimize(timeline);
  }
}
BENCHMARK(BM_GetTimeline);

}  // namespace

BENCHMARK_MAIN();
