// SPDX-License-Identifier: MIT

// The manual pages against the programs: every option that a program's
// --help names is in its page, so that the two cannot drift apart.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/test_support.h"

namespace d88test {
namespace {

// The page's text with roff's escapes for a hyphen and for fonts taken out.
std::string PageText(const std::string& program) {
  const std::string page =
      ReadText(std::string(D88_MANUAL_DIR) + "/" + program + ".1");
  std::string text;
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '\\' && i + 1 < page.size() && page[i + 1] == '-') {
      continue;  // "\-" is a plain hyphen
    }
    if (page[i] == '\\' && i + 2 < page.size() && page[i + 1] == 'f') {
      i += 2;  // "\fB", "\fR", "\fI"
      continue;
    }
    text += page[i];
  }
  return text;
}

bool IsWordByte(char ch) {
  return std::isalnum(static_cast<unsigned char>(ch)) || ch == '-';
}

// True when text holds word with no word byte right before or after it.
bool HasWord(const std::string& text, const std::string& word) {
  for (size_t at = 0; (at = text.find(word, at)) != std::string::npos; ++at) {
    const size_t end = at + word.size();
    if ((at == 0 || !IsWordByte(text[at - 1])) &&
        (end == text.size() || !IsWordByte(text[end]))) {
      return true;
    }
  }
  return false;
}

TEST(ManualTest, EveryOptionOfHelpIsInThePage) {
  for (const std::string program : {"d88extract", "d88info"}) {
    SCOPED_TRACE(program);
    TempDir dir;
    const RunResult help = RunTool(program, {"--help"}, dir.path());
    ASSERT_EQ(help.status, 0);
    const std::string page = PageText(program);
    ASSERT_FALSE(page.empty());
    int options = 0;
    // Options are the words of --help that start with "-" and a letter or
    // a second "-".
    for (size_t at = 0; (at = help.out.find('-', at)) != std::string::npos;) {
      const bool starts_word = at == 0 || help.out[at - 1] == ' ' ||
                               help.out[at - 1] == '[' ||
                               help.out[at - 1] == '\n';
      size_t end = at + 1;
      while (end < help.out.size() && IsWordByte(help.out[end])) ++end;
      const std::string word = help.out.substr(at, end - at);
      at = end;
      if (!starts_word || word.size() < 2 || word == "--") continue;
      ++options;
      EXPECT_TRUE(HasWord(page, word)) << word;
    }
    EXPECT_GE(options, 3);
  }
}

}  // namespace
}  // namespace d88test
