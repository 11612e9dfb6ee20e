// encoding_test.cpp - the writer's code page decoded once, as the files are read: every output
// of a trace written in Windows-1252 is valid UTF-8 and shows its letters; --code-page reads
// the traces of other systems.
#include "analyzer/input/text_encoding.h"
#include "support/reader_test.h"

using readertest::Quoted;
using readertest::Shell;

namespace {

// A trace as the library writes it on a Western system: user, program, routine, detail and a
// text in Windows-1252 (ü 0xFC, é 0xE9, Ö 0xD6, ß 0xDF).
readertest::Files Western(const std::string& routine) {
  return readertest::Play(
      "raw 261203 090000 app.JOV_Log|date 3|thread 7|bare 22:15:30.000    0.000 Trace "
      "Started. UserId=J\xfcrgen, ProcessId=42, ThreadId=7, Log File=C:\\t\\261203 090000 "
      "b\xfcro.JOV_Log|push " +
      routine + "/file=caf\xe9.dat|+1500|text gr\xfc\xdf Gott|pop -1 0|text Trace Closed.");
}

}  // namespace

TEST(Encoding, EveryOutputIsUtf8AndShowsTheLettersOfTheTrace) {
  const std::filesystem::path dir =
      readertest::WrittenFolder("jovtrace_cp1252_", Western("B\xfcro.\xd6\x66\x66nen"));
  const std::string trace = Quoted(dir / "261203 090000 app.JOV_Log");
  const std::string all[] = {"Büro.Öffnen"};
  const std::string named[] = {"Büro.Öffnen", "büro (pid 42)"};
  const std::string everything[] = {"Büro.Öffnen", "Jürgen", "file=café.dat", "büro (pid 42)"};
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      // the command, words it shows
      {"summary", {std::begin(named), std::end(named)}},
      {"summary --csv", {std::begin(named), std::end(named)}},
      {"tree", {std::begin(named), std::end(named)}},
      {"folded", {std::begin(all), std::end(all)}},
      {"chrome", {"Büro.Öffnen", "file=café.dat", "grüß Gott", "büro (pid 42)"}},
      {"report", {std::begin(everything), std::end(everything)}},
      {"diff" + trace, {std::begin(all), std::end(all)}},
      {"diff --markdown" + trace, {std::begin(all), std::end(all)}},
      {"diff --csv" + trace, {std::begin(all), std::end(all)}},
      {"diff --json" + trace, {std::begin(all), std::end(all)}},
      {"follow --once", {"Büro.Öffnen", "grüß Gott"}},
  };
  for (const auto& [command, words] : cases) {
    SCOPED_TRACE(command);
    const auto [code, out] = Shell("jovtrace " + command + trace + " 2>&1");
    EXPECT_EQ(code, 0) << out;
    EXPECT_TRUE(jov::analyzer::IsUtf8(out)) << out;
    for (const std::string& word : words) EXPECT_NE(out.find(word), std::string::npos) << word;
  }
  std::filesystem::remove_all(dir);
}

TEST(Encoding, CodePageOptionReadsOtherSystemsTraces) {
  // Д in 1251 is 0xC4 (Ä in 1252); ł in 1250 is 0xB3 (³ in 1252); 日本 in 932 is 93 FA 96 7B.
  // A name that is valid UTF-8 stays as it is.
  readertest::Files files =
      Western("Z\xc4.Run|push Z\xb3.Two|push \x93\xfa\x96\x7b.Three|push Z\xd0\x94.Four");
  const std::filesystem::path dir = readertest::WrittenFolder("jovtrace_cp_", files);
  const std::string trace = Quoted(dir / "261203 090000 app.JOV_Log");
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      // the command, names it shows
      {"summary", {"ZÄ.Run", "Z³.Two", "ZД.Four"}},
      {"summary --code-page 1251", {"ZД.Run", "ZД.Four"}},
      {"follow --once --code-page 1250", {"Zł.Two", "ZД.Four"}},
      {"diff --code-page 932" + trace, {"日本.Three", "ZД.Four"}},
  };
  for (const auto& [command, names] : cases) {
    SCOPED_TRACE(command);
    const auto [code, out] = Shell("jovtrace " + command + trace);
    EXPECT_EQ(code, 0) << out;
    for (const std::string& name : names) EXPECT_NE(out.find(name), std::string::npos) << name;
  }
  const auto [code, out] = Shell("jovtrace summary --code-page 4242" + trace);
  EXPECT_EQ(code, 2) << out;
  EXPECT_NE(out.find("code page 4242"), std::string::npos) << out;
  std::filesystem::remove_all(dir);
}
