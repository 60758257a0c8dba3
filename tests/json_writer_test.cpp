// SPDX-License-Identifier: MIT

#include "tool/json_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/test_support.h"

namespace d88 {
namespace {

std::string Json(const std::function<void(JsonWriter*)>& write) {
  return d88test::WrittenText([&](std::FILE* file) {
    TextOut out(file);
    JsonWriter json(&out);
    write(&json);
    EXPECT_TRUE(out.ok());
  });
}

TEST(JsonWriterTest, CommasAndNesting) {
  EXPECT_EQ(Json([](JsonWriter* json) {
              json->BeginObject();
              json->Key("a");
              json->Int(-5);
              json->Key("b");
              json->BeginArray();
              json->Bool(true);
              json->Null();
              json->BeginObject();
              json->EndObject();
              json->BeginArray();
              json->EndArray();
              json->EndArray();
              json->Key("c");
              json->Int(int64_t{1} << 40);
              json->EndObject();
              json->End();
            }),
            "{\"a\":-5,\"b\":[true,null,{},[]],\"c\":1099511627776}\n");
}

TEST(JsonWriterTest, StringsAreEscapedAndAlwaysUtf8) {
  const struct {
    std::function<void(JsonWriter*)> write;
    std::string json;
  } cases[] = {
      {[](JsonWriter* j) { j->String("say \"\\\" /"); }, R"("say \"\\\" /")"},
      {[](JsonWriter* j) { j->String("\x01\n\x1F\x7F"); },
       R"("\u0001\u000a\u001f\u007f")"},
      {[](JsonWriter* j) { j->String("\xE3\x83\x87"); }, "\"\xE3\x83\x87\""},
      // Bytes that are not UTF-8: one replacement each.
      {[](JsonWriter* j) {
         j->String(
             "A\x83\xE3\x83"
             "B\xC0\xAF");
       },
       "\"A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
       "B\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {[](JsonWriter* j) {
         j->Cp932String(
             "\x83\x66\x81\x5B"
             "\x01\x80");
       },
       "\"\xE3\x83\x87\xE3\x83\xBC\\u0001\xEF\xBF\xBD\""},
      {[](JsonWriter* j) { j->HexString("\x83\x66 A"); }, "\"83662041\""},
  };
  for (const auto& c : cases) EXPECT_EQ(Json(c.write), c.json);
}

}  // namespace
}  // namespace d88
