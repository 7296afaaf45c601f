// SPDX-License-Identifier: MIT
/// @file
/// Files, directories and console: a thin layer over the host's buffered
/// streams and POSIX file-system calls.
///
/// Every reader returns the empty text at the end of the file or on an error;
/// callers tell the two apart with the stream's own end-of-file and error
/// indicators. No function here reads or writes a stream that failed to open.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/text.h"

namespace kit {

class Array;
class Dyn;


/// read_line reads into a buffer of this size: at most 2047 bytes per call.
inline constexpr int line_buffer_size = 2048;
/// input_line keeps at most 255 bytes of a console line.
inline constexpr int input_line_size = 256;
/// input_text reads into a buffer of this size: 254 bytes and the line feed.
inline constexpr int input_text_size = 255;
/// load_lines reads into a buffer of this size: at most 65535 bytes per line.
inline constexpr int load_lines_buffer_size = 65536;

// ---- Console and fatal exit ------------------------------------------------

/// Writes s and "\n" to standard output; null writes an empty line.
void print_line(const char* s);
/// print_line of the text's bytes up to its first NUL.
inline void print_line(const Text& s) { print_line(s.c_str()); }

/// Writes msg and "\n" to standard output, then ends the process, status 1.
[[noreturn]] void die(const char* msg);
/// die with the text's bytes up to its first NUL.
[[noreturn]] inline void die(const Text& msg) { die(msg.c_str()); }

/// Ends the process with status 0, writing nothing of its own.
[[noreturn]] void quit();

/// What a failure to open a file says in front of its path; both programs
/// say it too.
inline constexpr const char* cannot_open_message = "Cannot open";

/// Writes "Cannot open <path>\n" to standard error.
void report_cannot_open(const char* path);

/// "" for n below 2, else "s": the plural ending of a counted word.
const char* plural_s(int n);

/// Writes the prompt, then reads one console line of at most 255 bytes; the
/// line feed is consumed, not kept, and a longer line's rest comes with the
/// next call. "" at the end of the input.
Text input_line(const char* prompt);
/// Writes the prompt, then reads at most 254 bytes of a console line, the
/// line feed kept when it fits (the rest comes with the next call). "" at the
/// end of the input.
Text input_text(const char* prompt);
/// input_text read as a decimal number (atof); 0 when it holds none.
double input_number(const char* prompt);

// ---- Files -----------------------------------------------------------------

/// How File closes its stream.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }  ///< fclose; a failure goes unseen
};
/// An open stream, closed when dropped. Streams written to are closed with
/// close_file, so that a failed final write is seen.
using File = std::unique_ptr<std::FILE, FileCloser>;

/// Opens the file in the stream mode ("r", "w", "a", "wb"...); sets `status`
/// (dyn.h) to whether it opened. Null when it did not.
File open_file(const char* path, const char* mode);
/// Closes the stream; false when it was null or a write failed on the way.
bool close_file(File& f);

/// One line of at most 2047 bytes, its line feed kept when it fits; "" at the
/// end of the file or on an error. Longer lines arrive in pieces.
Text read_line(std::FILE* in);

/// One whole physical line of any length, its line feed kept when present;
/// "" at the end of the file or on an error.
Text read_whole_line(std::FILE* in);

/// What a LineReader does with NUL bytes inside a line. XML cannot carry
/// them, so the converters drop them; a line left empty by that is skipped.
enum class NulBytes : bool { keep, drop };

/// Whether a LineReader hands out the bytes as they are, or reads a source
/// text in the encoding its first bytes tell and hands out UTF-8:
/// - a UTF-8 byte order mark is skipped and the rest read as UTF-8;
/// - after a UTF-16 byte order mark (either byte order) the rest is UTF-16:
///   an unpaired surrogate becomes U+FFFD, and so does whatever the end of
///   the source leaves unfinished (an odd byte, a high surrogate, or both);
/// - without a mark the source is UTF-8 when the first byte above 0x7F starts
///   a well-formed sequence, or there is none, and Windows-1252 otherwise.
///
/// A U+0000 decoded from UTF-16 counts as a NUL byte.
enum class Decoding : bool { none, source };

