// SPDX-License-Identifier: MIT

#include "tool/text_out.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "port/port.h"
#include "tests/test_support.h"

namespace d88 {
namespace {

std::vector<uint32_t> Decode(const std::string& text) {
  std::vector<uint32_t> code_points;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const int32_t size = static_cast<int32_t>(text.size());
  for (int32_t at = 0; at < size;) {
    uint32_t code_point = 0;
    const int32_t used = port::DecodeCp932(bytes + at, size - at, &code_point);
    EXPECT_TRUE(used == 1 || used == 2);
    code_points.push_back(code_point);
    at += used;
  }
  return code_points;
}

TEST(DecodeCp932Test, EachByteThatDoesNotDecodeIsOneReplacement) {
  const struct {
    std::string bytes;
    std::vector<uint32_t> code_points;
  } cases[] = {
      {"\x83\x66\x81\x5B\x83\x5E", {0x30C7, 0x30FC, 0x30BF}},  // データ
      {"\\~A", {0x5C, 0x7E, 0x41}},
      {"\x83\x5C\x83\x7C", {0x30BD, 0x30DD}},  // ソポ: 5C and 7C as trail
      {"\xB1\xDF", {0xFF71, 0xFF9F}},          // half-width katakana
      {"\x87\x40\xFA\x40", {0x2460, 0x2170}},  // NEC and IBM extensions
      {"\x01\x1F\x7F", {0x01, 0x1F, 0x7F}},
      {"\x80\xA0\xFD\xFE\xFF", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
      {"A\x83", {0x41, 0xFFFD}},         // a lead byte at the end
      {"\x83 B", {0xFFFD, 0x20, 0x42}},  // a lead byte and no trail
      {"\x85\x40", {0xFFFD, 0x40}},      // a pair the code page lacks
      {"\x81\xAD", {0xFFFD, 0xFF6D}},    // the trail alone is a character
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.code_points);
}

std::string Written(const std::function<void(TextOut*)>& write) {
  return d88test::WrittenText([&](std::FILE* file) {
    TextOut out(file);
    write(&out);
    EXPECT_TRUE(out.ok());
  });
}

// Without a locale of its own (the C locale), text goes out as its bytes.
TEST(TextOutTest, BytesOutsideAConvertingLocale) {
  EXPECT_EQ(Written([](TextOut* out) {
              out->PaddedName("\x83\x66\x81\x5B", 9,
                              TextOut::Controls::kShownOnTerminal);
              out->Ascii("|");
            }),
            "\x83\x66\x81\x5B     |");
  EXPECT_EQ(Written([](TextOut* out) {
              out->PaddedName("ABCDEFGHI", 9, TextOut::Controls::kKept);
              out->Format("|%02x", 10);
            }),
            "ABCDEFGHI|0a");
  // Not a terminal: controls stay, unless shown everywhere.
  EXPECT_EQ(Written([](TextOut* out) {
              out->Cp932(
                  "\x01"
                  "A\x1B",
                  TextOut::Controls::kShownOnTerminal);
              out->Cp932(
                  "\x01"
                  "A\x1B\x7F",
                  TextOut::Controls::kShownEverywhere);
              out->User("/x/\xE3\x83\x87");
            }),
            "\x01"
            "A\x1B?A??"
            "/x/\xE3\x83\x87");
}

}  // namespace
}  // namespace d88
