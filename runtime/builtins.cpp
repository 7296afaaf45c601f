// SPDX-License-Identifier: MIT
#include "runtime/builtins.h"

#include "runtime/dyn.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace kit {

namespace {

std::string_view view_of(const char* s) { return s != nullptr ? std::string_view(s) : std::string_view(); }

// A position clamped into 0..size.
std::size_t clamp_position(int pos, std::size_t size) {
  if (pos <= 0) return 0;
  return std::min(static_cast<std::size_t>(pos), size);
}

bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r' && c != '\f'); }

// Every byte of s through f.
template <typename F> Text map_bytes(const char* s, F f) {
  std::string out(view_of(s));
  for (char& c : out) c = static_cast<char>(f(static_cast<unsigned char>(c)));
  return Text(std::move(out));
}

// The double truncated toward zero into [low, high]; NaN gives 0.
template <typename Int> Int truncate_clamped(double d, Int low, Int high) {
  if (std::isnan(d)) return 0;
  if (d <= static_cast<double>(low)) return low;
  if (d >= static_cast<double>(high)) return high;
  return static_cast<Int>(d);
}

}  // namespace

// ---- Minimum and maximum ---------------------------------------------------

int min(int a, int b) { return b < a ? b : a; }
int max(int a, int b) { return a > b ? a : b; }
std::uint64_t min(std::uint64_t a, std::uint64_t b) { return b < a ? b : a; }
std::uint64_t max(std::uint64_t a, std::uint64_t b) { return a > b ? a : b; }
double min(double a, double b) { return a <= b ? a : b; }
double max(double a, double b) { return a > b ? a : b; }
Text min(const Text& a, const Text& b) { return a.compare(b) <= 0 ? a : b; }
Text max(const Text& a, const Text& b) { return a.compare(b) == 1 ? a : b; }
Dyn min(const Dyn& a, const Dyn& b) { return a > b ? b : a; }
Dyn max(const Dyn& a, const Dyn& b) { return a > b ? a : b; }

// ---- Conversions -----------------------------------------------------------

int int_of(double d) { return truncate_clamped<int>(d, INT_MIN, INT_MAX); }
int int_of(const char* s) { return s != nullptr ? std::atoi(s) : 0; }
int int_of(const Text& t) { return std::atoi(t.c_str()); }
int int_of(const Dyn& d) {
  const std::int64_t n = d.to_int64();
  return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

std::uint64_t natural(int n) { return static_cast<std::uint64_t>(static_cast<std::int64_t>(n)); }
std::uint64_t natural(bool b) { return b ? 1 : 0; }
std::uint64_t natural(double d) {
  // Negative values wrap as a negative integer would.
  return static_cast<std::uint64_t>(truncate_clamped<std::int64_t>(d, INT64_MIN, INT64_MAX));
}
std::uint64_t natural(const Text& t) { return static_cast<std::uint64_t>(t.to_int64()); }
std::uint64_t natural(const char* s) { return natural(real(s)); }
std::uint64_t natural(const Dyn& d) { return natural(d.to_int()); }

double real(int n) { return n; }
double real(std::uint64_t n) { return static_cast<double>(n); }
double real(double d) { return d; }
double real(const Text& t) { return real(t.c_str()); }
double real(const char* s) { return s != nullptr ? std::strtod(s, nullptr) : 0.0; }
double real(const Dyn& d) { return d.to_number(); }

Text text(int n) { return Text(n); }
Text text(std::uint64_t n) { return Text(n); }
Text text(double d) { return Text(d); }
Text text(const char* s) { return Text(s); }
Text text(bool b) { return Text(b ? "true" : "false"); }
Text text(const Dyn& d) { return d.to_text(); }

Text chars_of(int n) { return Text(n); }
Text chars_of(double d) { return Text(d); }
Text chars_of(const Dyn& d) { return d.to_chars(); }

Text hex(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(n));
  return Text(buffer);
}

double nearest(double d) { return std::floor(d + 0.5); }
char chr(int code) { return static_cast<char>(code & 0xFF); }
Text chr_text(int code) { return Text(chr(code)); }
int ord(const char* s) { return s != nullptr ? static_cast<unsigned char>(s[0]) : 0; }
int ord(const Text& t) { return static_cast<unsigned char>(t.first_char()); }
bool bool_of(int n) { return n != 0; }
bool is_array(const Dyn& d) { return d.type() == tag::array; }
bool is_typed_array(const Dyn& d) { return d.type() == tag::typed_array; }
std::uint64_t time_now() { return static_cast<std::uint64_t>(std::time(nullptr)); }

// ---- Text functions on character strings -----------------------------------

Text substring(const char* s, int start, int n) {
  const std::string_view v = view_of(s);
  if (n <= 0) return Text();
  return Text(v.substr(clamp_position(start, v.size()), static_cast<std::size_t>(n)));
}

Text rest_at(const char* s, int start) {
  const std::string_view v = view_of(s);
  return Text(v.substr(clamp_position(start, v.size())));
}

