// SPDX-License-Identifier: MIT

// Options and operands of a command line, as both programs take them:
// options in any position, long ones written out in full ("--directory=DIR"
// or "--directory DIR"), short ones alone ("-C DIR" or "-CDIR"); "--" ends
// the options, and "-" alone is an operand.

#ifndef TOOL_COMMAND_LINE_H_
#define TOOL_COMMAND_LINE_H_

namespace d88 {

struct OptionSpec {
  int id;                 // what Next returns for it; positive
  const char* long_name;  // without "--"; null for none
  char short_name;        // '\0' for none
  bool takes_value;
};

class CommandLine {
 public:
  static constexpr int kEnd = 0;   // no option left
  static constexpr int kBad = -1;  // an unknown option or a missing value

  // Reads argv[1] to argv[argc - 1] against the count options described at
  // options. argv is reordered in place as the operands are gathered.
  // Requires options and argv to outlive the object.
  CommandLine(int argc, char** argv, const OptionSpec* options, int count);

  // Returns the id of the next option and sets *value to its value (null
  // for an option without one); kEnd when none is left, kBad when the next
  // one is unknown or lacks its value (then *value is the argument).
  int Next(const char** value);

  // The operands met so far, in order; all of them once Next returned kEnd.
  int operand_count() const { return operand_count_; }
  char** operands() const { return argv_ + 1; }

 private:
  const OptionSpec* Find(const char* long_name, int long_length,
                         char short_name) const;

  int argc_;
  char** argv_;
  const OptionSpec* options_;
  int option_count_;
  int next_;
  int operand_count_;
  bool options_ended_;
};

}  // namespace d88

#endif  // TOOL_COMMAND_LINE_H_
