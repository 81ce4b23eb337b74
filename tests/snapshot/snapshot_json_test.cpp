#include "snapshot/snapshot_json.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "test_support.hpp"

namespace halyard {
namespace {

using json = nlohmann::ordered_json;

// The example document of the data model, member by member.
json exampleDocument() {
  return json::parse(R"({
    "generatedAt": "2026-03-14T09:30:00Z", "repoCount": 3, "archiveCount": 128,
    "totalUsageBytes": 500,
    "byProvider": [{"providerKey": "local", "label": "Local", "bytes": 300},
                   {"providerKey": "tarnBase", "label": "Remoto", "bytes": 200}],
    "topRepos": [{"name": "fotos", "providerKey": "local", "bytes": 180},
                 {"name": "documentos", "providerKey": "tarnBase", "bytes": 120}],
    "nextBackup": {"repoName": "fotos", "scheduleName": "Diario",
                   "fireDate": "2026-03-14T21:00:00Z"},
    "health": "ok"})");
}

// The example with the member at `pointer` replaced by raw JSON text (or removed when raw is
// empty), so that numbers nlohmann would not write (such as 2^63) can be placed.
std::string withMember(const std::string& pointer, const std::string& raw) {
  json doc = exampleDocument();
  const json::json_pointer at(pointer);
  if (raw.empty()) {
    doc[at.parent_pointer()].erase(at.back());
    return doc.dump();
  }
  doc[at] = "@@RAW@@";
  std::string text = doc.dump();
  text.replace(text.find("\"@@RAW@@\""), 9, raw);
  return text;
}

TEST(SnapshotDecoding, ExampleDecodesMemberByMember) {
  const DecodeResult result = decodeSnapshot(exampleDocument().dump());
  ASSERT_TRUE(result.ok()) << result.error().message();
  const WidgetSnapshot& s = result.snapshot();
  EXPECT_EQ(s.repoCount, 3);
  EXPECT_EQ(s.archiveCount, 128);
  EXPECT_EQ(s.totalUsageBytes, 500);
  EXPECT_EQ(s.byProvider[1], (WidgetSnapshot::ProviderUsage{"tarnBase", "Remoto", 200}));
  EXPECT_EQ(s.topRepos[0], (WidgetSnapshot::RepoUsage{"fotos", "local", 180}));
  EXPECT_EQ(s.nextBackup->scheduleName, "Diario");
  EXPECT_EQ(formatRfc3339(s.nextBackup->fireDate), "2026-03-14T21:00:00Z");
  // Encoded again, member for member the same document (the rest of each member's way).
  EXPECT_EQ(encodeSnapshot(s).dump(), exampleDocument().dump());
}

// Every required member, missing or null, fails naming its path; nextBackup may be either.
TEST(SnapshotDecoding, MissingOrNullRequiredMemberFailsWithItsPath) {
  const std::pair<const char*, const char*> members[] = {
      {"/generatedAt", "generatedAt"},
      {"/repoCount", "repoCount"},
      {"/archiveCount", "archiveCount"},
      {"/totalUsageBytes", "totalUsageBytes"},
      {"/byProvider", "byProvider"},
      {"/topRepos", "topRepos"},
      {"/health", "health"},
      {"/byProvider/1/providerKey", "byProvider[1].providerKey"},
      {"/byProvider/0/label", "byProvider[0].label"},
      {"/byProvider/1/bytes", "byProvider[1].bytes"},
      {"/topRepos/0/name", "topRepos[0].name"},
      {"/topRepos/1/providerKey", "topRepos[1].providerKey"},
      {"/topRepos/1/bytes", "topRepos[1].bytes"},
      {"/nextBackup/repoName", "nextBackup.repoName"},
      {"/nextBackup/scheduleName", "nextBackup.scheduleName"},
      {"/nextBackup/fireDate", "nextBackup.fireDate"},
  };
  for (const std::string raw : {"", "null"}) {
    for (const auto& [pointer, path] : members) {
      const DecodeResult result = decodeSnapshot(withMember(pointer, raw));
      ASSERT_FALSE(result.ok()) << pointer << " as " << (raw.empty() ? "missing" : raw);
      EXPECT_EQ(result.error().path, path);
    }
    const DecodeResult result = decodeSnapshot(withMember("/nextBackup", raw));
    ASSERT_TRUE(result.ok()) << result.error().message();
    EXPECT_FALSE(result.snapshot().nextBackup.has_value());
  }
}

TEST(SnapshotDecoding, WrongTypesFail) {
  const std::pair<const char*, const char*> cases[] = {
      {"/repoCount", "true"},
      {"/totalUsageBytes", "[1]"},
      {"/byProvider", "{}"},
      {"/topRepos", "\"[]\""},
      {"/byProvider/0", "3"},
      {"/topRepos/1", "[]"},
      {"/nextBackup", "\"tomorrow\""},
      {"/byProvider/0/label", "42"},
      {"/topRepos/0/name", "{}"},
      {"/generatedAt", "1773480600"},
      {"/nextBackup/fireDate", "\"2026-02-30T09:30:00Z\""},
  };
  for (const auto& [pointer, raw] : cases) {
    EXPECT_FALSE(decodeSnapshot(withMember(pointer, raw)).ok()) << pointer << " = " << raw;
  }
  for (const char* top : {"[]", "null", "3", "\"x\"", "", "{", "{}"}) {
    EXPECT_FALSE(decodeSnapshot(top).ok()) << top;
  }
}

TEST(SnapshotDecoding, IntegersMustBeSigned64BitWholeNumbers) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"-12", -12},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"100000000000000000000000", std::nullopt},
      {"12.5", std::nullopt},
      {"3.0", std::nullopt},
      {"3e2", std::nullopt},
      {"\"12\"", std::nullopt},
  };
  for (const auto& [raw, expected] : cases) {
    const DecodeResult result = decodeSnapshot(withMember("/repoCount", raw));
    ASSERT_EQ(result.ok(), expected.has_value()) << raw;
    if (expected) {
      EXPECT_EQ(result.snapshot().repoCount, *expected);
    }
  }
  // Every integer member goes the same way.
  for (const char* member :
       {"/archiveCount", "/totalUsageBytes", "/byProvider/0/bytes", "/topRepos/1/bytes"}) {
    EXPECT_TRUE(decodeSnapshot(withMember(member, "-9223372036854775808")).ok()) << member;
    EXPECT_FALSE(decodeSnapshot(withMember(member, "9223372036854775808")).ok()) << member;
    EXPECT_FALSE(decodeSnapshot(withMember(member, "3.0")).ok()) << member;
  }
}

