// SPDX-License-Identifier: MIT
#include "runtime/option_line.h"
#include "runtime/detail/option_line_bytes.h"

#include <cstdint>

#include "runtime/detail/blocks.h"

namespace kit {

namespace {

constexpr std::size_t none = std::string_view::npos;

// Where the bytes that shape an option line first stand.
struct Marks {
  std::size_t semicolon = none;
  std::size_t quote = none;         // the first '"'
  std::size_t second_quote = none;  // the next '"' after it
  std::size_t equals = none;
  std::size_t colon = none;
  void see(char c, std::size_t at) {
    switch (c) {
      case ';':
        if (semicolon == none) semicolon = at;
        break;
      case '"':
        if (quote == none) {
          quote = at;
        } else if (second_quote == none) {
          second_quote = at;
        }
        break;
      case '=':
        if (equals == none) equals = at;
        break;
      case ':':
        if (colon == none) colon = at;
        break;
      default: break;
    }
  }
};

// One pass over the line a byte at a time.
Marks marks_by_bytes(std::string_view line) {
  Marks marks;
  for (std::size_t at = 0; at < line.size(); ++at) marks.see(line[at], at);
  return marks;
}

// The same, sixteen bytes at a time where the processor compares that many.
Marks marks_of(std::string_view line) {
#if KIT_SSE2
  Marks marks;
  const __m128i semicolon = _mm_set1_epi8(';'), quote = _mm_set1_epi8('"');
  const __m128i equals = _mm_set1_epi8('='), colon = _mm_set1_epi8(':');
  // The bytes of one block that shape the line, one bit each, lowest first.
  const auto marks_of_block = [&](__m128i block) {
    const __m128i any =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, semicolon), _mm_cmpeq_epi8(block, quote)),
                     _mm_or_si128(_mm_cmpeq_epi8(block, equals), _mm_cmpeq_epi8(block, colon)));
    return static_cast<unsigned>(_mm_movemask_epi8(any));
  };
  const auto marks_in = [&](std::size_t from) {
    return marks_of_block(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + from)));
  };
  // Most blocks hold one or two of them: only those bytes are looked at.
  const auto see_all = [&](std::size_t from, unsigned mask) {
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t i = from + static_cast<std::size_t>(__builtin_ctz(mask));
      marks.see(line[i], i);
    }
  };
  if (line.size() < 16) {
    see_all(0, marks_of_block(detail::short_block(line.data(), line.size())));
    return marks;
  }
  std::size_t at = 0;
  for (; at + 16 <= line.size(); at += 16) see_all(at, marks_in(at));
  if (at < line.size()) {
    // The rest in one block ending with the line, the bytes seen already left out.
    const std::size_t last = line.size() - 16;
    see_all(last, marks_in(last) & (~0u << (at - last)));
  }
  return marks;
#else
  return marks_by_bytes(line);
#endif
}

std::optional<OptionLine> split_at(std::string_view line, const Marks& marks) {
  OptionLine parts;
  // A ";" inside the first pair of double quotes belongs to the value.
  const std::size_t q2 =
      marks.quote == none ? 0 : (marks.second_quote == none ? marks.quote : marks.second_quote);
  std::size_t cut = line.size();
  if (marks.semicolon != none &&
      ((marks.quote != none && marks.semicolon < marks.quote) || marks.semicolon > q2)) {
    parts.comment = line.substr(marks.semicolon + 1);
    cut = marks.semicolon;
  }
  // An "=" wins over a ":" wherever the two stand; neither counts in the comment.
  std::size_t separator = marks.equals < cut ? marks.equals : none;
  if (separator == none && marks.colon < cut) separator = marks.colon;
  if (separator == none) return std::nullopt;
  parts.key = line.substr(0, separator);
  parts.value = line.substr(separator + 1, cut - separator - 1);
  return parts;
}

}  // namespace

std::optional<OptionLine> split_option_line(std::string_view line) {
  return split_at(line, marks_of(line));
}

std::optional<OptionLine> split_option_line_by_bytes(std::string_view line) {
  return split_at(line, marks_by_bytes(line));
}

}  // namespace kit
