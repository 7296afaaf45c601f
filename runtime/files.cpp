// SPDX-License-Identifier: MIT
#include "runtime/files.h"

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "runtime/unicode.h"
#include "runtime/detail/blocks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#if KIT_SSE2
#include <emmintrin.h>
#endif

namespace kit {

FileRecord file_record;

// ---- Console and fatal exit ------------------------------------------------

void print_line(const char* s) { std::printf("%s\n", s != nullptr ? s : ""); }

void die(const char* msg) {
  print_line(msg);
  std::exit(1);
}

void quit() { std::exit(0); }

void report_cannot_open(const char* path) { std::fprintf(stderr, "%s %s\n", cannot_open_message, path); }

const char* plural_s(int n) { return n < 2 ? "" : "s"; }

namespace {

// The prompt must be on the screen before the program waits for the answer.
void show_prompt(const char* prompt) {
  if (prompt != nullptr) std::fputs(prompt, stdout);
  std::fflush(stdout);
}

}  // namespace

Text input_line(const char* prompt) {
  show_prompt(prompt);
  std::string line;
  int c = 0;
  while (line.size() < input_line_size - 1 && (c = std::getchar()) != EOF && c != '\n') {
    line += static_cast<char>(c);
  }
  // A line cut at the limit still gives up its line feed when that comes next.
  if (line.size() == input_line_size - 1) {
    c = std::getchar();
    if (c != '\n' && c != EOF) std::ungetc(c, stdin);
  }
  return Text(std::move(line));
}

Text input_text(const char* prompt) {
  show_prompt(prompt);
  char buffer[input_text_size];
  if (std::fgets(buffer, sizeof buffer, stdin) == nullptr) return Text();
  return Text(buffer);
}

double input_number(const char* prompt) { return std::atof(input_text(prompt).c_str()); }

// ---- Files -----------------------------------------------------------------

File open_file(const char* path, const char* mode) {
  File f(std::fopen(path, mode));
  status = Dyn(f != nullptr);
  return f;
}

bool close_file(File& f) {
  if (!f) return false;
  const bool had_error = std::ferror(f.get()) != 0;
  return std::fclose(f.release()) == 0 && !had_error;
}

Text read_line(std::FILE* in) {
  char buffer[line_buffer_size];
  if (std::fgets(buffer, sizeof buffer, in) == nullptr) return Text();
  return Text(buffer);
}

LineReader::LineReader(std::FILE* in, NulBytes nul, Decoding decoding)
    : in_(in), nul_(nul), state_(decoding == Decoding::source ? State::start : State::utf8) {}

SourceEncoding LineReader::encoding() const {
  switch (state_) {
    case State::utf16le:
    case State::utf16be: return SourceEncoding::utf16;
    case State::windows_1252: return SourceEncoding::windows_1252;
    default: return SourceEncoding::utf8;
  }
}

const char* encoding_note(SourceEncoding encoding) {
  switch (encoding) {
    case SourceEncoding::utf16: return "read as UTF-16";
    case SourceEncoding::windows_1252: return "not UTF-8, read as Windows-1252";
    case SourceEncoding::utf8: break;
  }
  return nullptr;
}

bool LineReader::next_read(std::string_view& line) {
  for (;;) {
    const char* const base = buffer_.data();
    const char* const feed = find_byte(base + searched_, base + ready_, '\n');
    if (feed != base + ready_ || (at_end_ && begin_ < ready_)) {
      const std::size_t stop = feed != base + ready_ ? static_cast<std::size_t>(feed - base) + 1 : ready_;
      line = std::string_view(base + begin_, stop - begin_);
      begin_ = searched_ = stop;
      return true;
    }
    searched_ = ready_;
    if (at_end_ || !fill()) return false;
  }
}

bool LineReader::fill() {
  if (begin_ > 0) {
    // The unread part of a line moves to the front; the rest is done with.
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    ready_ -= begin_;
    searched_ -= begin_;
    begin_ = 0;
  }
  const std::size_t before = ready_;
  while (ready_ == before && !at_end_) {
    switch (state_) {
      case State::start:
      case State::ascii:
      case State::utf8: read_direct(); break;
      default: read_decoded(); break;
    }
  }
  // At the end, a last line without its line feed may wait.
  return ready_ > before || begin_ < ready_;
}

std::size_t LineReader::read_into(char* into, std::size_t room) {
  const std::size_t got = std::fread(into, 1, room, in_);
  if (got == 0) at_end_ = true;
  return got;
}

void LineReader::room_for(std::size_t bytes) {
  if (buffer_.size() - end_ < bytes) buffer_.resize(std::max(2 * buffer_.size(), end_ + bytes));
}

void LineReader::read_direct() {
  room_for(block_bytes);
  const std::size_t from = end_;
  end_ += read_into(buffer_.data() + end_, buffer_.size() - end_);
  if (state_ == State::start) {
    settle_start();
    return;
  }
  drop_nul(from);
  if (state_ == State::ascii) {
    settle_ascii(ready_);
  } else {
    ready_ = end_;
  }
}

void LineReader::settle_start() {
  // A mark takes at most three bytes: the rest waits until they are read.
  if (end_ < 3 && !at_end_) return;
  const auto byte = [this](std::size_t i) {
    return i < end_ ? static_cast<unsigned char>(buffer_[i]) : 0x100u;
  };
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    state_ = State::utf8;
    begin_ = searched_ = 3;
    drop_nul(3);
    ready_ = end_;
  } else if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF)) {
    state_ = byte(0) == 0xFF ? State::utf16le : State::utf16be;
    raw_.assign(buffer_.begin() + 2, buffer_.begin() + static_cast<std::ptrdiff_t>(end_));
    end_ = ready_ = 0;
    decode(0);
  } else {
    state_ = State::ascii;
    drop_nul(0);
    settle_ascii(0);
  }
}