TEST(SnapshotDecoding, HealthIsOneOfThreeExactTexts) {
  using Health = WidgetSnapshot::Health;
  const std::pair<const char*, std::optional<Health>> cases[] = {
      {"\"ok\"", Health::ok},        {"\"running\"", Health::running},
      {"\"error\"", Health::error},  {"\"OK\"", std::nullopt},
      {"\" ok\"", std::nullopt},     {"\"\"", std::nullopt},
      {"\"warning\"", std::nullopt}, {"0", std::nullopt},
  };
  for (const auto& [raw, expected] : cases) {
    const DecodeResult result = decodeSnapshot(withMember("/health", raw));
    ASSERT_EQ(result.ok(), expected.has_value()) << raw;
    if (expected) {
      EXPECT_EQ(result.snapshot().health, *expected);
    }
  }
  EXPECT_EQ(std::hash<Health>{}(Health::error), std::hash<std::string_view>{}("error"));
}

TEST(SnapshotDecoding, UnknownMembersAreIgnoredAtEveryLevelAndOrderIsFree) {
  json doc = exampleDocument();
  doc["writer"] = {{"nested", {1, 2, {{"deep", nullptr}}}}};
  doc["byProvider"][0]["colour"] = "#ff0000";
  doc["topRepos"][1]["archives"] = 12;
  doc["nextBackup"]["jitter"] = 1.5;
  json reordered = json::object();
  for (auto it = doc.rbegin(); it != doc.rend(); ++it)
    reordered[it.key()] = it.value();
  const DecodeResult a = decodeSnapshot(doc.dump());
  const DecodeResult b = decodeSnapshot(reordered.dump());
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(a.snapshot(), b.snapshot());
  EXPECT_EQ(a.snapshot(), decodeSnapshot(exampleDocument().dump()).snapshot());
}

TEST(SnapshotDecoding, TheWholeDocumentMustBeWellFormed) {
  const std::string good = exampleDocument().dump();
  // Invalid UTF-8 inside an ignored member.
  std::string badUtf8 = good;
  badUtf8.insert(1, "\"x\":\"\xff\xfe\",");
  EXPECT_FALSE(decodeSnapshot(badUtf8).ok());
  EXPECT_FALSE(decodeSnapshot(good + "}").ok());
  EXPECT_FALSE(decodeSnapshot(good.substr(0, good.size() / 2)).ok());
  // Deep nesting inside an ignored member is still well-formed JSON.
  std::string deep = good;
  deep.insert(1, "\"x\":" + std::string(2000, '[') + std::string(2000, ']') + ",");
  EXPECT_TRUE(decodeSnapshot(deep).ok());
}

