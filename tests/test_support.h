// SPDX-License-Identifier: MIT

// Helpers shared by the tests: scratch folders, whole-file reads and runs of
// the built programs.

#ifndef TESTS_TEST_SUPPORT_H_
#define TESTS_TEST_SUPPORT_H_

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/image_builder.h"

namespace d88test {

// A fresh folder under the system's temporary folder, removed with
// everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The whole content of path; empty when it cannot be read.
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);

// What write puts into a scratch stream, read back whole.
std::string WrittenText(const std::function<void(std::FILE*)>& write);

// Names in folder, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& folder);

struct RunResult {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// How the programs under test are started: by default the native builds;
// D88_TOOL_DIR and D88_TOOL_RUNNER (say, "wine") in the environment, with
// D88_TOOL_WINDOWS=1 for a Windows build, point the same tests at another
// build.
struct ToolSetup {
  std::string runner;  // empty: start the program itself
  std::string dir;
  std::string suffix;
  bool windows = false;  // a Windows build: text streams end lines with CR LF
};
const ToolSetup& GetToolSetup();

// How RunTool starts a program.
struct RunOptions {
  // LC_ALL for the program. A Windows build always gets C.UTF-8, which Wine
  // needs to pass on arguments that are not ASCII; its output to a file or
  // pipe is the same in every locale.
  std::string locale = "C";
  bool reader_gone = false;      // stdout is a pipe that nobody reads any more
  bool terminal = false;         // stdout and stderr are one pseudo-terminal,
                                 // whose output lands in RunResult::out
  bool stdout_closed = false;    // the program starts without a stdout
  std::string stdout_path;       // stdout goes to this file instead
  const Bytes* input = nullptr;  // fed to stdin through a pipe; else
                                 // stdin is /dev/null
  int64_t file_size_limit = -1;  // the most bytes a file may grow to
  std::vector<std::string> environment;  // more "NAME=VALUE" settings
};

// The full path of program (e.g. "d88extract") under test.
std::string ToolPath(const std::string& program);

// Runs program with args in folder cwd, with argv[0] its full path.
RunResult RunTool(const std::string& program,
                  const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options = {});

// True when the program converts its text for the locale of options: a
// native build in a UTF-8 locale.
bool ConvertsText(const RunOptions& options);

// A scratch root holding image.d88 and the folder "work" that programs run
// in, so that anything written outside "work" shows.
class Workspace {
 public:
  Workspace();

  const std::string& root() const { return root_.path(); }
  const std::string& work() const { return work_; }

  // Writes image as root/image.d88 and runs program on "../image.d88", after
  // args, in work.
  RunResult Run(const std::string& program, const Bytes& image,
                const std::vector<std::string>& args = {},
                const RunOptions& options = {});

  // Names in work, sorted; the content of work/name.
  std::vector<std::string> Files() const { return ListDir(work_); }
  Bytes Output(const std::string& name) const;

  // True when root holds nothing but image.d88 and work.
  bool NothingOutsideWork() const;

 private:
  TempDir root_;
  std::string work_;
};

// The messages of d88extract, in Shift_JIS, each ending in "\n".
extern const std::string kCannotOpenMessage;
extern const std::string kTwoDisksMessage;
extern const std::string kUnreadableCatalogueMessage;
// These follow the entry's name.
extern const std::string kRefusedNameMessage;
extern const std::string kWriteFailedMessage;
extern const std::string kUnreadableFileMessage;
extern const std::string kPartialFileMessage;
// The same four as a UTF-8 locale spells them.
extern const std::string kCannotOpenMessageUtf8;
extern const std::string kTwoDisksMessageUtf8;
extern const std::string kRefusedNameMessageUtf8;
extern const std::string kWriteFailedMessageUtf8;
// The listing line of an all-zero entry, without its line end.
extern const std::string kEmptyEntryLine;

// text with every "\n" turned into the host's line end.
std::string Lines(const std::string& text);

}  // namespace d88test

#endif  // TESTS_TEST_SUPPORT_H_