void LineReader::settle_ascii(std::size_t from) {
  const unsigned char* const text = reinterpret_cast<const unsigned char*>(buffer_.data());
  std::size_t at = from;
  // Sixteen bytes, or a word, at a time while no byte is above 0x7F.
#if KIT_SSE2
  while (at + 16 <= end_ &&
         _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at))) == 0) {
    at += 16;
  }
#endif
  constexpr std::uint64_t highs = 0x8080808080808080u;
  for (std::uint64_t word = 0; at + sizeof word <= end_; at += sizeof word) {
    std::memcpy(&word, text + at, sizeof word);
    if ((word & highs) != 0) break;
  }
  while (at < end_ && text[at] < 0x80) ++at;
  ready_ = at;
  if (at == end_) return;
  const Utf8Sequence first = utf8_sequence(buffer_.data() + at, buffer_.data() + end_);
  // A sequence the read cut short is decided once more is read.
  if (!first.well_formed && at + first.length == end_ && !at_end_) return;
  if (first.well_formed) {
    state_ = State::utf8;
    ready_ = end_;
    return;
  }
  // Windows-1252 from the start: the bytes before are ASCII and read the same.
  state_ = State::windows_1252;
  raw_.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(at),
              buffer_.begin() + static_cast<std::ptrdiff_t>(end_));
  end_ = at;
  decode(0);
}

void LineReader::read_decoded() {
  const std::size_t kept = raw_.size();
  raw_.resize(kept + block_bytes);
  raw_.resize(kept + read_into(raw_.data() + kept, block_bytes));
  decode(0);
}

