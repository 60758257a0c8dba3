// SPDX-License-Identifier: MIT

// Writes the fuzzing seed corpus into a folder: small two-disk images made
// by the test-image builder, sound and broken. Usage: make_seeds FOLDER

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/image_builder.h"

namespace {

using d88test::Bytes;
using d88test::DiskBuilder;
using d88test::Record;

// A catalogue disk with short files; the file tracks carry little data so the
// seeds stay small.
DiskBuilder CatalogueDisk(const std::vector<d88test::Entry>& entries) {
  DiskBuilder a("SEED A");
  d88test::AddCatalogueTrack(&a, d88test::CatalogueBytes(entries));
  for (int r = 1; r <= 5; ++r)
    a.AddSector(2, 1, 0, r, 3, Bytes(1024, static_cast<uint8_t>(r)));
  return a;
}

DiskBuilder SmallDisk() {
  DiskBuilder b("SEED B");
  b.AddSector(0, 0, 0, 1, 3, Bytes(1024, 0xB1))
      .AddSector(0, 0, 0, 2, 1, Bytes(256, 0xB2));
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
    return 1;
  }
  const std::vector<d88test::Entry> entries = {
      {"ONE", 0, 2, 1, 1}, {"RUN", 0, 2, 4, 3},   {"B", 1, 0, 1, 2},
      {"..", 0, 2, 1, 1},  {"A/B", 0, 2, 2, 1},   {"\x83\x5C", 0, 2, 3, 1},
      {"FAR", 2, 2, 1, 1}, {"BIG", 0, 2, 1, 255},
  };
  std::vector<std::pair<std::string, Bytes>> seeds;
  seeds.push_back({"sound", d88test::Concat({CatalogueDisk(entries).Build(),
                                             SmallDisk().Build()})});
  {
    DiskBuilder a = CatalogueDisk(entries);
    Record chain;
    chain.count = 65535;
    chain.c = 0xFF;
    for (int i = 0; i < 40; ++i) a.AddRecord(3, chain);
    a.SetTrackOffset(4, 0x20);
    seeds.push_back(
        {"hostile-counts", d88test::Concat({a.Build(), SmallDisk().Build()})});
  }
  {
    DiskBuilder a = CatalogueDisk(entries);
    a.SetSizeField(0);
    seeds.push_back({"size-zero", a.Build()});
  }
  {
    Bytes image =
        d88test::Concat({CatalogueDisk(entries).Build(), SmallDisk().Build()});
    image.resize(image.size() - 600);
    seeds.push_back({"cut-short", image});
  }
  {
    DiskBuilder a("IDS");
    for (int count : {0, 3, 1, 2}) {
      Record record;
      record.r = static_cast<uint8_t>(count);
      record.count = count;
      record.data = Bytes(static_cast<size_t>(count * 40), 0x11);
      a.AddRecord(0, record);
    }
    seeds.push_back(
        {"track-walks", d88test::Concat({a.Build(), SmallDisk().Build()})});
  }
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name + ".d88";
    if (!d88test::WriteBytes(path, bytes)) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
      return 1;
    }
  }
  return 0;
}
