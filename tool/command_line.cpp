// SPDX-License-Identifier: MIT

#include "tool/command_line.h"

#include <cstring>

namespace d88 {

CommandLine::CommandLine(int argc, char** argv, const OptionSpec* options,
                         int count)
    : argc_(argc),
      argv_(argv),
      options_(options),
      option_count_(count),
      next_(1),
      operand_count_(0),
      options_ended_(false) {}

const OptionSpec* CommandLine::Find(const char* long_name, int long_length,
                                    char short_name) const {
  for (int i = 0; i < option_count_; ++i) {
    const OptionSpec& option = options_[i];
    if (long_name != nullptr) {
      // Written out in full: no abbreviations.
      if (option.long_name != nullptr &&
          static_cast<int>(std::strlen(option.long_name)) == long_length &&
          std::strncmp(option.long_name, long_name,
                       static_cast<size_t>(long_length)) == 0) {
        return &option;
      }
    } else if (option.short_name != '\0' && option.short_name == short_name) {
      return &option;
    }
  }
  return nullptr;
}

int CommandLine::Next(const char** value) {
  *value = nullptr;
  while (next_ < argc_) {
    char* arg = argv_[next_++];
    if (!options_ended_ && std::strcmp(arg, "--") == 0) {
      options_ended_ = true;
      continue;
    }
    if (options_ended_ || arg[0] != '-' || arg[1] == '\0') {
      // Operands gather at the front; none is ever ahead of next_.
      argv_[1 + operand_count_++] = arg;
      continue;
    }
    const OptionSpec* option = nullptr;
    const char* attached = nullptr;  // a value in the same argument
    if (arg[1] == '-') {
      const char* name = arg + 2;
      const char* equals = std::strchr(name, '=');
      const int length = static_cast<int>(
          equals != nullptr ? equals - name : std::strlen(name));
      option = Find(name, length, '\0');
      if (equals != nullptr) attached = equals + 1;
    } else {
      option = Find(nullptr, 0, arg[1]);
      if (arg[2] != '\0') attached = arg + 2;
    }
    *value = arg;
    if (option == nullptr || (attached != nullptr && !option->takes_value)) {
      return kBad;
    }
    if (option->takes_value) {
      if (attached == nullptr) {
        if (next_ >= argc_) return kBad;
        attached = argv_[next_++];
      }
      *value = attached;
    } else {
      *value = nullptr;
    }
    return option->id;
  }
  return kEnd;
}

}  // namespace d88
