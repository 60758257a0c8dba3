// SPDX-License-Identifier: MIT

// Runs the built d88info: the disk lines, each verdict (checked against what
// d88extract really writes for the same image), the track listing, its
// command line, and the real images that other people's tools wrote.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace d88test {
namespace {

// Lines of text, "\r\n" or "\n" ended.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
  }
  return lines;
}

// The line of the report that starts with prefix, or "" if none.
std::string LineStarting(const std::string& report, const std::string& prefix) {
  for (const std::string& line : SplitLines(report)) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return "";
}

class InfoTest : public ::testing::Test {
 protected:
  RunResult Info(const Bytes& image, const std::vector<std::string>& args = {},
                 const RunOptions& options = {}) {
    return ws_.Run("d88info", image, args, options);
  }

  Workspace ws_;
  const std::string& work_ = ws_.work();
};

TEST_F(InfoTest, DiskLinesShowWhatEachHeaderHolds) {
  DiskBuilder a("FIRST DISK", 0x10);
  a.AddFileTrack(2, 0).AddFileTrack(7, 0);
  const Bytes first = a.Build();
  const Bytes image = Concat(
      {first, DiskBuilder("", 0x20).Build(), DiskBuilder("X", 0x33).Build()});
  const RunResult run = Info(image);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string size = std::to_string(first.size());
  const std::string padded_size = size + std::string(12 - size.size(), ' ');
  EXPECT_EQ(
      LineStarting(run.out, "   0  "),
      "   0  0           " + padded_size + "0x10 2DD         2  FIRST DISK");
  EXPECT_EQ(LineStarting(run.out, "   1  "),
            "   1  " + padded_size + "688         0x20 2HD         0  ");
  EXPECT_NE(LineStarting(run.out, "   2  ").find("0x33 unknown"),
            std::string::npos);
  EXPECT_EQ(SplitLines(run.out)[0], "3 disks");
  EXPECT_TRUE(ws_.Files().empty());
}

// An image with an entry for every verdict.
Bytes VerdictImage() {
  DiskBuilder a("A");
  AddCatalogueTrack(&a, CatalogueBytes({
                            {"OK", 0, 2, 1, 2},
                            {"GAP", 0, 2, 4, 4},        // track 3 is absent
                            {"SHORTTAIL", 0, 4, 1, 3},  // R 2 holds 100 bytes
                            {"EMPTY", 0, 2, 1, 0},
                            {"FAR", 2, 2, 1, 1},
                            {"NOTRACK", 1, 9, 1, 1},
                            {"NOSECTOR", 0, 2, 6, 1},
                            {"SHORT1ST", 0, 4, 2, 1},
                            {"..", 0, 2, 1, 1},
                            {"B", 1, 0, 1, 1},
                            {"CUTEND", 1, 1, 1, 2},  // the file ends in R 2
                        }));
  a.AddFileTrack(2, 0);
  a.AddSector(4, 2, 0, 1, 3, Bytes(1024, 1))
      .AddSector(4, 2, 0, 2, 3, Bytes(100, 2));
  DiskBuilder b("B");
  b.AddFileTrack(0, 1);
  b.AddSector(1, 0, 1, 1, 3, Bytes(1024, 3))
      .AddSector(1, 0, 1, 2, 3, Bytes(1024, 4));
  Bytes image = Concat({a.Build(), b.Build()});
  image.resize(image.size() - 100);
  return image;
}

TEST_F(InfoTest, EveryVerdictMatchesWhatExtractionWrites) {
  const Bytes image = VerdictImage();
  const RunResult run = Info(image);
  EXPECT_EQ(run.status, 0);
  const struct {
    std::string name;
    std::string verdict;
    bool written;
  } expected[] = {
      {"OK", "ok", true},
      {"GAP", "partial 2048/4096 (track absent)", true},
      {"SHORTTAIL", "partial 1024/3072 (short sector)", true},
      {"EMPTY", "nothing (empty)", false},
      {"FAR", "nothing (disk out of range)", false},
      {"NOTRACK", "nothing (track absent)", false},
      {"NOSECTOR", "nothing (first sector not found)", false},
      {"SHORT1ST", "nothing (first sector short)", false},
      {"..", "refused name", false},
      {"B", "ok", true},
      {"CUTEND", "partial 1024/2048 (sector cut short by the end of the file)",
       true},
  };
  ws_.Run("d88extract", image);
  const std::vector<std::string> files = ws_.Files();
  for (size_t i = 0; i < std::size(expected); ++i) {
    const std::string index = std::to_string(i);
    const std::string line = LineStarting(
        run.out, std::string(5 - index.size(), ' ') + index + "  ");
    SCOPED_TRACE(line);
    EXPECT_EQ(line.substr(7, 9), (expected[i].name + "         ").substr(0, 9));
    EXPECT_EQ(line.substr(line.size() - expected[i].verdict.size()),
              expected[i].verdict);
    const bool written =
        std::find(files.begin(), files.end(), expected[i].name) != files.end();
    EXPECT_EQ(written, expected[i].written);
  }
  EXPECT_EQ(LineStarting(run.out, "    0  "),
            "    0  OK         00    02   01   800    ok");
  EXPECT_EQ(LineStarting(run.out, "   11  "),
            "");  // all-zero entries are left out
  EXPECT_NE(run.out.find("11 of 118 entries in use"), std::string::npos);
}

