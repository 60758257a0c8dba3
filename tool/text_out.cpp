// SPDX-License-Identifier: MIT

#include "tool/text_out.h"

#include <cerrno>
#include <cstring>

namespace d88 {

namespace {

bool IsControl(uint32_t c) { return (c >= 0x01 && c <= 0x1F) || c == 0x7F; }

}  // namespace

TextOut::TextOut(std::FILE* stream)
    : stream_(stream), kind_(port::GetTextStream(stream)), error_(0) {}

void TextOut::Track(bool ok) {
  // A console write that fails says nothing in errno.
  if (!ok && error_ == 0) error_ = errno != 0 ? errno : EIO;
}

bool TextOut::Flush() {
  Track(std::fflush(stream_) == 0);
  return ok();
}

void TextOut::Ascii(const char* text) { Track(std::fputs(text, stream_) >= 0); }

void TextOut::Format(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Ascii(text);
}

void TextOut::Cp932(const char* text, Controls controls) {
  Cp932(text, std::strlen(text), controls);
}

void TextOut::Cp932(const char* text, size_t size, Controls controls) {
  const bool mask = controls == Controls::kShownEverywhere ||
                    (controls == Controls::kShownOnTerminal && kind_.terminal);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
  if (!kind_.converts) {
    // A control byte is never part of a double-byte character, so it can be
    // replaced byte by byte.
    for (size_t i = 0; i < size; ++i) {
      const uint8_t byte = bytes[i];
      Track(std::fputc(mask && IsControl(byte) ? '?' : byte, stream_) != EOF);
    }
    return;
  }
  uint32_t code_points[64];
  int32_t count = 0;
  for (size_t at = 0; at < size;) {
    uint32_t code_point = 0;
    at += static_cast<size_t>(port::DecodeCp932(
        bytes + at, static_cast<int32_t>(size - at), &code_point));
    code_points[count++] = mask && IsControl(code_point) ? '?' : code_point;
    if (count == 64 || at == size) {
      Track(port::WriteCodePoints(stream_, code_points, count));
      count = 0;
    }
  }
}

void TextOut::PaddedName(const char* name, int32_t width, Controls controls) {
  const size_t size = std::strlen(name);
  Cp932(name, size, controls);
  // A code page 932 byte is a column: single bytes are ASCII or half-width
  // katakana, double-byte characters are full width.
  for (int32_t pad = width - static_cast<int32_t>(size); pad > 0; --pad) {
    Track(std::fputc(' ', stream_) != EOF);
  }
}

void TextOut::User(const char* text) {
  Track(port::WriteUserText(stream_, text));
}

void TextOut::Utf8(const char* text, size_t size) {
  Track(port::WriteUtf8(stream_, text, size));
}

bool FinishStandardOutput(TextOut* out, TextOut* err, const char* program,
                          bool was_closed) {
  out->Flush();
  const int error = was_closed ? EBADF : out->error();
  if (error == 0 || port::IsReaderGone(error)) return true;
  err->Ascii(program);
  err->Format(": cannot write standard output: %s\n", std::strerror(error));
  err->Flush();
  return false;
}

}  // namespace d88
