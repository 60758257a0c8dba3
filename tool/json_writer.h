// SPDX-License-Identifier: MIT

// A JSON document written as it goes, to a TextOut: UTF-8 whatever the
// locale, on one line, ended by a line feed. Keys and strings are escaped as
// JSON requires; text that is not valid UTF-8 gets U+FFFD for each byte
// that does not decode, so the document is valid whatever it holds.

#ifndef TOOL_JSON_WRITER_H_
#define TOOL_JSON_WRITER_H_

#include <cstddef>
#include <cstdint>

#include "tool/text_out.h"

namespace d88 {

class JsonWriter {
 public:
  static constexpr int32_t kMaxDepth = 16;

  // Requires out to outlive the writer.
  explicit JsonWriter(TextOut* out);

  // Containers. Inside an object, every value follows its Key. Requires
  // nesting no deeper than kMaxDepth, and each End to match its Begin.
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(const char* key);

  void String(const char* utf8);
  void String(const char* utf8, size_t size);
  // Code page 932 text, decoded to Unicode.
  void Cp932String(const char* text);
  // Bytes as lowercase hexadecimal digits.
  void HexString(const char* bytes);
  void Int(int64_t value);
  void Bool(bool value);
  void Null();

  // Ends the document with a line feed once the outermost container is
  // closed.
  void End();

 private:
  void BeforeValue();
  // Appends code_point to the string being written.
  void CodePoint(uint32_t code_point);
  void FlushString();

  TextOut* out_;
  int32_t depth_;
  bool first_[kMaxDepth];
  bool after_key_;
  char pending_[256];  // a string's UTF-8 bytes not yet written
  size_t pending_size_;
};

}  // namespace d88

#endif  // TOOL_JSON_WRITER_H_
