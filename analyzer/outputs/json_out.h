// json_out.h - the one JSON writer of the outputs (chrome, report): a JSON text written piece
// by piece into a buffer that goes to a file in large pieces. For the report, strings are
// also escaped for a document that sits inside an HTML script element.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace jov::analyzer {

class JsonOut {
 public:
  enum class Embedding {
    kStandalone,  // a JSON file of its own
    kInScript,    // the text of an HTML script element: no "<" in strings
  };
  JsonOut(std::FILE* out, Embedding embedding) : out_(out), embedding_(embedding) {}
  ~JsonOut() { Flush(); }
  JsonOut(const JsonOut&) = delete;
  JsonOut& operator=(const JsonOut&) = delete;

  // Text as it stands (punctuation, a page part).
  void Raw(std::string_view text);
  // A JSON string of UTF-8 text. In a script element, "<" is written as \u003c, so no text
  // can end the element, nor open a comment there.
  void String(std::string_view utf8);
  // "name": (a key, with its colon; the caller writes the commas).
  void Key(std::string_view name);
  void Int(std::int64_t value);
  // The shortest text that reads back as the same double.
  void Double(double value);
  void Bool(bool value) { Raw(value ? "true" : "false"); }
  // [a,b,c]; with `delta`, each value after the first as the difference from the one before.
  void IntArray(const std::vector<std::int64_t>& values, bool delta = false);

  // Writes out what is buffered; false once any write to the file failed.
  bool Flush();

 private:
  void MaybeFlush();

  std::FILE* out_;
  Embedding embedding_;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace jov::analyzer
