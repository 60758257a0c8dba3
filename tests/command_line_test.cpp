// SPDX-License-Identifier: MIT

#include "tool/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace d88 {
namespace {

constexpr OptionSpec kOptions[] = {
    {1, "help", 'h', false},
    {2, "directory", 'C', true},
    {3, "json", '\0', false},
};

// Each option met as "id=value" ("id" alone without a value), "bad=ARG"
// where parsing stops, then the operands as "+OPERAND".
std::vector<std::string> Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "program");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  CommandLine line(static_cast<int>(argv.size()), argv.data(), kOptions, 3);
  std::vector<std::string> seen;
  for (;;) {
    const char* value = nullptr;
    const int id = line.Next(&value);
    if (id == CommandLine::kEnd) break;
    if (id == CommandLine::kBad) {
      seen.push_back("bad=" + std::string(value));
      return seen;
    }
    seen.push_back(std::to_string(id) +
                   (value != nullptr ? "=" + std::string(value) : ""));
  }
  for (int i = 0; i < line.operand_count(); ++i)
    seen.push_back("+" + std::string(line.operands()[i]));
  return seen;
}

TEST(CommandLineTest, OptionsInAnyPositionAndOperandsInOrder) {
  const struct {
    std::vector<std::string> words;
    std::vector<std::string> seen;
  } cases[] = {
      {{"a", "-C", "d", "b"}, {"2=d", "+a", "+b"}},
      {{"-Cd", "a", "--directory=e", "--directory", "f"},
       {"2=d", "2=e", "2=f", "+a"}},
      {{"--directory="}, {"2="}},
      {{"a", "--json", "-h", "-", "b"}, {"3", "1", "+a", "+-", "+b"}},
      {{"--", "-h", "--json", "a"}, {"+-h", "+--json", "+a"}},
      {{"a", "--", "--"}, {"+a", "+--"}},
      {{"--jso"}, {"bad=--jso"}},  // no abbreviations
      {{"--json=1"}, {"bad=--json=1"}},
      {{"-hC", "d"}, {"bad=-hC"}},  // no bundling
      {{"a", "-C"}, {"bad=-C"}},
      {{"-x"}, {"bad=-x"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.words), c.seen);
}

}  // namespace
}  // namespace d88