/// How a decoding LineReader read its source.
enum class SourceEncoding : unsigned char { utf8, utf16, windows_1252 };

/// What a program tells its user after "<source>: " of a source read so:
/// "read as UTF-16" or "not UTF-8, read as Windows-1252"; null for UTF-8.
const char* encoding_note(SourceEncoding encoding);

/// Reads whole lines of any length through one reused buffer: the fast path
/// of the converters, which see every line only once. It reads the stream
/// ahead in blocks, so it should read the rest of the stream alone.
class LineReader {
public:
  /// Reads `in`, which stays open and the caller's, from where it stands;
  /// nothing is read before the first next().
  explicit LineReader(std::FILE* in, NulBytes nul = NulBytes::keep,
                      Decoding decoding = Decoding::none);
  /// The next line with its line feed, never empty, valid until the next
  /// call; false at the end of the file or on an error (the stream's
  /// indicators tell which). A line ends at a line feed, decoded or not.
  /// Inline for a line already read whole, which most are.
  bool next(std::string_view& line) {
    const char* const base = buffer_.data();
    const char* const feed = find_byte(base + searched_, base + ready_, '\n');
    if (feed == base + ready_) return next_read(line);
    const auto stop = static_cast<std::size_t>(feed - base) + 1;
    line = std::string_view(base + begin_, stop - begin_);
    begin_ = searched_ = stop;
    return true;
  }
  /// What the source was read as so far: UTF-8 until its bytes tell
  /// otherwise, and always without Decoding::source.
  SourceEncoding encoding() const;

private:
  enum class State : unsigned char { start, ascii, utf8, utf16le, utf16be, windows_1252 };
  /// Bytes asked of the stream at a time; a longer line grows the buffer.
  static constexpr std::size_t block_bytes = std::size_t{1} << 16;
  bool next_read(std::string_view& line);      ///< next, reading what the line needs
  bool fill();                                 ///< false when nothing more became ready
  std::size_t read_into(char* into, std::size_t room);  ///< one read; sets at_end_ at the end
  void read_direct();                          ///< bytes that are text as they stand
  void read_decoded();                         ///< UTF-16 or Windows-1252
  void settle_start();                         ///< the byte order mark, once enough is read
  void settle_ascii(std::size_t from);         ///< the first byte above 0x7F decides
  void decode(std::size_t from);               ///< raw_ from `from` on, into the text
  void drop_nul(std::size_t from);             ///< in the text from `from` to its end
  void room_for(std::size_t bytes);            ///< in the text, after its end

  std::FILE* in_;
  NulBytes nul_;
  State state_;
  std::vector<char> buffer_;                   ///< the text handed out, and bytes read ahead
  std::size_t begin_ = 0;                      ///< the unread text: begin_ to ready_
  std::size_t ready_ = 0;                      ///< past it, bytes read but not yet settled
  std::size_t end_ = 0;
  std::size_t searched_ = 0;                   ///< unread text known to hold no line feed
  std::vector<char> raw_;                      ///< bytes read but not yet decoded
  char32_t high_surrogate_ = 0;                ///< UTF-16: waiting for its low half
  bool at_end_ = false;
};

/// The bytes of a UTF-8 byte order mark.
inline constexpr char byte_order_mark[] = "\xEF\xBB\xBF";

/// Skips a UTF-8 byte order mark at the current position, if one stands
/// there; any other bytes are left unread. Returns whether one was skipped.
bool skip_byte_order_mark(std::FILE* in);

/// One block read of up to n bytes; fewer at the end of the file, "" on an
/// error or when n is 0 or less.
Text read_block(std::FILE* in, int n);

/// One write of the text's bytes; false when the stream reports an error.
bool write_text(std::FILE* out, const Text& t);
/// One write of the string's bytes up to its NUL; false on an error.
bool write_chars(std::FILE* out, const char* s);

/// Moves the stream to that byte offset from the start; false on failure.
bool seek(std::FILE* f, std::int64_t offset);

