// The tools' Japanese messages, as code page 932 bytes. Each is one line
// without its line end; the refused-name and write-failed messages follow
// "NAME: ".

#ifndef TOOL_MESSAGES_H_
#define TOOL_MESSAGES_H_

namespace d88 {

// "ファイルをオープンできません." (the file cannot be opened)
constexpr char kCannotOpenMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1.";

// "Disk AとDisk Bが連結したイメージを使用してください." (use an image in
// which Disk A and Disk B are joined)
constexpr char kTwoDisksMessage[] =
    "Disk A\x82\xC6"
    "Disk B\x82\xAA\x98\x41\x8C\x8B\x82\xB5\x82\xBD\x83\x43\x83\x81\x81\x5B"
    "\x83\x57\x82\xF0\x8E\x67\x97\x70\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
    "\x82\xA2.";

// "ファイル名が正しくありません." (the file name is not valid)
constexpr char kRefusedNameMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xAA\x90\xB3\x82\xB5\x82\xAD"
    "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1.";

// "ファイルを書き込めません." (the file cannot be written)
constexpr char kWriteFailedMessage[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8F\x91\x82\xAB\x8D\x9E\x82\xDF"
    "\x82\xDC\x82\xB9\x82\xF1.";

}  // namespace d88

#endif  // TOOL_MESSAGES_H_