void LineReader::decode(std::size_t from) {
  // Each byte, or pair of bytes, gives at most three of UTF-8; U+FFFD for
  // a surrogate left over takes three more.
  room_for(3 * (raw_.size() - from) + 2 * replacement_character.size());
  const unsigned char* in = reinterpret_cast<const unsigned char*>(raw_.data()) + from;
  const unsigned char* const stop = reinterpret_cast<const unsigned char*>(raw_.data()) + raw_.size();
  char* out = buffer_.data() + end_;
  const bool drop = nul_ == NulBytes::drop;
  const auto put = [&out, drop](char32_t c) {
    if (c != 0 || !drop) out = put_utf8(out, c);
  };
  const auto replace = [&out] {
    std::memcpy(out, replacement_character.data(), replacement_character.size());
    out += replacement_character.size();
  };
  if (state_ == State::windows_1252) {
    for (; in != stop; ++in) {
      if (*in >= 0x80) {
        put(windows_1252(*in));
      } else if (*in != 0 || !drop) {
        *out++ = static_cast<char>(*in);  // ASCII, most of most files
      }
    }
  } else {
    const bool little = state_ == State::utf16le;
    for (; stop - in >= 2; in += 2) {
      const char32_t unit = little ? in[0] | in[1] << 8 : in[0] << 8 | in[1];
      if (high_surrogate_ != 0) {
        const char32_t high = high_surrogate_;
        high_surrogate_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
          put(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
          continue;
        }
        replace();  // a high surrogate without its low half
      }
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_surrogate_ = unit;
      } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        replace();  // a low surrogate alone
      } else {
        put(unit);
      }
    }
    // Whatever the end leaves unfinished, an odd byte or a high surrogate
    // or both, gives one U+FFFD.
    if (at_end_ && (in != stop || high_surrogate_ != 0)) {
      replace();
      in = stop;
      high_surrogate_ = 0;
    }
  }
  raw_.erase(raw_.begin(), raw_.begin() + (reinterpret_cast<const char*>(in) - raw_.data()));
  end_ = ready_ = static_cast<std::size_t>(out - buffer_.data());
}

void LineReader::drop_nul(std::size_t from) {
  if (nul_ != NulBytes::drop || from >= end_) return;
  char* const start = buffer_.data() + from;
  char* const stop = buffer_.data() + end_;
  if (std::memchr(start, '\0', end_ - from) == nullptr) return;
  end_ = static_cast<std::size_t>(std::remove(start, stop, '\0') - buffer_.data());
}