/// The file's lines as texts, terminators kept; lines over 65535 bytes come
/// in pieces. Empty, and nothing printed, when the file does not open.
Array load_lines(const char* path);
/// Writes the elements' to_chars one after the other, no separator, from the
/// first up to the element before the first nil one; an empty Array gives an
/// empty file. False, and nothing printed, when the file does not open or a
/// write fails.
bool store_lines(const Array& lines, const char* path);

/// Whether a file of that name exists (the host's access test).
bool file_exists(const char* path);
/// file_exists for the text's bytes up to its first NUL.
inline bool file_exists(const Text& path) { return file_exists(path.c_str()); }

/// Whether both names lead to one existing file (links and "./" forms
/// included); false when either is missing.
bool same_file(const Text& a, const Text& b);

/// What file_info last found.
struct FileRecord {
  std::int64_t size = 0;  ///< bytes
  std::int64_t time = 0;  ///< last modification, seconds since 1970-01-01 UTC
};
/// Filled by the last successful file_info; process-wide.
extern FileRecord file_record;

/// Opens the file for reading and fills file_record from the open stream;
/// reports "Cannot open" and gives false when it does not open.
bool file_info(const char* path);
/// The size in bytes through file_info; 0 when that failed.
double file_size(const char* path);
/// The last-modification time through file_info; 0 when that failed.
std::int64_t file_time(const char* path);

/// "dir" when the path opens as a directory, "file" when it opens for
/// reading, else "unknow" (the spelling callers compare against).
Text file_type(const char* path);
/// True for a directory or a file that opens for reading.
bool exists(const char* path);
/// True when the path opens as a directory.
bool is_dir(const char* path);
/// Deletes the file (never a directory); false on failure.
bool remove_file(const char* path);
/// Renames the file; false on failure.
bool rename_file(const char* from, const char* to);

/// The local time as "YYYY-MM-DDThh:mm:ss+hh:mm" (25 bytes), the suffix being
/// the local zone's offset then; "" for a time the host cannot convert or a
/// year outside 0..9999.
Text iso_time(std::int64_t seconds);

// ---- Directories -----------------------------------------------------------

/// At most this many bytes of the working directory's path are asked for.
inline constexpr int current_dir_size = 256;

/// A directory stream, closed when dropped unless close() did it first.
class Directory {
public:
  Directory() = default;  ///< not open
  /// Opens the stream; not open for null, empty, a non-directory or no memory.
  explicit Directory(const char* path);

  /// Whether the stream is open: false when it failed to open, for the
  /// default one, and after close().
  bool is_open() const { return stream_ != nullptr; }
  /// The next entry's name in the host's order; "" when there are no more.
  Text next_entry();
  /// Starts the enumeration again from the first entry.
  void rewind();
  /// Closes the stream; false when the host refuses (the stream is dropped).
  bool close();

private:
  struct Closer {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, Closer> stream_;
};

/// A directory stream on the path; not open on failure. A program that
/// keeps it in a Dyn wraps its address: Dyn::of_object(&directory).
Directory open_dir(const char* path);

/// The next entry of the Directory the Dyn points to; "" when there are no
/// more or the Dyn holds no directory.
Text read_dir_entry(const Dyn& stream);
/// Restarts the enumeration; nothing when the Dyn holds no directory.
void rewind_dir(const Dyn& stream);
/// Closes the stream; prints "Unable to close directory" when that fails or
/// the Dyn holds no open directory.
void close_dir(const Dyn& stream);
/// The names of the remaining entries as texts, in the host's order, those
/// beginning with "." left out; stops at the first empty name.
Array list_dir(Directory& stream);

/// The working directory's path; "" when it is longer than 255 bytes or
/// cannot be read.
Text current_dir();
/// Changes the working directory; false on failure.
bool change_dir(const char* path);
/// Creates one directory; false on failure.
bool make_dir(const char* path);
/// Removes an empty directory; false on failure.
bool remove_dir(const char* path);

/// A path split at its last "." (the whole path is scanned, separators are
/// not looked at); no dot gives the whole path and an empty extension.
struct PathParts {
  Text base;       ///< the bytes before the last dot
  Text extension;  ///< the bytes after it
};
/// The path's base and extension, as PathParts tells; never fails.
PathParts split_extension(const Text& path);

}  // namespace kit