TEST_F(InfoTest, TracksListRecordsInWalkOrder) {
  DiskBuilder a("A");
  a.AddSector(5, 2, 1, 9, 1, Bytes(256, 0))
      .AddSector(5, 2, 1, 3, 3, Bytes(1000, 0));
  Record zero_count;
  zero_count.count = 0;
  zero_count.r = 7;
  a.AddRecord(6, zero_count);
  a.SetTrackOffset(7, 40);  // inside the header: the table read as records
  const RunResult run =
      Info(Concat({a.Build(), DiskBuilder().Build()}), {"--tracks"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(LineStarting(run.out, "    5:"),
            "    5:  02 01 09 01 256  02 01 03 03 1000");
  EXPECT_EQ(LineStarting(run.out, "    6:").substr(0, 24),
            "    6:  00 00 07 03 0  0");
  EXPECT_NE(LineStarting(run.out, "    7:"), "");
  EXPECT_NE(run.out.find("0 of 118 entries in use"), std::string::npos);
  EXPECT_NE(run.out.find("tracks of disk 1"), std::string::npos);
}

TEST_F(InfoTest, CommandLine) {
  for (const char* help : {"--help", "-h"}) {
    const RunResult run = RunTool("d88info", {"x.d88", help}, work_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: d88info", 0), 0u);
    EXPECT_EQ(run.err, "");
  }
  RunResult run = RunTool("d88info", {"--version"}, work_);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, Lines("d88info 1.0.0\n"));
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--bogus", "x"},
                                               {"--tracks"},
                                               {"--track", "x"},
                                               {"--json=1", "x"}}) {
    run = RunTool("d88info", args, work_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("Usage: d88info", 0), 0u);
  }
  run = RunTool("d88info", {"missing.d88"}, work_);
  EXPECT_EQ(run.status, 1);
  // The system's reason follows, in the host's words.
  EXPECT_EQ(run.err.rfind("d88info: cannot open missing.d88: ", 0), 0u)
      << run.err;
  EXPECT_GT(run.err.size(), 40u);
  run = Info({});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(SplitLines(run.out)[0], "0 disks");
  // Input from a pipe whose copy cannot be made says why.
  if (!GetToolSetup().windows) {
    const Bytes image = Concat({DiskBuilder().Build(), DiskBuilder().Build()});
    RunOptions no_room;
    no_room.input = &image;
    no_room.environment = {"TMPDIR=" + ws_.root() + "/missing"};
    run = RunTool("d88info", {"-"}, work_, no_room);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "d88info: cannot open -: cannot make a temporary copy in " +
                  ws_.root() + "/missing: No such file or directory\n");
  }
  // Options may follow the image.
  run = Info(Concat({DiskBuilder().Build(), DiskBuilder().Build()}),
             {"--", "../image.d88", "--tracks"});
  EXPECT_EQ(run.status, 1);  // "--tracks" is an image after "--"
}

// Lines a Python script prints from a JSON document, "" when it cannot run.
std::string PythonOn(const std::string& json_path, const std::string& script) {
  const std::string command =
      "python3 -c '" + script + "' '" + json_path + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string out;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
    out.append(chunk, got);
  return pclose(pipe) == 0 ? out : "python3 failed: " + out;
}

// Prints the entry and disk lines of the text report from the JSON one.
const char kJsonToText[] = R"py(
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
for d in doc["disks"]:
    print("%4d  %-10d  %-10d  0x%02x %-5s  %6d  %s" % (d["index"], d["offset"],
          d["size"], d["media_type"], d["media"], len(d["tracks"]), d["name"]))
