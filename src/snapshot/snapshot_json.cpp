#include "snapshot/snapshot_json.hpp"

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "snapshot/huge_pages.hpp"

namespace halyard {

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

// Deep enough for any real document; deeper nesting (even inside ignored members) is refused
// rather than risking the parser's memory.
constexpr std::size_t kMaxDepth = 1 << 16;
constexpr std::size_t kQuotedLimit = 40;

std::string quoted(std::string_view text) {
  std::string shown(text.substr(0, kQuotedLimit));
  const bool cut = shown.size() < text.size();
  std::string out =
      nlohmann::json(shown).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (cut) out.insert(out.size() - 1, "…");
  return out;
}

// What a value is, for error messages: "the number 12.5", "the string \"12\"", "null", ...
std::string describe(element value) {
  switch (value.type()) {
    case element_type::ARRAY:
      return "an array";
    case element_type::OBJECT:
      return "an object";
    case element_type::INT64:
      return "the number " + std::to_string(int64_t(value));
    case element_type::UINT64:
      return "the number " + std::to_string(uint64_t(value));
    case element_type::DOUBLE:
      return "the number " + simdjson::minify(value);
    case element_type::STRING:
      return "the string " + quoted(std::string_view(value));
    case element_type::BOOL:
      return bool(value) ? "true" : "false";
    case element_type::NULL_VALUE:
      return "null";
  }
  return "an unknown value";
}

// Errors are built with the member's own name and get their parents' names prepended as
// they travel up, so that the successful path never builds a path string.
struct Failure {
  DecodeError error;
};

[[noreturn]] void fail(std::string member, std::string expected, std::string found) {
  throw Failure{DecodeError{std::move(member), std::move(expected), std::move(found)}};
}

void prefix(Failure& failure, std::string_view parent) {
  std::string& path = failure.error.path;
  if (path.empty() || path.front() == '[') {
    path.insert(0, parent);
  } else {
    path.insert(0, std::string(parent) + ".");
  }
}

element required(object obj, std::string_view name) {
  element value;
  if (obj.at_key(name).get(value) != simdjson::SUCCESS) {
    fail(std::string(name), "a member \"" + std::string(name) + "\"", "none");
  }
  return value;
}

std::string readText(object obj, std::string_view name) {
  const element value = required(obj, name);
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS) {
    fail(std::string(name), "a string", describe(value));
  }
  return std::string(text);
}

std::int64_t readInteger(object obj, std::string_view name) {
  const element value = required(obj, name);
  if (value.type() != element_type::INT64) {
    fail(std::string(name), "a signed 64-bit integer", describe(value));
  }
  return int64_t(value);
}

Date readDate(object obj, std::string_view name) {
  const element value = required(obj, name);
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS) {
    fail(std::string(name), "an RFC 3339 date-time string", describe(value));
  }
  const auto date = parseRfc3339(text);
  if (!date) {
    fail(std::string(name), "an RFC 3339 date-time with a zone, such as 2026-03-14T09:30:00Z",
         describe(value));
  }
  return *date;
}

object asObject(element value, std::string_view path) {
  object obj;
  if (value.get_object().get(obj) != simdjson::SUCCESS) {
    fail(std::string(path), "an object", describe(value));
  }
  return obj;
}

// Decodes every element of the array member `name` with `decodeOne`.
template <typename T, typename F>
std::vector<T> readArray(object obj, std::string_view name, F decodeOne) {
  const element value = required(obj, name);
  simdjson::dom::array array;
  if (value.get_array().get(array) != simdjson::SUCCESS) {
    fail(std::string(name), "an array", describe(value));
  }
  std::vector<T> out;
  out.reserve(array.size());
  detail::adviseHugePages(out.data(), out.capacity() * sizeof(T));
  std::size_t index = 0;
  for (element item : array) {
    try {
      out.push_back(decodeOne(asObject(item, "")));
    } catch (Failure& failure) {
      prefix(failure, std::string(name) + "[" + std::to_string(index) + "]");
      throw;
    }
    ++index;
  }
  return out;
}

WidgetSnapshot::ProviderUsage decodeProvider(object obj) {
  WidgetSnapshot::ProviderUsage provider;
  provider.providerKey = readText(obj, "providerKey");
  provider.label = readText(obj, "label");
  provider.bytes = readInteger(obj, "bytes");
  return provider;
}

WidgetSnapshot::RepoUsage decodeRepo(object obj) {
  WidgetSnapshot::RepoUsage repo;
  repo.name = readText(obj, "name");
  repo.providerKey = readText(obj, "providerKey");
  repo.bytes = readInteger(obj, "bytes");
  return repo;
}

std::optional<WidgetSnapshot::NextBackup> readNextBackup(object obj) {
  element value;
  if (obj.at_key("nextBackup").get(value) != simdjson::SUCCESS || value.is_null()) {
    return std::nullopt;
  }
  const object next = asObject(value, "nextBackup");
  try {
    WidgetSnapshot::NextBackup backup;
    backup.repoName = readText(next, "repoName");
    backup.scheduleName = readText(next, "scheduleName");
    backup.fireDate = readDate(next, "fireDate");
    return backup;
  } catch (Failure& failure) {
    prefix(failure, "nextBackup");
    throw;
  }
}

