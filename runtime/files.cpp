#include "runtime/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kit {

namespace {

// The documented size of read_line's buffer: at most 2047 bytes per read.
constexpr int line_buffer_size = 2048;

}  // namespace

Text read_line(std::FILE* in) {
  char buffer[line_buffer_size];
  if (std::fgets(buffer, sizeof buffer, in) == nullptr) return Text();
  return Text(buffer);
}

bool LineReader::next(std::string_view& line) {
  // getline grows the buffer to the line and counts embedded NUL bytes too.
  char* raw = buffer_.release();
  const ssize_t n = ::getline(&raw, &capacity_, in_);
  buffer_.reset(raw);
  if (n <= 0) return false;
  line = std::string_view(raw, static_cast<std::size_t>(n));
  return true;
}

Text read_whole_line(std::FILE* in) {
  LineReader reader(in);
  std::string_view line;
  return reader.next(line) ? Text(line) : Text();
}

bool skip_byte_order_mark(std::FILE* in) {
  const std::size_t n = sizeof byte_order_mark - 1;
  unsigned char seen[sizeof byte_order_mark];
  std::size_t got = 0;
  int c = 0;
  while (got < n && (c = std::getc(in)) != EOF) {
    seen[got++] = static_cast<unsigned char>(c);
    if (seen[got - 1] != static_cast<unsigned char>(byte_order_mark[got - 1])) break;
  }
  if (got == n && std::memcmp(seen, byte_order_mark, n) == 0) return true;
  // Not a mark: give back what was read, last byte first.
  while (got > 0) std::ungetc(seen[--got], in);
  return false;
}

bool write_text(std::FILE* out, const Text& t) {
  const std::string_view bytes = t.view();
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

bool write_chars(std::FILE* out, const char* s) {
  const std::size_t n = std::strlen(s);
  return std::fwrite(s, 1, n, out) == n;
}

void report_cannot_open(const char* path) { std::fprintf(stderr, "Cannot open %s\n", path); }

bool file_exists(const char* path) { return ::access(path, F_OK) == 0; }

bool same_file(const Text& a, const Text& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

PathParts split_extension(const Text& path) {
  for (int i = path.length() - 1; i >= 0; --i) {
    if (path.str()[static_cast<std::size_t>(i)] == '.') {
      return {path.slice(0, i, End::exclusive), path.slice(i + 1, -1, End::inclusive)};
    }
  }
  return {path, Text()};
}

}  // namespace kit
