// SPDX-License-Identifier: MIT

// Broken and crafted images against the built d88extract: whatever an image
// holds, the tool lists what it can, writes only plain files into its own
// folder, and exits normally.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace d88test {
namespace {

// Entry 0 sits in the catalogue's first sector, entry 59 in its second.
constexpr size_t kSecondEntry = 59;
const std::string kFirstLine = "FIRST      DISK:00 TRK:02 SEC:01 SIZE:400";
const std::string kSecondLine = "SECOND     DISK:01 TRK:02 SEC:01 SIZE:400";

std::vector<Entry> Entries() {
  std::vector<Entry> entries(kSecondEntry + 1);
  entries[0] = {"FIRST", 0, 2, 1, 1};
  entries[kSecondEntry] = {"SECOND", 1, 2, 1, 1};
  return entries;
}

// The sound image the cases start from: FIRST on Disk A, SECOND on Disk B.
struct Disks {
  DiskBuilder a{"A"};
  DiskBuilder b{"B"};
  Disks() {
    AddCatalogueTrack(&a, CatalogueBytes(Entries()));
    a.AddFileTrack(2, 0);
    // SECOND's sector is the last record of the file.
    b.AddSector(2, 1, 0, 1, 3, SectorPattern(1, 2, 1));
  }
};

// The catalogue track of Disk A with the same count on every record.
DiskBuilder CatalogueWithCount(int count) {
  DiskBuilder a("A");
  const Bytes catalogue = CatalogueBytes(Entries());
  for (int r = 1; r <= 5; ++r) {
    Record record;
    record.c = 0;
    record.h = 1;
    record.r = static_cast<uint8_t>(r);
    record.count = count;
    record.data.assign(1024, 0);
    if (r <= 2) {
      std::copy_n(catalogue.begin() + (r - 1) * 1024, 1024,
                  record.data.begin());
    }
    a.AddRecord(1, record);
  }
  a.AddFileTrack(2, 0);
  return a;
}

Bytes Sound() {
  Disks d;
  return Concat({d.a.Build(), d.b.Build()});
}

Bytes WithSizeA(uint32_t size) {
  Disks d;
  d.a.SetSizeField(size);
  return Concat({d.a.Build(), d.b.Build()});
}

// Disk A's track 2 table entry set to value.
Bytes WithTrack2A(uint32_t value) {
  Disks d;
  d.a.SetTrackOffset(2, value);
  return Concat({d.a.Build(), d.b.Build()});
}

Bytes CutAt(Bytes image, size_t from_end) {
  image.resize(image.size() - from_end);
  return image;
}

struct Outcome {
  int status;
  int catalogue_sectors;  // how many of the two catalogue sectors read
  std::vector<std::string> files;
};

// A file that cannot be read, or a catalogue, makes the status 2.
const Outcome kBoth = {0, 2, {"FIRST", "SECOND"}};
const Outcome kFirstOnly = {2, 2, {"FIRST"}};
const Outcome kSecondOnly = {2, 2, {"SECOND"}};
const Outcome kEmptyCatalogue = {2, 0, {}};
const Outcome kOneDisk = {1, 0, {}};

struct Case {
  std::string what;
  std::function<Bytes()> image;
  Outcome outcome;
};

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"sound image", Sound, kBoth},
      {"size 2^31 - 1", [] { return WithSizeA(0x7FFFFFFFu); }, kOneDisk},
      {"size 2^31", [] { return WithSizeA(0x80000000u); }, kOneDisk},
      {"size 2^32 - 1", [] { return WithSizeA(0xFFFFFFFFu); }, kOneDisk},
      // Sixty-four disks, but a size of 0 leaves no usable track.
      {"size 0 repeats Disk A", [] { return WithSizeA(0); }, kEmptyCatalogue},
      {"size -688 on Disk B",
       [] {
         Disks d;
         d.b.SetSizeField(0xFFFFFD50u);
         return Concat({d.a.Build(), d.b.Build()});
       },
       kFirstOnly},
      {"70 disks",
       [] {
         Disks d;
         std::vector<Bytes> disks = {d.a.Build(), d.b.Build()};
         for (int i = 0; i < 68; ++i) disks.push_back(d.b.Build());
         return Concat(disks);
       },
       kBoth},
      {"track entry 0: the track is absent", [] { return WithTrack2A(0); },
       kSecondOnly},
      // Disk B is the last disk: an entry of its size is the end of the file.
      {"track entry at the end of the file",
       [] {
         Disks d;
         d.b.SetTrackOffset(2, static_cast<uint32_t>(d.b.Build().size()));
         return Concat({d.a.Build(), d.b.Build()});
       },
       kFirstOnly},
      {"track entry into the header", [] { return WithTrack2A(0x20); },
       kSecondOnly},
      {"track entry past the disk size",
       [] { return WithTrack2A(0x7FFFFFFFu); }, kSecondOnly},
      {"catalogue count 0",
       [] {
         return Concat({CatalogueWithCount(0).Build(), Disks().b.Build()});
       },
       kEmptyCatalogue},
      // The walk for sector 2 stops after record 0, whose count is 1.
      {"catalogue count 1",
       [] {
         return Concat({CatalogueWithCount(1).Build(), Disks().b.Build()});
       },
       {2, 1, {"FIRST"}}},
      {"catalogue count 65535",
       [] {
         return Concat({CatalogueWithCount(65535).Build(), Disks().b.Build()});
       },
       kBoth},
      {"data length past the end of the file",
       [] {
         Disks d;
         Record record;
         record.c = 1;
         record.r = 1;
         record.data_length = 65535;
         record.data.assign(100, 0x55);
         DiskBuilder b("B");
         b.AddRecord(2, record);
         return Concat({d.a.Build(), b.Build()});
       },
       kFirstOnly},
      // FIRST's sector behind records of 65,535 data bytes each: every
      // header lies in a 64 KiB block of its own.
      {"sparse chain before a sector",
       [] {
         Disks d;
         d.a = DiskBuilder("A");
         AddCatalogueTrack(&d.a, CatalogueBytes(Entries()));
         Record filler;
         filler.c = filler.h = filler.r = filler.n = 0xFF;
         filler.count = 65535;
         filler.data.assign(65535, 0xAA);
         for (int i = 0; i < 6; ++i) d.a.AddRecord(2, filler);
         Record sector;
         sector.c = 1;
         sector.r = 1;
         sector.count = 65535;
         sector.data = SectorPattern(0, 2, 1);
         d.a.AddRecord(2, sector);
         return Concat({d.a.Build(), d.b.Build()});
       },
       kBoth},
  };
  // Disk B ends with SECOND's sector: 16 header bytes, then 1024 of data.
  // Cut the file inside its data, right after its header, and at every byte
  // of its header.
  std::vector<size_t> cuts = {1, 512, 1023, 1024};
  for (size_t cut = 1025; cut <= 1040; ++cut) cuts.push_back(cut);
  for (size_t cut : cuts) {
    cases.push_back({"file cut " + std::to_string(cut) + " bytes short",
                     [cut] { return CutAt(Sound(), cut); }, kFirstOnly});
  }
  return cases;
}