WidgetSnapshot::Health readHealth(object obj) {
  const element value = required(obj, "health");
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS) {
    fail("health", "one of \"ok\", \"running\", \"error\"", describe(value));
  }
  const auto health = healthFromRawValue(text);
  if (!health) fail("health", "one of \"ok\", \"running\", \"error\"", describe(value));
  return *health;
}

WidgetSnapshot decodeDocument(element root) {
  const object obj = asObject(root, "");
  WidgetSnapshot snapshot;
  snapshot.generatedAt = readDate(obj, "generatedAt");
  snapshot.repoCount = readInteger(obj, "repoCount");
  snapshot.archiveCount = readInteger(obj, "archiveCount");
  snapshot.totalUsageBytes = readInteger(obj, "totalUsageBytes");
  snapshot.byProvider = readArray<WidgetSnapshot::ProviderUsage>(obj, "byProvider", decodeProvider);
  snapshot.topRepos = readArray<WidgetSnapshot::RepoUsage>(obj, "topRepos", decodeRepo);
  snapshot.nextBackup = readNextBackup(obj);
  snapshot.health = readHealth(obj);
  return snapshot;
}

// Parses `length` bytes at `data`; when `owned` is given (and holds the data with the parser's
// padding), it is released as soon as the parser has copied what it needs, which lowers the
// peak memory of decoding a large file.
DecodeResult decodePadded(const char* data, std::size_t length, std::string* owned) {
  // A fresh parser and document per call: nothing is shared between requests. The parser's
  // working memory (the structural index) goes as soon as the document is built, and so does
  // an owned input, so that the mapping below runs beside the document alone.
  simdjson::dom::document document;
  element root;
  {
    simdjson::dom::parser parser;
    // A document cannot nest deeper than half its length: small documents get a small stack.
    const std::size_t depth = std::min(kMaxDepth, length / 2 + 2);
    if (parser.allocate(length, depth) != simdjson::SUCCESS ||
        document.allocate(length) != simdjson::SUCCESS) {
      return DecodeError{"", "a document the parser can hold", "one too large for memory"};
    }
    // The parser's index and the document's tape and strings, at least as long as these
    // (simdjson's own sizes), are written once each.
    detail::adviseHugePages(parser.implementation->structural_indexes.get(),
                            length * sizeof(std::uint32_t));
    detail::adviseHugePages(document.tape.get(), length * sizeof(std::uint64_t));
    detail::adviseHugePages(document.string_buf.get(), length / 3 * 5);
    if (const auto code =
            parser.parse_into_document(document, data, length, owned == nullptr).get(root);
        code != simdjson::SUCCESS) {
      return DecodeError{"", "well-formed JSON in UTF-8", simdjson::error_message(code)};
    }
  }
  if (owned != nullptr) std::string().swap(*owned);
  try {
    return decodeDocument(root);
  } catch (Failure& failure) {
    return std::move(failure.error);
  } catch (const std::bad_alloc&) {
    return DecodeError{"", "a document that fits in memory", "one too large"};
  }
}

}  // namespace

std::string DecodeError::message() const {
  std::string out = path.empty() ? std::string("document") : path;
  out += ": expected ";
  out += expected;
  out += ", found ";
  out += found;
  return out;
}

DecodeResult decodeSnapshot(std::string_view document) {
  return decodePadded(document.data(), document.size(), nullptr);
}

DecodeResult decodeSnapshotInPlace(std::string& buffer) {
  const std::size_t length = buffer.size();
  static_assert(kSnapshotParserPadding >= simdjson::SIMDJSON_PADDING);
  buffer.reserve(length + kSnapshotParserPadding);
  return decodePadded(buffer.data(), length, &buffer);
}

nlohmann::ordered_json encodeSnapshot(const WidgetSnapshot& snapshot, DatePrecision dates) {
  using json = nlohmann::ordered_json;
  json out = json::object();
  out["generatedAt"] = formatRfc3339(snapshot.generatedAt, dates);
  out["repoCount"] = snapshot.repoCount;
  out["archiveCount"] = snapshot.archiveCount;
  out["totalUsageBytes"] = snapshot.totalUsageBytes;
  json providers = json::array();
  for (const auto& provider : snapshot.byProvider) {
    providers.push_back({{"providerKey", provider.providerKey},
                         {"label", provider.label},
                         {"bytes", provider.bytes}});
  }
  out["byProvider"] = std::move(providers);
  json repos = json::array();
  for (const auto& repo : snapshot.topRepos) {
    repos.push_back(
        {{"name", repo.name}, {"providerKey", repo.providerKey}, {"bytes", repo.bytes}});
  }
  out["topRepos"] = std::move(repos);
  if (snapshot.nextBackup) {
    out["nextBackup"] = {{"repoName", snapshot.nextBackup->repoName},
                         {"scheduleName", snapshot.nextBackup->scheduleName},
                         {"fireDate", formatRfc3339(snapshot.nextBackup->fireDate, dates)}};
  }
  out["health"] = std::string(rawValue(snapshot.health));
  return out;
}

std::string encodeSnapshotText(const WidgetSnapshot& snapshot) {
  // Text that is not valid UTF-8 is written with replacement characters, so that what is
  // written is always a document the reader accepts.
  return encodeSnapshot(snapshot).dump(-1, ' ', false,
                                       nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace halyard
