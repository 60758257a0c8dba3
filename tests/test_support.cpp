// SPDX-License-Identifier: MIT

#include "tests/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace d88test {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr ? base : "/tmp") + "/d88test-XXXXXX";
  // Going on without a folder would write where no test should.
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("d88test: cannot make a scratch folder");
    std::abort();
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable again.
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(path_, ignored)) {
    if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
      std::filesystem::permissions(entry.path(),
                                   std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

Bytes ReadBytes(const std::string& path) {
  Bytes bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  std::fclose(file);
  return bytes;
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::string WrittenText(const std::function<void(std::FILE*)>& write) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return "";
  write(file);
  std::rewind(file);
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    text.append(chunk, got);
  }
  std::fclose(file);
  return text;
}

std::vector<std::string> ListDir(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kCannotOpenMessage =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.\n";
const std::string kTwoDisksMessage =
    "Disk A\x82\xC6"
    "Disk B\x82\xAA\x98\x41\x8C\x8B\x82\xB5\x82\xBD\x83\x43\x83\x81\x81\x5B"
    "\x83\x57\x82\xF0\x8E\x67\x97\x70\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
    "\x82\xA2.\n";
const std::string kRefusedNameMessage =
    ": \x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xAA\x90\xB3\x82\xB5\x82\xAD"
    "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1.\n";
const std::string kWriteFailedMessage =
    ": \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8F\x91\x82\xAB\x8D\x9E\x82\xDF"
    "\x82\xDC\x82\xB9\x82\xF1.\n";
// "カタログを読み込めません."
const std::string kUnreadableCatalogueMessage =
    "\x83\x4A\x83\x5E\x83\x8D\x83\x4F\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF"
    "\x82\xDC\x82\xB9\x82\xF1.\n";
// "ファイルを読み込めません."
const std::string kUnreadableFileMessage =
    ": \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF"
    "\x82\xDC\x82\xB9\x82\xF1.\n";
// "ファイルの一部を読み込めません."
const std::string kPartialFileMessage =
    ": \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x88\xEA\x95\x94\x82\xF0"
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1.\n";
const std::string kCannotOpenMessageUtf8 = "ファイルをオープンできません.\n";
const std::string kTwoDisksMessageUtf8 =
    "Disk AとDisk Bが連結したイメージを使用してください.\n";
const std::string kRefusedNameMessageUtf8 = ": ファイル名が正しくありません.\n";
const std::string kWriteFailedMessageUtf8 = ": ファイルを書き込めません.\n";
const std::string kEmptyEntryLine = "           DISK:00 TRK:00 SEC:00 SIZE:00";

Workspace::Workspace() : work_(root_.File("work")) {
  mkdir(work_.c_str(), 0755);
}

RunResult Workspace::Run(const std::string& program, const Bytes& image,
                         const std::vector<std::string>& args,
                         const RunOptions& options) {
  WriteBytes(root_.File("image.d88"), image);
  std::vector<std::string> all = args;
  all.push_back("../image.d88");
  return RunTool(program, all, work_, options);
}

Bytes Workspace::Output(const std::string& name) const {
  return ReadBytes(work_ + "/" + name);
}

bool Workspace::NothingOutsideWork() const {
  return ListDir(root_.path()) == std::vector<std::string>{"image.d88", "work"};
}

const ToolSetup& GetToolSetup() {
  static const ToolSetup setup = [] {
    ToolSetup s;
    auto env = [](const char* name, const char* fallback) {
      const char* value = std::getenv(name);
      return std::string(value != nullptr ? value : fallback);
    };
    s.runner = env("D88_TOOL_RUNNER", "");
    s.dir = env("D88_TOOL_DIR", D88_DEFAULT_TOOL_DIR);
    s.windows = env("D88_TOOL_WINDOWS", "0") == "1";
    s.suffix = s.windows ? ".exe" : "";
    return s;
  }();
  return setup;
}

std::string ToolPath(const std::string& program) {
  const ToolSetup& setup = GetToolSetup();
  return setup.dir + "/" + program + setup.suffix;
}

bool ConvertsText(const RunOptions& options) {
  return !GetToolSetup().windows && options.locale != "C";
}

namespace {

// word quoted for a POSIX shell.
std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char ch : word) {
    if (ch == '\'') {
      quoted += "'\\''";
    } else {
      quoted += ch;
    }
  }
  return quoted + "'";
}

}  // namespace

RunResult RunTool(const std::string& program,
                  const std::vector<std::string>& args, const std::string& cwd,
                  const RunOptions& options) {
  const ToolSetup& setup = GetToolSetup();
  std::vector<std::string> words;
  if (!setup.runner.empty()) words.push_back(setup.runner);
  words.push_back(ToolPath(program));
  words.insert(words.end(), args.begin(), args.end());
  if (options.terminal) {
    // script(1) gives the program a pseudo-terminal and copies what it
    // shows to script's own output.
    std::string command;
    for (const std::string& word : words) command += ShellQuoted(word) + " ";
    words = {"script", "-qec", command, "/dev/null"};
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string locale = setup.windows ? "C.UTF-8" : options.locale;

  TempDir streams;
  const std::string out_path = streams.File("out");
  const std::string err_path = streams.File("err");
  RunResult result;
  int input[2] = {-1, -1};
  if (options.input != nullptr && pipe(input) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string& stdout_path =
        options.stdout_path.empty() ? out_path : options.stdout_path;
    const int out =
        open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in =
        options.input != nullptr ? input[0] : open("/dev/null", O_RDONLY);
    int gone[2] = {-1, -1};
    if (out < 0 || err < 0 || in < 0 || chdir(cwd.c_str()) != 0) _exit(126);
    if (options.reader_gone && pipe(gone) != 0) _exit(126);
    if (options.reader_gone) close(gone[0]);
    if (input[1] >= 0) close(input[1]);
    dup2(in, 0);
    dup2(options.reader_gone ? gone[1] : out, 1);
    dup2(err, 2);
    if (options.stdout_closed) close(1);
    if (options.file_size_limit >= 0) {
      // Writing past the limit fails, instead of ending the program.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                            static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    setenv("LC_ALL", locale.c_str(), 1);
    for (const std::string& setting : options.environment) {
      const size_t equals = setting.find('=');
      setenv(setting.substr(0, equals).c_str(),
             setting.substr(equals + 1).c_str(), 1);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (options.input != nullptr) {
    // A program that ends before it reads its input must not end the test.
    signal(SIGPIPE, SIG_IGN);
    close(input[0]);
    // The program reads its input before it writes anything that could
    // fill a pipe, so all of it can be written first.
    const Bytes& bytes = *options.input;
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t wrote =
          write(input[1], bytes.data() + done, bytes.size() - done);
      if (wrote <= 0) break;
      done += static_cast<size_t>(wrote);
    }
    close(input[1]);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = ReadText(out_path);
  result.err = ReadText(err_path);
  return result;
}

std::string Lines(const std::string& text) {
  if (!GetToolSetup().windows) return text;
  std::string converted;
  for (char ch : text) {
    if (ch == '\n') converted += '\r';
    converted += ch;
  }
  return converted;
}

}  // namespace d88test
