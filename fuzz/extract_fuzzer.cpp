// SPDX-License-Identifier: MIT

// Runs the whole catalogue pass on arbitrary bytes taken as an image, in a
// private folder, and checks afterwards that it wrote nothing but plain files
// with safe names there, and nothing anywhere else in its root; that every
// entry whose plan is to be written left its file; and that the d88info
// report on the image can be written, its JSON form valid JSON.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "d88/d88image.h"
#include "fuzz/fuzz_file.h"
#include "fuzz/json_check.h"
#include "tool/catalogue.h"
#include "tool/info.h"

namespace {

uint8_t catalogue[d88::kCatalogueSize];
uint8_t entry_data[255 * d88::kFileSectorSize];

// Every entry planned to be written must have its file in the current
// folder.
void CheckVerdictsAgainstFiles(d88::D88Image* image) {
  std::memset(catalogue, 0, sizeof catalogue);
  d88::ReadCatalogue(image, catalogue);
  for (int32_t i = 0; i < d88::kCatalogueEntryCount; ++i) {
    d88::CatalogueEntry entry;
    d88::DecodeCatalogueEntry(d88::CatalogueEntryBytes(catalogue, i), &entry);
    const d88::ExtractionPlan plan = d88::PlanEntry(image, entry, entry_data);
    struct stat info;
    if (plan.action == d88::Action::kWrite && lstat(entry.name, &info) != 0) {
      std::abort();
    }
  }
}

// Writes the JSON report into memory and checks it.
void CheckJsonReport(d88::D88Image* image) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* memory = open_memstream(&text, &size);
  if (memory == nullptr) std::abort();
  {
    d88::TextOut out(memory);
    const char* paths[] = {"image.d88"};
    d88::WriteJsonReport(image, {paths, 1, true}, &out);
  }
  if (std::fclose(memory) != 0) std::abort();
  if (!d88fuzz::JsonCheck::IsValid(text, size)) std::abort();
  std::free(text);
}

// Checks every name in folder with visit; returns how many there are.
template <typename Visit>
int ForEachName(const std::string& folder, Visit visit) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) std::abort();
  int names = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    ++names;
    visit(name);
  }
  closedir(dir);
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static d88::D88Image* image = new d88::D88Image(new d88::ReaderCache());
  static const std::string root = d88fuzz::PrivateRoot();
  static const std::string work = root + "/work";
  // The fuzzer's own folder, to return to: it reads and writes its corpus
  // by relative paths.
  static char home[4096];
  static const bool ready = [] {
    // The listing is not what is checked here.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return false;
    return getcwd(home, sizeof home) != nullptr &&
           mkdir(work.c_str(), 0755) == 0;
  }();
  if (!ready) std::abort();

  const std::string path = root + "/image.d88";
  d88fuzz::WriteInput(path, data, size);
  if (chdir(work.c_str()) != 0) std::abort();
  static d88::TextOut listing(stdout);
  static d88::TextOut messages(stderr);
  const bool opened = image->Open(path.c_str());
  if (opened && image->GetDiskCount() >= 2) {
    d88::ExtractCatalogue(image, {&listing, &messages});
    CheckVerdictsAgainstFiles(image);
  }
  const char* paths[] = {path.c_str()};
  d88::WriteImageReport(image, {paths, 1, true}, &listing);
  if (opened) CheckJsonReport(image);
  std::fflush(stdout);

  const int in_root = ForEachName(root, [](const std::string& name) {
    if (name != "image.d88" && name != "work") std::abort();
  });
  if (in_root != 2) std::abort();
  ForEachName(work, [](const std::string& name) {
    struct stat info;
    if (!d88::IsSafeFileName(name.c_str()) || name.size() > 9 ||
        lstat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size % 1024 != 0) {
      std::abort();
    }
    unlink(name.c_str());
  });
  if (chdir(home) != 0) std::abort();
  return 0;
}