TEST(HostileTest, ListsWhatItCanAndWritesOnlyIntoItsFolder) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    Workspace ws;
    const RunResult run = ws.Run("d88extract", c.image());
    EXPECT_EQ(run.status, c.outcome.status);
    if (c.outcome.status != 1) {
      const int sectors = c.outcome.catalogue_sectors;
      std::string listing;
      for (size_t i = 0; i < 118; ++i) {
        listing += (i == 0 && sectors >= 1)              ? kFirstLine
                   : (i == kSecondEntry && sectors == 2) ? kSecondLine
                                                         : kEmptyEntryLine;
        listing += "\n";
      }
      EXPECT_EQ(run.out, Lines(listing));
      // Each loss is told: the catalogue, and each listed file not written.
      const auto written = [&](const std::string& name) {
        return std::find(c.outcome.files.begin(), c.outcome.files.end(),
                         name) != c.outcome.files.end();
      };
      std::string messages;
      if (sectors < 2) messages += kUnreadableCatalogueMessage;
      if (sectors >= 1 && !written("FIRST"))
        messages += "FIRST" + kUnreadableFileMessage;
      if (sectors == 2 && !written("SECOND"))
        messages += "SECOND" + kUnreadableFileMessage;
      EXPECT_EQ(run.err, Lines(messages));
    } else {
      EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ws.Files(), c.outcome.files);
    EXPECT_TRUE(ws.NothingOutsideWork());
  }
}

TEST(HostileTest, NamesNeverLeaveTheFolder) {
  std::vector<Entry> entries = {
      {"a/b", 0, 2, 1, 1},
      {"..", 0, 2, 1, 1},
      {"../..", 0, 2, 1, 1},
      {"\x01\x1B[2J\x7F", 0, 2, 1, 1},
      {"\x83\x5C\x81\x5C", 0, 2, 1, 1},        // "ソ―": 0x5C as a trail byte
      {std::string("\0ZERO", 5), 0, 2, 1, 1},  // an empty name
  };
  Disks d;
  d.a = DiskBuilder("A");
  AddCatalogueTrack(&d.a, CatalogueBytes(entries));
  d.a.AddFileTrack(2, 0);
  Workspace ws;
  const RunResult run =
      ws.Run("d88extract", Concat({d.a.Build(), d.b.Build()}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            Lines("a/b" + kRefusedNameMessage + ".." + kRefusedNameMessage +
                  "../.." + kRefusedNameMessage + kRefusedNameMessage));
  EXPECT_EQ(ws.Files(),
            (std::vector<std::string>{"\x01\x1B[2J\x7F", "\x83\x5C\x81\x5C"}));
  EXPECT_TRUE(ws.NothingOutsideWork());
}

}  // namespace
}  // namespace d88test
