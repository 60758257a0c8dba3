// SPDX-License-Identifier: MIT

#include "d88/format.h"

#include <gtest/gtest.h>

namespace d88 {
namespace {

TEST(FormatTest, ReadLe16AssemblesLittleEndian) {
  const struct {
    uint8_t bytes[2];
    int32_t value;
  } cases[] = {
      {{0xFF, 0xFF}, 65535}, {{0x00, 0x01}, 256}, {{0x34, 0x12}, 0x1234}};
  for (const auto& c : cases) EXPECT_EQ(ReadLe16(c.bytes), c.value);
}

TEST(FormatTest, ReadLe32IsSigned) {
  const struct {
    uint8_t bytes[4];
    int32_t value;
  } cases[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{0x00, 0x00, 0x01, 0x00}, 65536},
      {{0x78, 0x56, 0x34, 0x12}, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 2147483647},
      {{0x00, 0x00, 0x00, 0x80}, -2147483647 - 1},
      {{0x50, 0xFD, 0xFF, 0xFF}, -688},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLe32(c.bytes), c.value);
}

TEST(FormatTest, DecodersWorkAtAnyAlignment) {
  const uint8_t bytes[] = {0xAA, 0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(ReadLe16(bytes + 1), 0x0201);
  EXPECT_EQ(ReadLe32(bytes + 1), 0x04030201);
}

}  // namespace
}  // namespace d88
