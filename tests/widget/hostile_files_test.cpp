// Whatever lies at the snapshot path, the program answers promptly, in a home of the test's own.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "platform/host/child_process.hpp"
#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::string example() {
  return readFile(sourcePath("examples/full.json"));
}

// What a hostile writer may put in valid strings, and an ignored member nested 2 000 deep.
nlohmann::json strangeDocument() {
  nlohmann::json doc = nlohmann::json::parse(example());
  doc["deep"] = nlohmann::json::parse(std::string(2000, '[') + std::string(2000, ']'));
  doc["byProvider"][0]["label"] = "\x01\x02\t\n\x1b[31m rojo";
  doc["byProvider"][1]["label"] = "<b>negrita</b> &amp; <span foreground='red'>x</span>";
  doc["topRepos"][0]["name"] = "גיבוי ישן";
  doc["topRepos"][1]["name"] = "\u202eevil\u202c \u2067x\u2069";
  doc["topRepos"][2]["name"] = std::string(10000, 'n');
  return doc;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("describe").status != 0) GTEST_SKIP() << "no private mount namespaces here (unshare)";
    fs::create_directories(fs::path(path).parent_path());
  }

  ProgramRun run(const std::string& arguments, const std::string& environment = "") {
    return runWidget(arguments,
                     "timeout -s KILL 20 " + withHome(home.path().string()) + environment);
  }

  TempDir home;
  const std::string path = home.file("Library/Application Support/Halyard/widget-snapshot.json");
};

// The confined `render` draws what `preview` draws (also a name needing a fallback font nothing
// had loaded), saying once why it refused a file. Rows: what the confinement changes.
TEST_F(HostileFiles, ConfinedRenderDrawsWhatPreviewDraws) {
  nlohmann::json strange = strangeDocument();
  strange["generatedAt"] = "2019-01-01T00:00:00Z";  // years ago: the same text for both runs
  strange["nextBackup"]["fireDate"] = "2099-01-01T00:00:00Z";
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { writeFile(path, strange.dump()); }, nullptr},
      {[] {}, nullptr},
      {[&] { writeFile(path, example().substr(0, 100)); }, "expected well-formed JSON"},
      {[&] { fs::create_directory(path); }, "not a regular file"},
      {[&] { fs::create_symlink("/proc/self/ns/net", path); }, "could not confine itself"},
  };
  TempDir previews;  // preview's pictures of the strange document and the placeholder, made once
  for (const auto& [make, said] : cases) {
    fs::remove_all(path);
    make();
    const bool shown = said == nullptr && fs::exists(path);
    SCOPED_TRACE(said != nullptr ? said : shown ? "strange strings" : "missing");
    TempDir out;
    const ProgramRun render = run("render -o '" + out.path().string() + "'");
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(occurrences(render.err, "halyard-widget:"), said ? 1u : 0u) << render.err;
    EXPECT_TRUE(!said || occurrences(render.err, said) == 1) << render.err;
    for (const std::string family : {"medium", "large"}) {
      const std::string rendered = out.file("halyard-" + family + ".png");
      const std::string previewed = previews.file((shown ? "file-" : "none-") + family + ".png");
      const ProgramRun preview =
          fs::exists(previewed)
              ? ProgramRun{0, "", ""}
              : runWidget("preview " + (shown ? "'" + path + "'" : "--placeholder") + " --family " +
                          family + " -o '" + previewed + "'");
      ASSERT_EQ(preview.status, 0) << preview.err;
      EXPECT_NE(decodedPngFileSize(rendered).first, 0u) << family;
      EXPECT_TRUE(readFile(rendered) == readFile(previewed)) << family;
    }
  }
}

// `run` says why it refuses the file once per change, and once when it reads it again.
TEST_F(HostileFiles, RunTellsOnceWhyTheFileIsRefused) {
  using namespace std::chrono_literals;
  writeFile(path, "[]");
  TempDir dir;
  ChildProcess run({"sh", "-c",
                    "exec " + withHome(home.path().string()) + HALYARD_WIDGET_BINARY + " run -o " +
                        dir.file("w.png") + " --debounce-ms 50 --appearance light"},
                   {}, dir.file("run"));
  const auto says = [&](const std::string& part, std::size_t count) {
    return eventually([&] { return occurrences(run.err(), part) >= count; }, 10s);
  };
  ASSERT_TRUE(says("warning:", 1)) << run.err();
  writeFile(path, "[]");  // changed, refused alike
  ASSERT_TRUE(says("warning:", 2)) << run.err();
  writeFile(path, R"({"repoCount":"many"})");
  ASSERT_TRUE(says("warning:", 3)) << run.err();
  writeFile(path, example());
  ASSERT_TRUE(says("read again", 1)) << run.err();
  run.end();
  const std::string said = run.err();
  EXPECT_EQ(occurrences(said, "halyard-widget:"), 4u) << said;
  EXPECT_EQ(occurrences(said, "Halyard/widget-snapshot.json: document: expected an object"), 2u)
      << said;
  EXPECT_EQ(occurrences(said, "generatedAt: expected"), 1u) << said;
}

// The confined extension answers as the provider in this process does; it finds the file
// through the user database's home, whatever HOME says.
TEST_F(HostileFiles, ExtensionAnswersEqualTheProvidersOwn) {
  std::vector<std::string> documents{strangeDocument().dump()};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // A quarter-gigabyte document: too slow for the extension's 10 s under a sanitizer.
  documents.push_back("{\"padding\":\"" + std::string(std::size_t{255} << 20, 'a') + "\"," +
                      example().substr(1));
#endif
  documents.push_back(readFile(sourcePath("examples/no-next-backup.json")));
  for (const std::string& document : documents) {
    SCOPED_TRACE(document.substr(0, 60));
    writeFile(path, document);
    const ProgramRun timeline = run("timeline", "env HOME=/nowhere ");
    ASSERT_EQ(timeline.status, 0) << timeline.err;
    EXPECT_EQ(nlohmann::json::parse(timeline.out).at("entries").at(0).at("snapshot"),
              nlohmann::json::parse(encodeSnapshotText(loadSnapshot(path).value())));
  }
}

}  // namespace
}  // namespace halyard
