// SPDX-License-Identifier: MIT

#include "tool/json_writer.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "port/port.h"

namespace d88 {

namespace {

// Decodes the UTF-8 sequence at text[0] (of size bytes): sets *code_point
// and returns its length, or 1 with U+FFFD for a byte that starts no valid
// sequence. Requires size >= 1.
size_t DecodeUtf8(const uint8_t* text, size_t size, uint32_t* code_point) {
  *code_point = 0xFFFD;
  const uint8_t first = text[0];
  if (first < 0x80) {
    *code_point = first;
    return 1;
  }
  size_t length = 0;
  uint32_t value = 0;
  uint32_t least = 0;  // the smallest value this length may carry
  if ((first & 0xE0) == 0xC0) {
    length = 2;
    value = first & 0x1Fu;
    least = 0x80;
  } else if ((first & 0xF0) == 0xE0) {
    length = 3;
    value = first & 0x0Fu;
    least = 0x800;
  } else if ((first & 0xF8) == 0xF0) {
    length = 4;
    value = first & 0x07u;
    least = 0x10000;
  } else {
    return 1;
  }
  if (length > size) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 1;
    value = (value << 6) | (text[i] & 0x3Fu);
  }
  if (value < least || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 1;
  }
  *code_point = value;
  return length;
}

}  // namespace

JsonWriter::JsonWriter(TextOut* out)
    : out_(out), depth_(0), first_(), after_key_(false), pending_size_(0) {}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (depth_ > 0) {
    if (!first_[depth_ - 1]) out_->Ascii(",");
    first_[depth_ - 1] = false;
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_->Ascii("{");
  first_[depth_++] = true;
}

void JsonWriter::EndObject() {
  --depth_;
  out_->Ascii("}");
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_->Ascii("[");
  first_[depth_++] = true;
}

void JsonWriter::EndArray() {
  --depth_;
  out_->Ascii("]");
}

void JsonWriter::Key(const char* key) {
  String(key);
  out_->Ascii(":");
  after_key_ = true;
}

void JsonWriter::FlushString() {
  out_->Utf8(pending_, pending_size_);
  pending_size_ = 0;
}

void JsonWriter::CodePoint(uint32_t c) {
  if (pending_size_ + 8 > sizeof pending_) FlushString();
  char* out = pending_ + pending_size_;
  if (c == '"' || c == '\\') {
    out[0] = '\\';
    out[1] = static_cast<char>(c);
    pending_size_ += 2;
  } else if (c < 0x20 || c == 0x7F) {
    // Controls written out, so that no terminal acts on them.
    std::snprintf(out, 7, "\\u%04x", static_cast<unsigned>(c));
    pending_size_ += 6;
  } else if (c < 0x80) {
    out[0] = static_cast<char>(c);
    pending_size_ += 1;
  } else if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    pending_size_ += 2;
  } else if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    pending_size_ += 3;
  } else {
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    pending_size_ += 4;
  }
}

void JsonWriter::String(const char* utf8) { String(utf8, std::strlen(utf8)); }

void JsonWriter::String(const char* utf8, size_t size) {
  BeforeValue();
  out_->Ascii("\"");
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(utf8);
  for (size_t at = 0; at < size;) {
    uint32_t code_point = 0;
    at += DecodeUtf8(bytes + at, size - at, &code_point);
    CodePoint(code_point);
  }
  FlushString();
  out_->Ascii("\"");
}

void JsonWriter::Cp932String(const char* text) {
  BeforeValue();
  out_->Ascii("\"");
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
  const int32_t size = static_cast<int32_t>(std::strlen(text));
  for (int32_t at = 0; at < size;) {
    uint32_t code_point = 0;
    at += port::DecodeCp932(bytes + at, size - at, &code_point);
    CodePoint(code_point);
  }
  FlushString();
  out_->Ascii("\"");
}

void JsonWriter::HexString(const char* bytes) {
  BeforeValue();
  out_->Ascii("\"");
  for (const char* p = bytes; *p != '\0'; ++p) {
    out_->Format("%02x", static_cast<unsigned>(static_cast<uint8_t>(*p)));
  }
  out_->Ascii("\"");
}

void JsonWriter::Int(int64_t value) {
  BeforeValue();
  out_->Format("%" PRId64, value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_->Ascii(value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_->Ascii("null");
}

void JsonWriter::End() { out_->Ascii("\n"); }

}  // namespace d88