for e in doc["entries"]:
    verdict = e["verdict"]
    if verdict == "partial":
        verdict += " %d/%d" % (e["bytes_read"], e["size"])
    if e["reason"] is not None:
        verdict += " (%s)" % e["reason"]
    print("%5d  %-9s  %02x    %02x   %02x   %-5x  %s" % (e["index"], e["name"],
          e["disk"], e["track"], e["sector"], e["size"], verdict))
)py";

TEST_F(InfoTest, JsonSaysWhatTheTextReportSays) {
  const Bytes image = VerdictImage();
  const RunResult text = Info(image);
  const RunResult json = Info(image, {"--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.err, "");
  ASSERT_TRUE(WriteBytes(ws_.root() + "/report.json",
                         Bytes(json.out.begin(), json.out.end())));
  std::string expected;
  // The disk and entry lines: they start with a number right-aligned to
  // four or five columns.
  for (const std::string& line : SplitLines(text.out)) {
    const size_t digits = line.find_first_not_of(' ');
    const size_t end = line.find_first_not_of("0123456789", digits);
    if (line.size() > 6 && digits < end && (end == 4 || end == 5) &&
        line[end] == ' ') {
      expected += line + "\n";
    }
  }
  EXPECT_EQ(PythonOn(ws_.root() + "/report.json", kJsonToText), expected);
}

TEST_F(InfoTest, JsonNamesAreUnicodeAndTheirBytes) {
  std::string name = "\x83\x66\x01\x80";  // デ, a control, undecodable
  DiskBuilder a(name + "\"\\");
  AddCatalogueTrack(&a, CatalogueBytes({{name, 0, 2, 1, 1}}));
  a.AddFileTrack(2, 0);
  const RunResult json =
      Info(Concat({a.Build(), DiskBuilder().Build()}), {"--json", "--tracks"});
  ASSERT_TRUE(WriteBytes(ws_.root() + "/report.json",
                         Bytes(json.out.begin(), json.out.end())));
  EXPECT_EQ(PythonOn(ws_.root() + "/report.json", R"py(
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
d, e = doc["disks"][0], doc["entries"][0]
print(ascii(d["name"]), d["name_hex"], ascii(e["name"]), e["name_hex"])
print(doc["files"], d["path"], d["records"][0]["track"],
      d["records"][1]["ids"][4], doc["catalogue"])
)py"),
            "'\\u30c7\\x01\\ufffd\"\\\\' 83660180225c "
            "'\\u30c7\\x01\\ufffd' 83660180\n"
            "['../image.d88'] ../image.d88 1 "
            "{'c': 1, 'h': 0, 'r': 5, 'n': 3, 'length': 1024} "
            "{'complete': True, 'bytes_read': 2048, 'reason': None}\n");
  // Raw, the document has no control characters but its line end.
  for (char ch : json.out) {
    EXPECT_FALSE(ch >= 0 && ch < 0x20 && ch != '\n' && ch != '\r');
  }
}

TEST_F(InfoTest, DisksThatRepeatOneHeaderShowAsOneLine) {
  const Bytes image = DiskBuilder("SELF").SetSizeField(0).Build();
  const RunResult run = Info(image);
  EXPECT_EQ(SplitLines(run.out)[0], "64 disks");
  EXPECT_EQ(LineStarting(run.out, "   1  "),
            "   1  to disk 63: disk 0 again (its size field is 0)");
  EXPECT_EQ(LineStarting(run.out, "   2  "), "");
  // JSON lists every disk.
  const RunResult json = Info(image, {"--json"});
  ASSERT_TRUE(WriteBytes(ws_.root() + "/report.json",
                         Bytes(json.out.begin(), json.out.end())));
  EXPECT_EQ(PythonOn(ws_.root() + "/report.json",
                     "import json, sys; d = json.load(open(sys.argv[1]));"
                     " print(len(d[\"disks\"]), d[\"disks\"][63][\"name\"])"),
            "64 SELF\n");
}

TEST_F(InfoTest, SeveralImageFiles) {
  ASSERT_TRUE(WriteBytes(ws_.root() + "/a.d88", DiskBuilder("A").Build()));
  ASSERT_TRUE(
      WriteBytes(ws_.root() + "/b.d88",
                 Concat({DiskBuilder("B").Build(), DiskBuilder("C").Build()})));
  const RunResult run = RunTool("d88info", {"../a.d88", "../b.d88"}, work_);
  EXPECT_EQ(run.status, 0);
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[0], "3 disks in 2 files");
  EXPECT_EQ(lines[2], "   0  ../a.d88");
  EXPECT_EQ(lines[3], "   1  ../b.d88");
  EXPECT_EQ(lines[5].substr(0, 24), "   0     0  0           ");
  EXPECT_EQ(lines[6].substr(0, 24), "   1     1  0           ");
  EXPECT_EQ(lines[7].substr(0, 24), "   2     1  688         ");
}

TEST_F(InfoTest, TrackListingsOfExactly256Records) {
  for (int records : {256, 257}) {
    DiskBuilder a("A");
    for (int i = 0; i < records; ++i) a.AddSector(3, 1, 1, i % 256, 0, {});
    const RunResult run =
        Info(Concat({a.Build(), DiskBuilder().Build()}), {"--tracks"});
    const std::string line = LineStarting(run.out, "    3:");
    EXPECT_EQ(line.find("(listing stops here)") != std::string::npos,
              records > 256)
        << records;
    EXPECT_EQ(line.size(),
              6 + 256 * 15 + (records > 256 ? 22 : 0));  // "  01 01 xx 00 0"
  }
}

TEST_F(InfoTest, AReportThatCannotBeWrittenIsAFailure) {
  if (GetToolSetup().windows) GTEST_SKIP() << "no /dev/full to write to";
  RunOptions full;
  full.stdout_path = "/dev/full";
  for (const char* format : {"--tracks", "--json"}) {
    const RunResult run = Info(
        Concat({DiskBuilder().Build(), DiskBuilder().Build()}), {format}, full);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "d88info: cannot write standard output: No space left on "
              "device\n");
  }
}