// Negative sizes, duplicate ids and empty labels are the writer's business.
TEST(SnapshotDecoding, ValuesAreNotRangeChecked) {
  json doc = exampleDocument();
  doc["totalUsageBytes"] = -500;
  doc["byProvider"].push_back(doc["byProvider"][0]);
  doc["byProvider"][0]["label"] = "";
  const DecodeResult result = decodeSnapshot(doc.dump());
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.snapshot().totalUsageBytes, -500);
  EXPECT_EQ(result.snapshot().byProvider[0].id(), result.snapshot().byProvider[2].id());
}

TEST(SnapshotDecoding, ErrorMessageNamesPathExpectedAndFound) {
  const DecodeResult result = decodeSnapshot(withMember("/byProvider/1/bytes", "12.5"));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().message(),
            "byProvider[1].bytes: expected a signed 64-bit integer, found the number 12.5");
}

TEST(SnapshotEncoding, LeavesOutAMissingNextBackupAndRoundTrips) {
  const WidgetSnapshot original = decodeSnapshot(exampleDocument().dump()).snapshot();
  WidgetSnapshot without = original;
  without.nextBackup.reset();
  EXPECT_FALSE(encodeSnapshot(without).contains("nextBackup"));
  for (const WidgetSnapshot& s : {original, without, WidgetSnapshot::placeholder()}) {
    WidgetSnapshot whole = s;
    whole.generatedAt = std::chrono::floor<std::chrono::seconds>(s.generatedAt);
    const DecodeResult back = decodeSnapshot(encodeSnapshotText(whole));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.snapshot(), whole);
  }
}

TEST(SnapshotEncoding, TextIsEscapedAndInvalidUtf8IsReplaced) {
  WidgetSnapshot s = WidgetSnapshot::placeholder();
  s.byProvider.push_back({"k\"ey", "línea\nnueva \\ <b>", 1});
  s.topRepos.push_back({"bad \xff byte", "local", 2});
  const DecodeResult back = decodeSnapshot(encodeSnapshotText(s));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.snapshot().byProvider[0], s.byProvider[0]);
  EXPECT_EQ(back.snapshot().topRepos[0].name, "bad \xEF\xBF\xBD byte");
}

TEST(SnapshotModel, EqualityAndIds) {
  const WidgetSnapshot base = decodeSnapshot(exampleDocument().dump()).snapshot();
  WidgetSnapshot swapped = base;
  std::swap(swapped.byProvider[0], swapped.byProvider[1]);
  EXPECT_NE(base, swapped);
  WidgetSnapshot later = base;
  later.generatedAt += std::chrono::microseconds(1);
  EXPECT_NE(base, later);
  // A repository's id is its provider and name: the same name at two providers is two rows.
  EXPECT_EQ((WidgetSnapshot::RepoUsage{"a::b", "x", 1}).id(), "x::a::b");
  EXPECT_NE((WidgetSnapshot::RepoUsage{"fotos", "local", 1}).id(),
            (WidgetSnapshot::RepoUsage{"fotos", "tarnBox", 1}).id());
  EXPECT_EQ((WidgetSnapshot::ProviderUsage{"tarnBox", "Caja", 1}).id(), "tarnBox");
}

// Created once, whichever thread gets there first (run alone under ThreadSanitizer in CI).
TEST(SnapshotModel, PlaceholderIsEmptyAndCreatedOnceUnderThreads) {
  std::vector<WidgetSnapshot> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen)
    threads.emplace_back([&slot] { slot = WidgetSnapshot::placeholder(); });
  for (auto& t : threads)
    t.join();
  for (const auto& s : seen)
    EXPECT_EQ(s, seen.front());
  WidgetSnapshot empty;
  empty.generatedAt = seen.front().generatedAt;
  empty.health = WidgetSnapshot::Health::ok;
  EXPECT_EQ(seen.front(), empty);
}

TEST(Examples, EveryExampleDecodes) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::sourcePath("examples"))) {
    if (entry.path().extension() != ".json") continue;
    ++count;
    const DecodeResult result = decodeSnapshot(testing::readFile(entry.path().string()));
    EXPECT_TRUE(result.ok()) << entry.path() << ": "
                             << (result.ok() ? "" : result.error().message());
  }
  EXPECT_GE(count, 3);
}

}  // namespace
}  // namespace halyard
