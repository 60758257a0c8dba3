// SPDX-License-Identifier: MIT

// Runs the built d88extract on images made in code and checks everything it
// does: exit status, the exact bytes on stdout and stderr, and the files in
// its folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(ExtractTest, WrongUsagePrintsUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"--bogus", "a"},
        std::vector<std::string>{"a", "-C"},
        std::vector<std::string>{"-C", "x"},
        std::vector<std::string>{"--help=x"}, std::vector<std::string>{"-hx"},
        std::vector<std::string>{"--dir=x", "a"}}) {
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
    // No catalogue: 118 empty entries, and the loss is told.
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, Lines(kUnreadableCatalogueMessage));
    EXPECT_EQ(run.out, Listing({}));
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
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines("NOTHING" + kUnreadableFileMessage + "FAR" +
                           kUnreadableFileMessage));
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
  // What could be read is kept, and the loss is told.
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            Lines("CUT" + kPartialFileMessage + "TAIL" + kPartialFileMessage +
                  "SHORT1ST" + kUnreadableFileMessage));
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
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines("SAME" + kUnreadableFileMessage));
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
  EXPECT_EQ(run.status, 2);  // for the refused name alone
  EXPECT_EQ(Files().size(), 117u) << run.err;
}

TEST_F(ExtractTest, MissingCatalogueListsEmptyEntries) {
  DiskBuilder a("A");
  a.AddFileTrack(2, 0);
  const RunResult run = Extract(Concat({a.Build(), DiskBuilder().Build()}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines(kUnreadableCatalogueMessage));
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
                        {"..", 0, 9, 1, 1},  // unreadable: no file anyway
                        {"OK", 0, 2, 1, 1}},
                       {2}, {}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            Lines(".." + kRefusedNameMessage + "." + kRefusedNameMessage +
                  "../x" + kRefusedNameMessage + "/tmp" + kRefusedNameMessage +
                  kRefusedNameMessage + ".." + kUnreadableFileMessage));
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
    EXPECT_EQ(run.status, 2);
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
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines("DIR" + kWriteFailedMessage));
  EXPECT_EQ(Output("AFTER"), FileContents(0, 2, 2, 1));
  // No temporary file is left behind, and the folder in the way is intact.
  EXPECT_EQ(Files(), (std::vector<std::string>{"AFTER", "DIR"}));
  EXPECT_TRUE(ListDir(work_ + "/DIR").empty());
}

TEST_F(ExtractTest, AFailedWriteLeavesAnOlderFileIntact) {
  const Bytes older = {'o', 'l', 'd'};
  ASSERT_TRUE(WriteBytes(work_ + "/BIG", older));
  RunOptions limited;
  limited.file_size_limit = 8192;  // room for the listing, not for BIG
  const RunResult run = ws_.Run(
      "d88extract",
      TwoDisks({{"BIG", 0, 2, 1, 10}, {"SMALL", 0, 2, 1, 1}}, {2, 3}, {}), {},
      limited);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines("BIG" + kWriteFailedMessage));
  EXPECT_EQ(Output("BIG"), older);
  EXPECT_EQ(Output("SMALL"), FileContents(0, 2, 1, 1));
  EXPECT_EQ(Files(), (std::vector<std::string>{"BIG", "SMALL"}));
}

// --- Several images, input that is not a file, options ----------------------

// Disk A with a catalogue of files on both disks, Disk B, and a third disk.
struct ThreeDisks {
  Bytes a, b, c;
  ThreeDisks() {
    DiskBuilder disk_a("A");
    AddCatalogueTrack(&disk_a, CatalogueBytes({{"ON.A", 0, 2, 1, 2},
                                               {"ON.B", 1, 3, 5, 2},
                                               {"ON.C", 2, 4, 1, 1}}));
    disk_a.AddFileTrack(2, 0);
    a = disk_a.Build();
    b = DiskBuilder("B").AddFileTrack(3, 1).AddFileTrack(4, 1).Build();
    c = DiskBuilder("C").AddFileTrack(4, 2).Build();
  }
};