// --- Real images -----------------------------------------------------------

// What a disk header says, read here straight from the bytes.
struct Header {
  std::string name;
  int media;
  uint32_t size;
  std::vector<uint32_t> tracks;
};

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

Header ParseHeader(const Bytes& disk) {
  Header h;
  for (size_t i = 0; i < 16 && disk[i] != 0; ++i)
    h.name += static_cast<char>(disk[i]);
  h.media = disk[0x1B];
  h.size = Le32(disk, 0x1C);
  for (size_t t = 0; t < 164; ++t) h.tracks.push_back(Le32(disk, 0x20 + 4 * t));
  return h;
}

TEST_F(InfoTest, RealImagesAreReportedAsTheyAre) {
  const std::string dir = D88_REAL_IMAGES_DIR;
  const Bytes a = ReadBytes(dir + "/disk-a-hubasic-2d.d88");
  const Bytes b = ReadBytes(dir + "/disk-b-cpm-2d.d88");
  if (a.empty() || b.empty()) GTEST_SKIP() << "no real images in " << dir;
  const RunResult run = Info(Concat({a, b}), {"--tracks"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const Header headers[] = {ParseHeader(a), ParseHeader(b)};
  std::string tracks_of_disk;
  for (int disk = 0; disk < 2; ++disk) {
    const Header& h = headers[disk];
    const std::string line =
        LineStarting(run.out, "   " + std::to_string(disk) + "  ");
    SCOPED_TRACE(line);
    int present = 0;
    for (uint32_t offset : h.tracks) present += offset > 0 && offset <= h.size;
    EXPECT_EQ(present, 80);
    EXPECT_EQ(line.substr(line.size() - h.name.size()), h.name);
    EXPECT_NE(line.find(" " + std::to_string(h.size) + " "), std::string::npos);
    EXPECT_NE(line.find(" " + std::to_string(present) + "  "),
              std::string::npos);
    char media[8];
    std::snprintf(media, sizeof media, "0x%02x ", h.media);
    EXPECT_NE(line.find(media), std::string::npos);
  }
  // Track 1 of Disk A, walked here record by record: 16 sectors of 256 bytes.
  const Bytes& disk = a;
  size_t at = headers[0].tracks[1];
  std::string expected = "    1:";
  for (int i = 0; i < 16; ++i) {
    char record[32];
    std::snprintf(record, sizeof record, "  %02x %02x %02x %02x %d", disk[at],
                  disk[at + 1], disk[at + 2], disk[at + 3],
                  disk[at + 14] | disk[at + 15] << 8);
    expected += record;
    at += 16 + static_cast<size_t>(disk[at + 14] | disk[at + 15] << 8);
  }
  EXPECT_EQ(LineStarting(run.out, "    1:"), expected);
  EXPECT_NE(expected.find("00 01 10 01 256"), std::string::npos);
  // Its sectors have size code 1, not 3: there is no catalogue to read.
  EXPECT_NE(
      run.out.find("catalogue of Disk A: not read (first sector not found)"),
      std::string::npos);
  EXPECT_NE(run.out.find("0 of 118 entries in use"), std::string::npos);
}

}  // namespace
}  // namespace d88test
