// SPDX-License-Identifier: MIT

// How the built programs spell names and messages: as their code page 932
// bytes in the C locale (and on Windows into a file or pipe), converted in a
// UTF-8 locale, with control characters shown as '?' on a terminal; which
// names each host refuses; and image paths that are not ASCII.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace d88test {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// How one entry name reaches the user and the file system.
struct NameCase {
  std::string name;        // the entry's bytes (code page 932)
  std::string shown_utf8;  // as a UTF-8 locale lists it
  // The file it becomes in the C locale, in a UTF-8 locale and on Windows;
  // "" where it is refused.
  std::string file_c, file_utf8, file_windows;
};

const NameCase kNames[] = {
    {"\x83\x66\x81\x5B\x83\x5E", "データ", "\x83\x66\x81\x5B\x83\x5E", "データ",
     "データ"},
    {"\xB1\xB2\xB3", "ｱｲｳ", "\xB1\xB2\xB3", "ｱｲｳ", "ｱｲｳ"},
    {"\x83\x5C", "ソ", "\x83\x5C", "ソ", "ソ"},
    {"A\x80"
     "B",
     "A" + kReplacement + "B",
     "A\x80"
     "B",
     "", ""},
    {"AB\x83", "AB" + kReplacement, "AB\x83", "", ""},
    {"\x01X\x1B", "\x01X\x1B", "\x01X\x1B", "\x01X\x1B", ""},
};

std::vector<Entry> NameEntries() {
  std::vector<Entry> entries;
  for (const NameCase& c : kNames) entries.push_back({c.name, 0, 2, 1, 1});
  entries.push_back({"DIR", 0, 2, 1, 1});  // a folder is in its way
  return entries;
}

Bytes NameImage(const std::string& disk_name = "A") {
  DiskBuilder a(disk_name);
  AddCatalogueTrack(&a, CatalogueBytes(NameEntries()));
  a.AddFileTrack(2, 0);
  return Concat({a.Build(), DiskBuilder("B").Build()});
}

TEST(TextTest, NamesAndMessagesInEachLocale) {
  const bool windows = GetToolSetup().windows;
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    RunOptions options;
    options.locale = locale;
    const bool utf8 = ConvertsText(options);
    Workspace ws;
    ASSERT_EQ(mkdir((ws.work() + "/DIR").c_str(), 0755), 0);
    const RunResult run = ws.Run("d88extract", NameImage(), {}, options);
    std::string listing, messages;
    std::set<std::string> files = {"DIR"};
    for (const NameCase& c : kNames) {
      const std::string shown = utf8 ? c.shown_utf8 : c.name;
      listing += shown + std::string(9 - c.name.size(), ' ') +
                 "  DISK:00 TRK:02 SEC:01 SIZE:400\n";
      const std::string& file = windows ? c.file_windows
                                : utf8  ? c.file_utf8
                                        : c.file_c;
      if (file.empty()) {
        messages +=
            shown + (utf8 ? kRefusedNameMessageUtf8 : kRefusedNameMessage);
      } else {
        files.insert(file);
      }
    }
    listing += "DIR        DISK:00 TRK:02 SEC:01 SIZE:400\n";
    messages += "DIR" + (utf8 ? kWriteFailedMessageUtf8 : kWriteFailedMessage);
    for (size_t i = std::size(kNames) + 1; i < 118; ++i)
      listing += kEmptyEntryLine + "\n";
    EXPECT_EQ(run.out, Lines(listing));
    EXPECT_EQ(run.err, Lines(messages));
    const std::vector<std::string> written = ws.Files();
    EXPECT_EQ(std::set<std::string>(written.begin(), written.end()), files);
    EXPECT_EQ(ws.Output("\x01X\x1B").size(), windows ? 0u : 1024u);
  }
}

TEST(TextTest, MessagesInAUtf8Locale) {
  if (GetToolSetup().windows) GTEST_SKIP() << "output to a pipe is bytes";
  RunOptions utf8;
  utf8.locale = "C.UTF-8";
  Workspace ws;
  RunResult run = RunTool("d88extract", {"missing.d88"}, ws.work(), utf8);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, kCannotOpenMessageUtf8);
  run = ws.Run("d88extract", DiskBuilder().Build(), {}, utf8);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, kTwoDisksMessageUtf8);
  run = RunTool("d88extract", {}, ws.work(), utf8);
  EXPECT_EQ(run.err, "Usage: " + ToolPath("d88extract") + " [d88file]\n");
}

