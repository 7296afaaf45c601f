// Files and console: a thin layer over the host's buffered streams.
//
// Every reader returns the empty text at the end of the file or on an error;
// callers tell the two apart with the stream's own end-of-file and error
// indicators.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "runtime/text.h"

namespace kit {

// The maker's web address, shown on the first line of every usage text.
inline constexpr const char* project_address = "https://www.varnel-tools.org";

// The bytes of a UTF-8 byte order mark, skipped at the start of a source.
inline constexpr char byte_order_mark[] = "\xEF\xBB\xBF";

// One line of at most 2047 bytes, its line feed kept when it fits; "" at the
// end of the file or on an error. Longer lines arrive in pieces.
Text read_line(std::FILE* in);

// One whole physical line of any length, its line feed kept when present;
// "" at the end of the file or on an error.
Text read_whole_line(std::FILE* in);

// Reads whole lines of any length through one reused buffer: the fast path
// of the converters, which see every line only once.
class LineReader {
public:
  explicit LineReader(std::FILE* in) : in_(in) {}
  // The next line with its line feed, valid until the next call; false at the
  // end of the file or on an error (the stream's indicators tell which).
  bool next(std::string_view& line);

private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::FILE* in_;
  std::unique_ptr<char, Free> buffer_;
  std::size_t capacity_ = 0;
};

// Skips a UTF-8 byte order mark at the current position, if one stands
// there; any other bytes are left unread. Returns whether one was skipped.
bool skip_byte_order_mark(std::FILE* in);

// One write of the text's bytes; false when the stream reports an error.
bool write_text(std::FILE* out, const Text& t);
// One write of the string's bytes up to its NUL; false on an error.
bool write_chars(std::FILE* out, const char* s);

// Writes "Cannot open <path>\n" to standard error.
void report_cannot_open(const char* path);

// Whether a file of that name exists (the host's access test).
bool file_exists(const char* path);
inline bool file_exists(const Text& path) { return file_exists(path.c_str()); }

// Whether both names lead to one existing file (links and "./" forms
// included); false when either is missing.
bool same_file(const Text& a, const Text& b);

// A path split at its last "." (the whole path is scanned, separators are
// not looked at); no dot gives the whole path and an empty extension.
struct PathParts {
  Text base;
  Text extension;
};
PathParts split_extension(const Text& path);

}  // namespace kit
