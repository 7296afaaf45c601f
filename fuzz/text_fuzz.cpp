// SPDX-License-Identifier: MIT
// The Text operations that take positions, against a model written from
// their contracts: plain byte loops over a std::string, positions in 64 bits
// so that no clamping can overflow. Property: after every operation the
// text and the model hold the same bytes, and every result agrees.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/text.h"
#include "support.h"

namespace {

using Wide = std::int64_t;

// The model stays small, so that inserts cannot make a run slow.
constexpr std::size_t max_model_bytes = 4096;

std::string model_slice(const std::string& m, Wide start, Wide end, bool inclusive) {
  const Wide n = static_cast<Wide>(m.size());
  if (n == 0 || (start == 0 && end == 0)) return "";
  if (!inclusive && end != 0) --end;
  if (start < 0) start = std::max<Wide>(start + n, 0);
  if (start >= n) return "";
  if (end < 0) end = std::max<Wide>(end + n, 0);
  if (end >= n) end = n - 1;
  std::string out;
  for (Wide i = start; i <= end; ++i) out += m[static_cast<std::size_t>(i)];
  return out;
}

void model_splice(std::string& m, Wide start, Wide end, const std::string& x, bool inclusive) {
  const Wide n = static_cast<Wide>(m.size());
  if (n == 0) {
    m = x;
    return;
  }
  if (!inclusive) --end;
  if (end < 0) {
    end += n;
    if (end < 0) return;
  }
  if (end >= n) end = n - 1;
  if (start < 0) start = std::max<Wide>(start + n, 0);
  if (end + 1 < start) return;
  if (start >= n) {
    m += x;
    return;
  }
  std::string out;
  for (Wide i = 0; i < start; ++i) out += m[static_cast<std::size_t>(i)];
  out += x;
  for (Wide i = end + 1; i < n; ++i) out += m[static_cast<std::size_t>(i)];
  m = out;
}

void model_insert(std::string& m, Wide pos, const std::string& x) {
  const Wide n = static_cast<Wide>(m.size());
  if (pos <= 0) {
    m = x + m;
  } else if (pos < n) {
    m = m.substr(0, static_cast<std::size_t>(pos)) + x + m.substr(static_cast<std::size_t>(pos));
  } else {
    m += x;
  }
}

bool bytes_at(const std::string& m, Wide i, const std::string& needle, bool nocase) {
  for (std::size_t k = 0; k < needle.size(); ++k) {
    unsigned char a = static_cast<unsigned char>(m[static_cast<std::size_t>(i) + k]);
    unsigned char b = static_cast<unsigned char>(needle[k]);
    if (nocase) {
      a = static_cast<unsigned char>(std::tolower(a));
      b = static_cast<unsigned char>(std::tolower(b));
    }
    if (a != b) return false;
  }
  return true;
}

// Negative starts count as 0, which callers are told not to pass anyway.
Wide model_find(const std::string& m, const std::string& needle, Wide from, bool nocase) {
  const Wide n = static_cast<Wide>(m.size());
  const Wide k = static_cast<Wide>(needle.size());
  for (Wide i = std::max<Wide>(from, 0); i < n - k + 1; ++i) {
    if (bytes_at(m, i, needle, nocase)) return i;
  }
  return -1;
}

void model_replace(std::string& m, const std::string& search, const std::string& replacement) {
  if (search.empty()) return;
  std::string out;
  bool any = false;
  Wide i = 0;
  const Wide n = static_cast<Wide>(m.size());
  const Wide k = static_cast<Wide>(search.size());
  while (i < n) {
    if (i + k <= n && bytes_at(m, i, search, false)) {
      out += replacement;
      i += k;
      any = true;
    } else {
      out += m[static_cast<std::size_t>(i++)];
    }
  }
  if (any && !out.empty()) m = out;
}

// Mostly positions near the text, where the rules turn; now and then any int.
int position(FuzzedDataProvider& in, std::size_t length) {
  if (in.ConsumeBool()) return in.ConsumeIntegral<int>();
  const int n = static_cast<int>(length);
  return in.ConsumeIntegralInRange<int>(-n - 2, n + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::string model = in.ConsumeRandomLengthString(64);
  kit::Text text(model);
  while (in.remaining_bytes() > 0 && model.size() <= max_model_bytes) {
    const int operation = in.ConsumeIntegralInRange(0, 5);
    const bool inclusive = in.ConsumeBool();
    const kit::End bound = inclusive ? kit::End::inclusive : kit::End::exclusive;
    const int a = position(in, model.size());
    const int b = position(in, model.size());
    const std::string x = in.ConsumeRandomLengthString(16);
    switch (operation) {
      case 0:
        fuzz::check(text.slice(a, b, bound).view() == model_slice(model, a, b, inclusive),
                    "slice agrees with the model", model);
        break;
      case 1:
        text.splice(a, b, kit::Text(x), bound);
        model_splice(model, a, b, x, inclusive);
        break;
      case 2:
        text.insert(a, kit::Text(x));
        model_insert(model, a, x);
        break;
      case 3:
        fuzz::check(text.find(kit::Text(x), a) == model_find(model, x, a, false),
                    "find agrees with the model", model);
        break;
      case 4:
        fuzz::check(text.find_nocase(kit::Text(x), a) == model_find(model, x, a, true),
                    "find_nocase agrees with the model", model);
        break;
      default: {
        // Searches taken from the text itself find something now and then.
        const std::string search =
            in.ConsumeBool() ? model_slice(model, a, static_cast<Wide>(a) + 2, false) : x;
        if (search.empty()) break;
        text.replace(kit::Text(search), kit::Text(x));
        model_replace(model, search, x);
        break;
      }
    }
    fuzz::check(text.view() == model, "the text holds the model's bytes", model);
  }
  return 0;
}