// A terminal never gets a name's control characters: an image must not be
// able to send escape sequences to the user's terminal.
TEST(TextTest, TerminalsGetNoControlCharactersOfNames) {
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    RunOptions options;
    options.locale = locale;
    options.terminal = true;
    Workspace ws;
    const RunResult run = ws.Run("d88extract", NameImage(), {}, options);
    // Wine's console mixes cursor movements into what it shows, so there
    // only the names can be looked for.
    if (GetToolSetup().windows) {
      EXPECT_NE(run.out.find("?X?"), std::string::npos) << run.out;
    } else {
      EXPECT_NE(run.out.find("?X?        DISK:00"), std::string::npos)
          << run.out;
      EXPECT_EQ(run.out.find("\x1B"), std::string::npos);
      EXPECT_EQ(run.out.find("\x01"), std::string::npos);
    }
    // On a Windows console every name is readable, whatever the locale.
    if (GetToolSetup().windows || ConvertsText(options)) {
      EXPECT_NE(run.out.find("データ"), std::string::npos) << run.out;
    }
    // The file keeps its real name.
    EXPECT_EQ(ws.Output("\x01X\x1B").size(),
              GetToolSetup().windows ? 0u : 1024u);
  }
}

TEST(TextTest, ReportShowsNamesForPeople) {
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    RunOptions options;
    options.locale = locale;
    Workspace ws;
    // A disk name that would set a terminal's title, and split a line.
    const RunResult run =
        ws.Run("d88info", NameImage("\x1B]0;X\x07\nY"), {}, options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("  ?]0;X??Y" + Lines("\n")), std::string::npos)
        << run.out;
    const std::string data = ConvertsText(options) ? "データ" : kNames[0].name;
    EXPECT_NE(run.out.find("    0  " + data + "     00    02"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("    5  ?X?        00    02"), std::string::npos);
  }
}

// Windows keeps some names for itself, or changes them: those are refused,
// and d88info says so too. Other hosts take them all.
TEST(TextTest, NamesWindowsWillNotTake) {
  const struct {
    std::string name;
    bool windows_takes;
  } cases[] = {
      {"A*B", false},     {"Q?", false},        {"P|", false},
      {"<A>", false},     {"\"Q\"", false},     {"A:B", false},
      {"C\\D", false},    {"X.", false},        {"CON", false},
      {"nul.txt", false}, {"Com1", false},      {"LPT9.DAT", false},
      {"CONIN$", false},  {"conout$.a", false}, {"AUX", false},
      {"PRN.X", false},   {"COM", true},        {"CONX", true},
      {"COM10", true},    {"X.Y", true},        {"\x83\x7C", true},  // ポ
      {"\x83\x5C", true},                                            // ソ
  };
  std::vector<Entry> entries;
  for (const auto& c : cases) entries.push_back({c.name, 0, 2, 1, 1});
  DiskBuilder a("A");
  AddCatalogueTrack(&a, CatalogueBytes(entries));
  a.AddFileTrack(2, 0);
  const Bytes image = Concat({a.Build(), DiskBuilder("B").Build()});
  Workspace ws;
  const RunResult info = ws.Run("d88info", image);
  const RunResult extract = ws.Run("d88extract", image);
  const bool windows = GetToolSetup().windows;
  std::string refused;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const bool taken = !windows || cases[i].windows_takes;
    SCOPED_TRACE(cases[i].name);
    if (!taken) refused += cases[i].name + kRefusedNameMessage;
    const std::string verdict = taken ? "ok" : "refused name";
    const size_t line = info.out.find((i < 10 ? "    " : "   ") +
                                      std::to_string(i) + "  " + cases[i].name);
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(info.out.substr(info.out.find('\n', line) - verdict.size() -
                                  (windows ? 1 : 0),
                              verdict.size()),
              verdict);
  }
  EXPECT_EQ(extract.err, Lines(refused));
  const size_t taken_count =
      windows ? 6 : std::size(cases);  // COM, CONX, COM10, X.Y, ポ, ソ
  EXPECT_EQ(ws.Files().size(), taken_count);
}

TEST(TextTest, ImagePathsThatAreNotAscii) {
  Workspace ws;
  const std::string folder = ws.root() + "/日本語のフォルダ";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(folder + "/画像.d88", NameImage()));
  RunOptions options;
  options.locale = "C.UTF-8";
  const RunResult run = RunTool("d88extract", {"../日本語のフォルダ/画像.d88"},
                                ws.work(), options);
  EXPECT_EQ(
      run.out.rfind(
          ConvertsText(options) ? std::string("データ") : kNames[0].name, 0),
      0u);
  // The UTF-8 locale refuses the two names that do not decode; Windows
  // also the one with control characters.
  EXPECT_EQ(ws.Files().size(), GetToolSetup().windows ? 4u : 5u);
  const RunResult info =
      RunTool("d88info", {"../日本語のフォルダ/画像.d88"}, ws.work(), options);
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.substr(0, 7), "2 disks");
}

}  // namespace
}  // namespace d88test
