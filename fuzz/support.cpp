#include "support.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

MemoryFile::MemoryFile() : fd_(::memfd_create("fuzz", 0)) {
  if (fd_ < 0) fail("a memory file can be made");
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

void MemoryFile::write(std::string_view bytes) {
  bool ok = ::ftruncate(fd_, 0) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(done));
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  // Writes through the descriptor, as a captured stream's, go on from the end.
  ok = ok && ::lseek(fd_, static_cast<off_t>(done), SEEK_SET) >= 0;
  if (!ok) fail("a memory file can be written");
}

std::string MemoryFile::read() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) fail("a memory file can be read");
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_, &bytes[done], bytes.size() - done, static_cast<off_t>(done));
    if (n <= 0) fail("a memory file can be read");
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

StderrCapture::StderrCapture(MemoryFile& into) : saved_(::dup(2)) {
  into.write("");
  std::fflush(stderr);
  if (saved_ < 0 || ::dup2(into.descriptor(), 2) < 0) fail("standard error can be captured");
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  ::dup2(saved_, 2);
  ::close(saved_);
}

namespace {

bool is_allowed_control(unsigned char c) { return c == '\t' || c == '\n' || c == '\r'; }

// Decodes one UTF-8 sequence at `at`; false for a malformed, overlong or
// surrogate one. Moves `at` past it.
bool next_code_point(std::string_view s, std::size_t& at, unsigned& code) {
  const unsigned char lead = static_cast<unsigned char>(s[at]);
  std::size_t extra = 0;
  unsigned min = 0;
  if (lead < 0x80) {
    code = lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    code = lead & 0x1F, extra = 1, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    code = lead & 0x0F, extra = 2, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    code = lead & 0x07, extra = 3, min = 0x10000;
  } else {
    return false;
  }
  if (s.size() - at - 1 < extra) return false;
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[at + k]);
    if ((c & 0xC0) != 0x80) return false;
    code = (code << 6) | (c & 0x3F);
  }
  at += extra + 1;
  return code >= min && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

bool is_xml_text(std::string_view raw, bool ascii_only) {
  std::string kept(raw);
  kept.erase(std::remove(kept.begin(), kept.end(), '\0'), kept.end());
  const std::string_view bytes = kept;
  for (std::size_t at = 0; at < bytes.size();) {
    unsigned code = 0;
    if (!next_code_point(bytes, at, code)) return false;
    if (code < 0x20 && !is_allowed_control(static_cast<unsigned char>(code))) return false;
    if (code == 0xFFFE || code == 0xFFFF) return false;
    if (ascii_only && code >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool is_xml_text(std::string_view bytes) { return is_xml_text(bytes, false); }

bool is_ascii_xml_text(std::string_view bytes) { return is_xml_text(bytes, true); }

void fail(const char* property, std::string_view detail) {
  std::fprintf(stderr, "\nProperty broken: %s\n", property);
  if (!detail.empty()) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(detail.size() > 4000 ? 4000 : detail.size()),
                 detail.data());
  }
  std::abort();
}

}  // namespace fuzz
