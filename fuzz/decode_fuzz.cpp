// Decoding any bytes either refuses them with a reason or yields a snapshot that encodes and
// decodes back to itself (dates to the whole second, as the encoder writes them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "snapshot/snapshot_json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  halyard::DecodeResult result = halyard::decodeSnapshot(document);
  if (!result) {
    if (result.error().message().empty()) std::abort();
    return 0;
  }
  halyard::WidgetSnapshot snapshot = std::move(result).snapshot();
  snapshot.generatedAt = std::chrono::floor<std::chrono::seconds>(snapshot.generatedAt);
  if (snapshot.nextBackup) {
    snapshot.nextBackup->fireDate =
        std::chrono::floor<std::chrono::seconds>(snapshot.nextBackup->fireDate);
  }
  const halyard::DecodeResult again = halyard::decodeSnapshot(halyard::encodeSnapshotText(snapshot));
  if (!again || !(again.snapshot() == snapshot)) std::abort();
  return 0;
}