TEST_F(ExtractTest, SeveralImageFilesReadLikeTheirJoin) {
  const ThreeDisks d;
  const struct {
    std::vector<Bytes> files;
  } cases[] = {{{d.a, d.b}}, {{d.a, d.b, d.c}}};
  for (const auto& c : cases) {
    Workspace joined;
    const RunResult cat = joined.Run("d88extract", Concat(c.files));
    Workspace separate;
    std::vector<std::string> paths;
    for (size_t i = 0; i < c.files.size(); ++i) {
      paths.push_back("../disk" + std::to_string(i) + ".d88");
      ASSERT_TRUE(WriteBytes(separate.root() + "/" + paths.back().substr(3),
                             c.files[i]));
    }
    const RunResult run = RunTool("d88extract", paths, separate.work());
    EXPECT_EQ(run.status, cat.status);
    EXPECT_EQ(run.out, cat.out);
    EXPECT_EQ(run.err, cat.err);
    EXPECT_EQ(separate.Files(), joined.Files());
    for (const std::string& name : joined.Files())
      EXPECT_EQ(separate.Output(name), joined.Output(name)) << name;
  }
}

TEST_F(ExtractTest, EachFileIsAnImageOfItsOwn) {
  // Disk A's size field is wrong: joined, Disk B is lost; as two files, it
  // is found at the start of its own file, and reads stay in their file.
  ThreeDisks d;
  d.a[0x1C] = 0xFF;
  d.a[0x1D] = 0xFF;
  ASSERT_TRUE(WriteBytes(ws_.root() + "/a.d88", d.a));
  ASSERT_TRUE(WriteBytes(ws_.root() + "/b.d88", d.b));
  RunResult run = RunTool("d88extract", {"../a.d88", "../b.d88"}, work_);
  EXPECT_EQ(run.status, 2);  // ON.C names a third disk
  EXPECT_EQ(Output("ON.A"), FileContents(0, 2, 1, 2));
  EXPECT_EQ(Output("ON.B"), FileContents(1, 3, 5, 2));
  run = Extract(Concat({d.a, d.b}));
  EXPECT_EQ(run.err, Lines(kTwoDisksMessage));
}

TEST_F(ExtractTest, AnImageThatCannotBeOpenedAmongSeveral) {
  const ThreeDisks d;
  ASSERT_TRUE(WriteBytes(ws_.root() + "/a.d88", d.a));
  ASSERT_TRUE(WriteBytes(ws_.root() + "/b.d88", d.b));
  const RunResult run = RunTool(
      "d88extract", {"../a.d88", "missing.d88", "..", "../b.d88"}, work_);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Lines("missing.d88: " + kCannotOpenMessage +
                           "..: " + kCannotOpenMessage));
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractTest, InputThatCannotBeReadAtAPosition) {
  const ThreeDisks d;
  const Bytes image = Concat({d.a, d.b});
  const RunResult file = Extract(image);
  RunOptions piped;
  piped.input = &image;
  std::vector<std::string> paths = {"-"};
  if (!GetToolSetup().windows) paths.push_back("/dev/stdin");
  for (const std::string& path : paths) {
    Workspace ws;
    const RunResult run = RunTool("d88extract", {path}, ws.work(), piped);
    EXPECT_EQ(run.out, file.out) << path;
    EXPECT_EQ(run.status, file.status);
    EXPECT_EQ(ws.Output("ON.B"), FileContents(1, 3, 5, 2));
  }
  // The same image in two pipes' worth: one file piped, one not.
  Workspace ws;
  ASSERT_TRUE(WriteBytes(ws.root() + "/b.d88", d.b));
  piped.input = &d.a;
  const RunResult run =
      RunTool("d88extract", {"-", "../b.d88"}, ws.work(), piped);
  EXPECT_EQ(run.out, file.out);
  EXPECT_EQ(ws.Output("ON.B"), FileContents(1, 3, 5, 2));
}

