// SPDX-License-Identifier: MIT

// A small JSON validator for the fuzz harness: the whole of a text must be
// one JSON value (RFC 8259), strings valid UTF-8 without raw controls.

#ifndef FUZZ_JSON_CHECK_H_
#define FUZZ_JSON_CHECK_H_

#include <cstddef>
#include <cstring>

namespace d88fuzz {

class JsonCheck {
 public:
  // True when text[0, size) is one JSON value, white space around it.
  static bool IsValid(const char* text, size_t size) {
    JsonCheck check(text, size);
    check.Space();
    if (!check.Value(0)) return false;
    check.Space();
    return check.at_ == size;
  }

 private:
  JsonCheck(const char* text, size_t size) : text_(text), size_(size) {}

  int Peek() const {
    return at_ < size_ ? static_cast<unsigned char>(text_[at_]) : -1;
  }

  void Space() {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')
      ++at_;
  }

  bool Literal(const char* word) {
    const size_t length = std::strlen(word);
    if (size_ - at_ < length || std::strncmp(text_ + at_, word, length) != 0)
      return false;
    at_ += length;
    return true;
  }

  bool Digits() {
    const size_t start = at_;
    while (Peek() >= '0' && Peek() <= '9') ++at_;
    return at_ > start;
  }

  bool Number() {
    if (Peek() == '-') ++at_;
    if (Peek() == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (Peek() == '.') {
      ++at_;
      if (!Digits()) return false;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++at_;
      if (Peek() == '+' || Peek() == '-') ++at_;
      if (!Digits()) return false;
    }
    return true;
  }

  bool String() {
    if (Peek() != '"') return false;
    ++at_;
    for (;;) {
      const int c = Peek();
      if (c < 0 || c < 0x20) return false;
      ++at_;
      if (c == '"') return true;
      if (c == '\\') {
        const int e = Peek();
        ++at_;
        if (e == 'u') {
          for (int i = 0; i < 4; ++i) {
            const int h = Peek();
            ++at_;
            if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') ||
                  (h >= 'A' && h <= 'F')))
              return false;
          }
        } else if (e < 0 || std::strchr("\"\\/bfnrt", e) == nullptr) {
          return false;
        }
      } else if (c >= 0x80) {
        // The bytes a UTF-8 sequence of this lead byte needs.
        const int more = c >= 0xF0 && c <= 0xF4   ? 3
                         : c >= 0xE0 && c <= 0xEF ? 2
                         : c >= 0xC2 && c <= 0xDF ? 1
                                                  : -1;
        if (more < 0) return false;
        for (int i = 0; i < more; ++i) {
          if ((Peek() & 0xC0) != 0x80) return false;
          ++at_;
        }
      }
    }
  }

  bool Value(int depth) {
    if (depth > 64) return false;
    const int c = Peek();
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++at_;
      Space();
      if (Peek() == close) {
        ++at_;
        return true;
      }
      for (;;) {
        Space();
        if (c == '{') {
          if (!String()) return false;
          Space();
          if (Peek() != ':') return false;
          ++at_;
          Space();
        }
        if (!Value(depth + 1)) return false;
        Space();
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        if (Peek() != close) return false;
        ++at_;
        return true;
      }
    }
    if (c == '"') return String();
    if (c == 't') return Literal("true");
    if (c == 'f') return Literal("false");
    if (c == 'n') return Literal("null");
    return Number();
  }

  const char* text_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace d88fuzz

#endif  // FUZZ_JSON_CHECK_H_
