// Runs the built d88extract on images made in code and checks everything it
// does: exit status, the exact bytes on stdout and stderr, and the files in
// its folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace d88test {
namespace {

// "データ" in Shift_JIS, and the name it gets on the host.
const std::string kJapaneseName = "\x83\x66\x81\x5B\x83\x5E";

class ExtractTest : public ::testing::Test {
 protected:
  RunResult Extract(const Bytes& image) { return ws_.Run("d88extract", image); }

  // A two-disk image whose disks carry file tracks (seed 0 for Disk A,
  // seed 1 for Disk B) and whose catalogue lists entries.
  static Bytes TwoDisks(const std::vector<Entry>& entries,
                        const std::vector<int>& tracks_a,
                        const std::vector<int>& tracks_b) {
    DiskBuilder a("A");
    AddCatalogueTrack(&a, CatalogueBytes(entries));
    for (int t : tracks_a) a.AddFileTrack(t, 0);
    DiskBuilder b("B");
    for (int t : tracks_b) b.AddFileTrack(t, 1);
    return Concat({a.Build(), b.Build()});
  }

  // The listing: one line per given line, then empty entries up to 118.
  static std::string Listing(const std::vector<std::string>& lines) {
    std::string listing;
    for (const std::string& line : lines) listing += line + "\n";
    for (size_t i = lines.size(); i < 118; ++i)
      listing += kEmptyEntryLine + "\n";
    return Lines(listing);
  }

  Bytes Output(const std::string& name) const { return ws_.Output(name); }
  std::vector<std::string> Files() const { return ws_.Files(); }