TEST_F(ExtractTest, AFifoIsReadAsAnImage) {
  if (GetToolSetup().windows) GTEST_SKIP() << "no FIFOs on Windows";
  const ThreeDisks d;
  const Bytes image = Concat({d.a, d.b});
  const std::string fifo = ws_.root() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    const bool ok = WriteBytes(fifo, image);
    _exit(ok ? 0 : 1);
  }
  const RunResult run = RunTool("d88extract", {"../fifo"}, work_);
  int status = -1;
  waitpid(writer, &status, 0);
  EXPECT_EQ(run.status, 2);  // ON.C names a third disk
  EXPECT_EQ(Output("ON.A"), FileContents(0, 2, 1, 2));
  EXPECT_EQ(Output("ON.B"), FileContents(1, 3, 5, 2));
  std::vector<std::string> names = Files();
  EXPECT_EQ(names, (std::vector<std::string>{"ON.A", "ON.B"}));
}

TEST_F(ExtractTest, HelpAndVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"x.d88", "-h"}}) {
    const RunResult run = RunTool("d88extract", args, work_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Usage: d88extract [OPTION]... IMAGE...", 0), 0u);
    for (const char* option : {"--directory", "--help", "--version"})
      EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
  const RunResult run = RunTool("d88extract", {"--version"}, work_);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, Lines("d88extract 1.0.0\n"));
}

TEST_F(ExtractTest, ExtractsIntoAnotherFolder) {
  const ThreeDisks d;
  ASSERT_TRUE(WriteBytes(ws_.root() + "/image.d88", Concat({d.a, d.b})));
  ASSERT_EQ(mkdir((work_ + "/out").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((work_ + "/other").c_str(), 0755), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-C", "out", "../image.d88"},
        {"../image.d88", "-Cout"},
        {"--directory=other", "../image.d88", "--directory", "out"}}) {
    // The image path counts from where the tool starts, not from DIR.
    const RunResult run = RunTool("d88extract", args, work_);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.substr(0, 4), "ON.A");
    EXPECT_EQ(ListDir(work_ + "/out"),
              (std::vector<std::string>{"ON.A", "ON.B"}));
    EXPECT_TRUE(ListDir(work_ + "/other").empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"other", "out"}));
  }
  const RunResult run =
      RunTool("d88extract", {"-C", "missing", "../image.d88"}, work_);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("d88extract: cannot extract into missing: ", 0), 0u)
      << run.err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"other", "out"}));
}

// --- Output that cannot be written ------------------------------------------

TEST_F(ExtractTest, AListingThatCannotBeWrittenIsAFailure) {
  if (GetToolSetup().windows) GTEST_SKIP() << "no /dev/full to write to";
  const ThreeDisks d;
  const Bytes image = Concat({d.a, d.b, d.c});
  RunOptions full;
  full.stdout_path = "/dev/full";
  RunResult run = ws_.Run("d88extract", image, {}, full);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "d88extract: cannot write standard output: No space left on "
            "device\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"ON.A", "ON.B", "ON.C"}));

  // Closed before the program starts: no file the program opens takes its
  // place, so every file holds its own bytes.
  Workspace closed_ws;
  RunOptions closed;
  closed.stdout_closed = true;
  run = closed_ws.Run("d88extract", image, {}, closed);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "d88extract: cannot write standard output: Bad file descriptor\n");
  EXPECT_EQ(closed_ws.Output("ON.A"), FileContents(0, 2, 1, 2));
  EXPECT_EQ(closed_ws.Output("ON.C"), FileContents(2, 4, 1, 1));
}

TEST_F(ExtractTest, AReaderThatHasGoneIsNoFailure) {
  const ThreeDisks d;
  ASSERT_TRUE(WriteBytes(ws_.root() + "/image.d88", Concat({d.a, d.b, d.c})));
  RunOptions reader_gone;
  reader_gone.reader_gone = true;
  const RunResult run =
      RunTool("d88extract", {"../image.d88"}, work_, reader_gone);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Files().size(), 3u);
}

}  // namespace
}  // namespace d88test
