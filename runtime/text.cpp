// SPDX-License-Identifier: MIT
#include "runtime/text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace kit {

namespace {

// Large enough for every "%d", "%u" and "%g" result.
constexpr std::size_t number_buffer_size = 64;

template <typename T> std::string format(const char* code, T value) {
  char buffer[number_buffer_size];
  int n = std::snprintf(buffer, sizeof buffer, code, value);
  return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}


char lower_of(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
char upper_of(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

int sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

// Both texts number-like and of one length: then they compare by value.
bool numeric_pair(const Text& a, const Text& b) {
  return a.length() == b.length() && a.is_number() && b.is_number();
}

}  // namespace

Text::Text(const char* s) : bytes_(s ? s : "") {}
Text::Text(bool b) : bytes_(b ? "1" : "") {}
Text::Text(char c) : bytes_(1, c) {}
Text::Text(int n) : bytes_(format("%d", n)) {}
Text::Text(unsigned n) : bytes_(format("%u", n)) {}
Text::Text(std::uint64_t n) : bytes_(format("%g", static_cast<double>(n))) {}
Text::Text(double d) : bytes_(format("%g", d)) {}

int Text::to_int() const {
  // atoi's reading, without its undefined overflow: out-of-range values clamp.
  long long n = std::strtoll(bytes_.c_str(), nullptr, 10);
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int>(n);
}

double Text::to_real() const { return real_of(bytes_.c_str()); }

std::int64_t Text::to_int64() const {
  double d = to_real();
  // Out-of-range doubles have no int64 value; saturate instead of invoking UB.
  if (!(d == d)) return 0;
  if (d >= 9.2233720368547758e18) return INT64_MAX;
  if (d <= -9.2233720368547758e18) return INT64_MIN;
  return static_cast<std::int64_t>(d);
}

bool Text::is_number() const {
  bool seen_e = false;
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    char c = bytes_[i];
    if (c >= '0' && c <= '9') continue;
    if (c == 'e' && i > 0 && !seen_e) {
      seen_e = true;
      continue;
    }
    return false;
  }
  return true;
}

bool Text::truth() const {
  if (bytes_.empty()) return false;
  return !(is_number() && to_real() == 0.0);
}

Text Text::at(int i) const {
  if (i < 0 || i >= length()) return Text();
  return Text(bytes_[static_cast<std::size_t>(i)]);
}

int Text::compare(const Text& other) const {
  if (numeric_pair(*this, other)) return sign(to_real() - other.to_real());
  return sign(static_cast<double>(bytes_.compare(other.bytes_)));
}

int Text::compare_nocase(const Text& other) const {
  if (numeric_pair(*this, other)) return sign(to_real() - other.to_real());
  std::size_t n = std::min(bytes_.size(), other.bytes_.size());
  for (std::size_t i = 0; i < n; ++i) {
    int a = static_cast<unsigned char>(lower_of(bytes_[i]));
    int b = static_cast<unsigned char>(lower_of(other.bytes_[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (bytes_.size() == other.bytes_.size()) return 0;
  return bytes_.size() < other.bytes_.size() ? -1 : 1;
}

int Text::find(const Text& needle, int from) const {
  if (from < 0) from = 0;
  if (static_cast<std::size_t>(from) > bytes_.size()) return -1;
  std::size_t p = bytes_.find(needle.bytes_, static_cast<std::size_t>(from));
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

int Text::find_nocase(const Text& needle, int from) const {
  if (from < 0) from = 0;
  const int m = needle.length();
  for (int i = from; i < length() - m + 1; ++i) {
    int k = 0;
    while (k < m && lower_of(bytes_[i + k]) == lower_of(needle.bytes_[k])) ++k;
    if (k == m) return i;
  }
  return -1;
}

// slice and splice count in 64 bits: an exclusive end of INT_MIN, made
// inclusive, would overflow an int.
Text Text::slice(int start_at, int end_at, End bound) const {
  const std::int64_t n = length();
  std::int64_t start = start_at, end = end_at;
  if (n == 0 || (start == 0 && end == 0)) return Text();
  if (bound == End::exclusive && end != 0) --end;
  if (start < 0) start = std::max<std::int64_t>(start + n, 0);
  if (start >= n) return Text();
  if (end < 0) end = std::max<std::int64_t>(end + n, 0);
  if (end >= n) end = n - 1;
  const std::int64_t count = end - start + 1;
  if (count <= 0) return Text();
  return Text(bytes_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

Text Text::trim() const { return Text(trim_view(bytes_)); }

Text Text::ltrim() const {
  std::size_t i = 0;
  while (i < bytes_.size() && is_trim_space(bytes_[i])) ++i;
  return Text(bytes_.substr(i));
}

Text Text::rtrim() const { return Text(rtrim_view(bytes_)); }

Text Text::lower() const {
  std::string r(bytes_);
  for (char& c : r) c = lower_of(c);
  return Text(std::move(r));
}

Text Text::upper() const {
  std::string r(bytes_);
  for (char& c : r) c = upper_of(c);
  return Text(std::move(r));
}

Text Text::capitalize() const {
  std::string r(bytes_);
  if (!r.empty()) r[0] = upper_of(r[0]);
  return Text(std::move(r));
}

Text Text::repeat(int n) const {
  std::string r;
  if (n <= 0) return Text();
  r.reserve(bytes_.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) r += bytes_;
  return Text(std::move(r));
}

int Text::append(const Text& x) {
  bytes_ += x.bytes_;
  return length();
}

void Text::replace(const Text& search, const Text& replacement) {
  if (search.is_empty()) return;
  const std::size_t m = search.bytes_.size();
  std::string result;
  std::size_t done = 0;
  for (std::size_t p = bytes_.find(search.bytes_); p != std::string::npos;
       p = bytes_.find(search.bytes_, p + m)) {
    result.append(bytes_, done, p - done);
    result += replacement.bytes_;
    done = p + m;
  }
  if (done == 0) return;  // no occurrence
  result.append(bytes_, done, std::string::npos);
  // A result that would be empty leaves the text alone.
  if (!result.empty()) bytes_ = std::move(result);
}

void Text::insert(int pos, const Text& x) {
  if (pos <= 0) {
    bytes_.insert(0, x.bytes_);
  } else if (pos < length()) {
    bytes_.insert(static_cast<std::size_t>(pos), x.bytes_);
  } else {
    bytes_ += x.bytes_;
  }
}

void Text::splice(int start_at, int end_at, const Text& x, End bound) {
  const std::int64_t n = length();
  std::int64_t start = start_at, end = end_at;
  if (n == 0) {
    bytes_ = x.bytes_;
    return;
  }
  if (bound == End::exclusive) --end;
  if (end < 0) {
    end += n;
    if (end < 0) return;
  }
  if (end >= n) end = n - 1;
  if (start < 0) start = std::max<std::int64_t>(start + n, 0);
  if (end + 1 < start) return;
  if (start >= n) {
    bytes_ += x.bytes_;
    return;
  }
  bytes_.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(end + 1 - start),
                 x.bytes_);
}

void Text::set_at(int i, const Text& x) {
  if (x.is_empty()) return;
  if (i >= 0 && i < length()) {
    bytes_[static_cast<std::size_t>(i)] = x.bytes_[0];
  } else {
    bytes_ += x.bytes_;
  }
}

void Text::set_repeat(const Text& x, int n) { *this = x.repeat(n); }

Text operator+(const Text& a, const Text& b) {
  std::string r;
  r.reserve(a.str().size() + b.str().size());
  r += a.str();
  r += b.str();
  return Text(std::move(r));
}
Text operator+(const Text& a, const char* b) { return a + Text(b); }
Text operator+(const char* a, const Text& b) { return Text(a) + b; }

bool operator==(const Text& a, const Text& b) { return a.compare(b) == 0; }
bool operator!=(const Text& a, const Text& b) { return a.compare(b) != 0; }
bool operator<(const Text& a, const Text& b) { return a.compare(b) < 0; }
bool operator<=(const Text& a, const Text& b) { return a.compare(b) <= 0; }
bool operator>(const Text& a, const Text& b) { return a.compare(b) > 0; }
bool operator>=(const Text& a, const Text& b) { return a.compare(b) >= 0; }

bool operator==(const Text& a, int n) { return a == static_cast<double>(n); }
bool operator==(const Text& a, double d) { return a.is_number() && a.to_real() == d; }

double real_of(const char* s) {
  if (s == nullptr || *s == '\0') return 0.0;
  return std::atof(s);
}

std::ostream& operator<<(std::ostream& out, const Text& t) {
  return out.write(t.view().data(), static_cast<std::streamsize>(t.view().size()));
}

std::size_t hash_text(const Text& t) noexcept {
  // == compares two number-like texts of one length by value ("100" ==
  // "1e2"), so equal texts must give one hash; -0.0 == 0.0 as well.
  if (t.is_number()) {
    const double value = t.to_real();
    return std::hash<double>()(value == 0.0 ? 0.0 : value);
  }
  return std::hash<std::string_view>()(t.view());
}

}  // namespace kit