Text read_whole_line(std::FILE* in) {
  // getline, not a LineReader: bytes past the line stay in the stream.
  char* raw = nullptr;
  std::size_t capacity = 0;
  const ssize_t got = ::getline(&raw, &capacity, in);
  Text line = got > 0 ? Text(std::string_view(raw, static_cast<std::size_t>(got))) : Text();
  std::free(raw);
  return line;
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

Text read_block(std::FILE* in, int n) {
  if (n <= 0) return Text();
  std::string block(static_cast<std::size_t>(n), '\0');
  block.resize(std::fread(block.data(), 1, block.size(), in));
  return Text(std::move(block));
}

bool write_text(std::FILE* out, const Text& t) {
  const std::string_view bytes = t.view();
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

bool write_chars(std::FILE* out, const char* s) {
  const std::size_t n = std::strlen(s);
  return std::fwrite(s, 1, n, out) == n;
}

bool seek(std::FILE* f, std::int64_t offset) {
  return ::fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

Array load_lines(const char* path) {
  Array lines;
  const File in(std::fopen(path, "r"));
  if (!in) return lines;
  std::string buffer(load_lines_buffer_size, '\0');
  while (std::fgets(buffer.data(), load_lines_buffer_size, in.get()) != nullptr) {
    lines.push(Dyn(buffer.c_str()));
  }
  return lines;
}

bool store_lines(const Array& lines, const char* path) {
  File out(std::fopen(path, "w"));
  if (!out) return false;
  bool written = true;
  // The first element is written whatever it holds; a nil one after it ends
  // the lines, as the walk of the programs does.
  for (int i = 0; i < lines.size() && written; ++i) {
    const Dyn line = lines.at(i);
    if (i > 0 && line.is_nil()) break;
    written = write_text(out.get(), line.to_chars());
  }
  return close_file(out) && written;
}

bool file_exists(const char* path) { return ::access(path, F_OK) == 0; }

bool same_file(const Text& a, const Text& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool file_info(const char* path) {
  const File f(std::fopen(path, "r"));
  struct stat info {};
  if (!f || ::fstat(::fileno(f.get()), &info) != 0) {
    report_cannot_open(path);
    return false;
  }
  file_record.size = static_cast<std::int64_t>(info.st_size);
  file_record.time = static_cast<std::int64_t>(info.st_mtime);
  return true;
}

double file_size(const char* path) {
  return file_info(path) ? static_cast<double>(file_record.size) : 0.0;
}

std::int64_t file_time(const char* path) { return file_info(path) ? file_record.time : 0; }

bool is_dir(const char* path) { return Directory(path).is_open(); }

Text file_type(const char* path) {
  if (is_dir(path)) return Text("dir");
  if (path != nullptr && File(std::fopen(path, "r"))) return Text("file");
  return Text("unknow");
}

bool exists(const char* path) {
  return is_dir(path) || (path != nullptr && File(std::fopen(path, "r")) != nullptr);
}

bool remove_file(const char* path) { return ::unlink(path) == 0; }

bool rename_file(const char* from, const char* to) { return std::rename(from, to) == 0; }

Text iso_time(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local {};
  if (::localtime_r(&t, &local) == nullptr) return Text();
  const long year = 1900L + local.tm_year;
  if (year < 0 || year > 9999) return Text();
  const long offset = local.tm_gmtoff;
  const long magnitude = offset < 0 ? -offset : offset;
  // Valid fields take 25 bytes; the room beyond is for what the compiler
  // cannot rule out.
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04ld-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", year,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60);
  return Text(buffer);
}

// ---- Directories -----------------------------------------------------------

Directory::Directory(const char* path) {
  if (path != nullptr && *path != '\0') stream_.reset(::opendir(path));
}

Text Directory::next_entry() {
  if (!stream_) return Text();
  const dirent* entry = ::readdir(stream_.get());
  return entry != nullptr ? Text(entry->d_name) : Text();
}

void Directory::rewind() {
  if (stream_) ::rewinddir(stream_.get());
}

bool Directory::close() {
  if (!stream_) return false;
  return ::closedir(stream_.release()) == 0;
}

Directory open_dir(const char* path) { return Directory(path); }

namespace {

// The Directory a Dyn points to; null when it holds none. A tag 50 value
// may also be a shared typed array, which is never taken for a directory.
Directory* directory_of(const Dyn& stream) {
  if (stream.type() != tag::object || stream.typed_array() != nullptr) return nullptr;
  return static_cast<Directory*>(stream.pointer());
}

}  // namespace

Text read_dir_entry(const Dyn& stream) {
  Directory* d = directory_of(stream);
  return d != nullptr ? d->next_entry() : Text();
}

void rewind_dir(const Dyn& stream) {
  if (Directory* d = directory_of(stream)) d->rewind();
}

void close_dir(const Dyn& stream) {
  Directory* d = directory_of(stream);
  if (d == nullptr || !d->close()) print_line("Unable to close directory");
}

Array list_dir(Directory& stream) {
  Array names;
  for (Text name = stream.next_entry(); !name.is_empty(); name = stream.next_entry()) {
    if (name.first_char() != '.') names.push(Dyn(std::move(name)));
  }
  return names;
}

Text current_dir() {
  char buffer[current_dir_size];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return Text();
  return Text(buffer);
}

bool change_dir(const char* path) { return ::chdir(path) == 0; }

bool make_dir(const char* path) { return ::mkdir(path, 0777) == 0; }

bool remove_dir(const char* path) { return ::rmdir(path) == 0; }

PathParts split_extension(const Text& path) {
  for (int i = path.length() - 1; i >= 0; --i) {
    if (path.str()[static_cast<std::size_t>(i)] == '.') {
      return {path.slice(0, i, End::exclusive), path.slice(i + 1, -1, End::inclusive)};
    }
  }
  return {path, Text()};
}

}  // namespace kit