Text lower(const char* s) { return map_bytes(s, [](unsigned char c) { return std::tolower(c); }); }
Text upper(const char* s) { return map_bytes(s, [](unsigned char c) { return std::toupper(c); }); }

Text capitalize(const char* s) {
  std::string out(view_of(s));
  if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  return Text(std::move(out));
}

Text capitalize_words(const char* s) {
  std::string out(view_of(s));
  unsigned char before = ' ';
  for (char& c : out) {
    const auto here = static_cast<unsigned char>(c);
    if (here > 32 && before <= 32) c = static_cast<char>(std::toupper(here));
    before = here;
  }
  return Text(std::move(out));
}

Text ltrim(const char* s) {
  std::string_view v = view_of(s);
  while (!v.empty() && is_space(static_cast<unsigned char>(v.front()))) v.remove_prefix(1);
  return Text(v);
}

Text rtrim(const char* s) {
  std::string_view v = view_of(s);
  while (!v.empty() && is_space(static_cast<unsigned char>(v.back()))) v.remove_suffix(1);
  return Text(v);
}

Text trim(const char* s) { return ltrim(rtrim(s).c_str()); }

int compare_nocase(const char* a, const char* b) {
  const std::string_view x = view_of(a), y = view_of(b);
  for (std::size_t i = 0;; ++i) {
    // The end of a string reads as a NUL, below every byte.
    const int cx = i < x.size() ? std::tolower(static_cast<unsigned char>(x[i])) : 0;
    const int cy = i < y.size() ? std::tolower(static_cast<unsigned char>(y[i])) : 0;
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
  }
}

int find(const char* needle, const char* s, int start) {
  const std::string_view v = view_of(s);
  if (start < 0) start = 0;
  if (static_cast<std::size_t>(start) > v.size()) return -1;
  const std::size_t p = v.find(view_of(needle), static_cast<std::size_t>(start));
  return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

Text rest_from(const char* s, const char* needle) {
  const Text whole(view_of(s));
  const int p = whole.find_nocase(Text(view_of(needle)));
  return p < 0 ? Text() : Text(whole.view().substr(static_cast<std::size_t>(p)));
}

Text replace(const char* s, const char* search, const char* replacement) {
  Text result(view_of(s));
  result.replace(Text(view_of(search)), Text(view_of(replacement)));
  return result;
}

Text replace_span(const char* s, const char* insertion, int first, int last) {
  const std::string_view v = view_of(s);
  std::string out(v.substr(0, clamp_position(first, v.size())));
  out += view_of(insertion);
  // "After last": the byte at last is replaced too.
  out += v.substr(clamp_position(last < INT_MAX ? last + 1 : last, v.size()));
  return Text(std::move(out));
}

Text translate(const char* s, const char* from, const char* to) {
  const std::string_view f = view_of(from), t = view_of(to);
  const std::size_t n = std::min(f.size(), t.size());
  // One table built up front keeps the whole pass linear; the first match in
  // `from` decides, so later duplicates are not allowed to overwrite it.
  int map[256];
  for (int& m : map) m = -1;
  for (std::size_t i = 0; i < n; ++i) {
    int& m = map[static_cast<unsigned char>(f[i])];
    if (m < 0) m = static_cast<unsigned char>(t[i]);
  }
  return map_bytes(s, [&map](unsigned char c) { return map[c] < 0 ? c : map[c]; });
}

int count_of(const char* s, const char* needle) {
  const std::string_view v = view_of(s), n = view_of(needle);
  if (n.empty()) return 0;
  int count = 0;
  for (std::size_t p = v.find(n); p != std::string_view::npos; p = v.find(n, p + n.size())) ++count;
  return count;
}

bool occurs_in(const char* needle, const char* haystack) {
  return view_of(haystack).find(view_of(needle)) != std::string_view::npos;
}

Text repeat(const char* s, int n) { return Text(view_of(s)).repeat(n); }

Text pad(const Text& t, int width, const char* fill, int mode) {
  const std::string_view f = view_of(fill);
  const int difference = width - t.length();
  if (difference <= 0 || f.empty() || mode < pad_right || mode > pad_centre) return t;
  const int n = mode == pad_centre ? (difference + 1) / 2 : difference;
  // Doubling reaches n bytes in a few large copies, then the excess is cut.
  std::string run(f);
  while (run.size() < static_cast<std::size_t>(n)) run += run;
  run.resize(static_cast<std::size_t>(n));
  std::string out;
  switch (mode) {
    case pad_right: out = run + t.str(); break;
    case pad_left: out = t.str() + run; break;
    default:
      // An odd difference leaves one byte less on the left.
      out.assign(run, 0, difference % 2 != 0 ? run.size() - 1 : run.size());
      out += t.str();
      out += run;
      break;
  }
  if (out.size() > static_cast<std::size_t>(width)) out.resize(static_cast<std::size_t>(width));
  return Text(std::move(out));
}

}  // namespace kit