  Workspace ws_;
  const std::string& work_ = ws_.work();
};

// --- Command line -----------------------------------------------------------

TEST_F(ExtractTest, WrongArgumentCountPrintsUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
    const std::string argv0 = ToolPath("d88extract");
    const RunResult run = RunTool("d88extract", args, work_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    if (!GetToolSetup().windows) {
      EXPECT_EQ(run.err, "Usage: " + argv0 + " [d88file]\n");
    } else {  // the host decides what the program's own name looks like
      EXPECT_EQ(run.err.rfind("Usage: ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find(Lines(" [d88file]\n")), std::string::npos)
          << run.err;
    }
  }
}

TEST_F(ExtractTest, MissingFileOrFolderCannotBeOpened) {
  for (const char* path : {"no-such.d88", "..", "."}) {
    const RunResult run = RunTool("d88extract", {path}, work_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, Lines(kCannotOpenMessage)) << path;
  }
}

TEST_F(ExtractTest, FewerThanTwoDisksIsRefused) {
  const Bytes one = DiskBuilder().Build();
  for (const Bytes& image :
       {Bytes{}, Bytes(100, 0), one, Concat({one, Bytes(687, 0)})}) {
    const RunResult run = Extract(image);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, Lines(kTwoDisksMessage)) << image.size();
  }
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractTest, ImagesWithTwoOrMoreDisksPass) {
  const Bytes one = DiskBuilder().Build();
  const Bytes self_repeating = DiskBuilder().SetSizeField(0).Build();
  for (const Bytes& image :
       {Concat({one, one}), Concat({one, one, one}), self_repeating}) {
    const RunResult run = Extract(image);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Listing({}));  // no catalogue: 118 empty entries
  }
  EXPECT_TRUE(Files().empty());
}

// --- Listing and extraction --------------------------------------------------

TEST_F(ExtractTest, ListsEveryEntryAndWritesEachReadableFile) {
  const std::vector<Entry> entries = {
      {"HELLO", 0, 2, 1, 2},
      {"CROSS.BIN", 0, 2, 4,
       6},  // R 4 and 5 of track 2, all of track 3, R 1 of 4
      {kJapaneseName, 1, 6, 2, 1},
      {"SPACE NAM", 1, 7, 5, 1},  // the name ends at the space
      {"NOTHING", 0, 40, 1, 3},   // absent track
      {"EMPTY", 0, 2, 1, 0},
      {"FAR", 2, 2, 1, 1},  // no disk 2
  };
  const RunResult run = Extract(TwoDisks(entries, {2, 3, 4}, {6, 7}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, Listing({
                         "HELLO      DISK:00 TRK:02 SEC:01 SIZE:800",
                         "CROSS.BIN  DISK:00 TRK:02 SEC:04 SIZE:1800",
                         kJapaneseName + "     DISK:01 TRK:06 SEC:02 SIZE:400",
                         "SPACE      DISK:01 TRK:07 SEC:05 SIZE:400",
                         "NOTHING    DISK:00 TRK:28 SEC:01 SIZE:c00",
                         "EMPTY      DISK:00 TRK:02 SEC:01 SIZE:00",
                         "FAR        DISK:02 TRK:02 SEC:01 SIZE:400",
                     }));
  EXPECT_EQ(Output("HELLO"), FileContents(0, 2, 1, 2));
  EXPECT_EQ(Output("CROSS.BIN"), FileContents(0, 2, 4, 6));
  EXPECT_EQ(Output("SPACE"), FileContents(1, 7, 5, 1));
  EXPECT_EQ(Files().size(), 4u);
  // On Windows the Shift_JIS name becomes the same name in Unicode.
  EXPECT_EQ(
      Output(GetToolSetup().windows ? "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF"
                                    : kJapaneseName),
      FileContents(1, 6, 2, 1));
}

TEST_F(ExtractTest, ShortRunsKeepTheirLengthAndZeroWhatWasNotRead) {
  DiskBuilder a("A");
  AddCatalogueTrack(&a, CatalogueBytes({
                            {"BIG", 0, 2, 1, 10},
                            {"CUT", 0, 4, 1, 10},  // two sectors, then a gap
                            {"TAIL", 0, 5, 1, 3},  // R 2 holds 100 bytes
                            {"SHORT1ST", 0, 6, 1, 1},  // 256-byte first sector
                        }));
  a.AddFileTrack(2, 0).AddFileTrack(3, 0);
  a.AddSector(4, 2, 0, 1, 3, Bytes(1024, 0x41))
      .AddSector(4, 2, 0, 2, 3, Bytes(1024, 0x42));
  a.AddSector(5, 2, 1, 1, 3, Bytes(1024, 0x43))
      .AddSector(5, 2, 1, 2, 3, Bytes(100, 0x44));
  a.AddSector(6, 3, 0, 1, 3, Bytes(256, 0x45));
  const RunResult run = Extract(Concat({a.Build(), DiskBuilder().Build()}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Output("BIG"), FileContents(0, 2, 1, 10));
  Bytes cut(10240, 0);
  std::fill_n(cut.begin(), 1024, 0x41);
  std::fill_n(cut.begin() + 1024, 1024, 0x42);
  EXPECT_EQ(Output("CUT"), cut);
  Bytes tail(3072, 0);
  std::fill_n(tail.begin(), 1024, 0x43);
  std::fill_n(tail.begin() + 1024, 100, 0x44);
  EXPECT_EQ(Output("TAIL"), tail);
  EXPECT_EQ(Files(), (std::vector<std::string>{"BIG", "CUT", "TAIL"}));
}

TEST_F(ExtractTest, LaterDuplicateReplacesOnlyIfItCanBeRead) {
  const RunResult run = Extract(TwoDisks({{"SAME", 0, 2, 1, 1},
                                          {"SAME", 0, 9, 1, 1},  // unreadable
                                          {"TWICE", 0, 2, 1, 1},
                                          {"TWICE", 1, 3, 2, 2}},
                                         {2}, {3}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Output("SAME"), FileContents(0, 2, 1, 1));
  EXPECT_EQ(Output("TWICE"), FileContents(1, 3, 2, 2));
  EXPECT_EQ(Files(), (std::vector<std::string>{"SAME", "TWICE"}));
}

TEST_F(ExtractTest, ListingReaderGoingAwayCutsNothingShort) {
  // A write to a closed pipe can only end a process on POSIX hosts.
  if (GetToolSetup().windows) GTEST_SKIP();
  std::vector<Entry> entries;
  for (int i = 0; i < 118; ++i)
    entries.push_back({"F" + std::to_string(i), 0, 2, 1, 1});
  entries[0].name = "..";  // its message flushes the listing early
  ASSERT_TRUE(
      WriteBytes(ws_.root() + "/image.d88", TwoDisks(entries, {2}, {})));
  RunOptions reader_gone;
  reader_gone.reader_gone = true;
  const RunResult run =
      RunTool("d88extract", {"../image.d88"}, work_, reader_gone);
  EXPECT_EQ(run.status, 1);  // for the refused name alone
  EXPECT_EQ(Files().size(), 117u) << run.err;
}

TEST_F(ExtractTest, MissingCatalogueListsEmptyEntries) {
  DiskBuilder a("A");
  a.AddFileTrack(2, 0);
  const RunResult run = Extract(Concat({a.Build(), DiskBuilder().Build()}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, Listing({}));
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractTest, UnsafeNamesAreRefusedAndNothingLeavesTheFolder) {
  const RunResult run =
      Extract(TwoDisks({{"..", 0, 2, 1, 1},
                        {".", 0, 2, 1, 1},
                        {"../x", 0, 2, 1, 1},
                        {"/tmp", 0, 2, 1, 1},
                        {"", 0, 2, 1, 1},
                        {"..", 0, 9, 1, 1},  // unreadable: silent
                        {"OK", 0, 2, 1, 1}},
                       {2}, {}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Lines(".." + kRefusedNameMessage + "." +
                           kRefusedNameMessage + "../x" + kRefusedNameMessage +
                           "/tmp" + kRefusedNameMessage + kRefusedNameMessage));
  EXPECT_EQ(Files(), std::vector<std::string>{"OK"});
  EXPECT_TRUE(ws_.NothingOutsideWork());
}

TEST_F(ExtractTest, HostNameRules) {
  const RunResult run =
      Extract(TwoDisks({{"A:B", 0, 2, 1, 1},
                        {"C\\D", 0, 2, 1, 1},
                        {"\x83", 0, 2, 1, 1},       // a lead byte alone
                        {"\x83\x5C", 0, 2, 1, 1}},  // "ソ"
                       {2}, {}));
  if (GetToolSetup().windows) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              Lines("A:B" + kRefusedNameMessage + "C\\D" + kRefusedNameMessage +
                    "\x83" + kRefusedNameMessage));
    EXPECT_EQ(Files(), std::vector<std::string>{"\xE3\x82\xBD"});
  } else {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"A:B", "C\\D", "\x83", "\x83\x5C"}));
  }
}

TEST_F(ExtractTest, UnwritableFileIsReportedAndTheRestStillWritten) {
  ASSERT_EQ(mkdir((work_ + "/DIR").c_str(), 0755), 0);
  const RunResult run =
      Extract(TwoDisks({{"DIR", 0, 2, 1, 1}, {"AFTER", 0, 2, 2, 1}}, {2}, {}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, Lines("DIR" + kWriteFailedMessage));
  EXPECT_EQ(Output("AFTER"), FileContents(0, 2, 2, 1));
  // No temporary file is left behind, and the folder in the way is intact.
  EXPECT_EQ(Files(), (std::vector<std::string>{"AFTER", "DIR"}));
  EXPECT_TRUE(ListDir(work_ + "/DIR").empty());
}

}  // namespace
}  // namespace d88test
