// SPDX-License-Identifier: MIT
// The XML loader and the writers. Properties, for any document Expat takes:
// the stored copy is a well-formed document (comments around the top element
// go inside it), holding every word of the document's text in its order; and
// loading and storing again gives the same bytes. What the writer and the
// loader change by design:
//   - a comment node is written as the element "comment" whose attribute
//     "data" holds the wrapped comment text;
//   - a value enclosed in one kind of quote found nowhere inside is written
//     between those quotes, so it comes back without them: the bytes settle
//     from the second store on;
//   - text is joined into one line a line, lines of white space alone left
//     out, and given to the element started last: the words stay in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support.h"
#include "support/xml_check.h"
#include "tree/dom.h"
#include "tree/loader.h"
#include "tree/writer.h"

namespace {

// Whether a value is written between its own quotes, which it then loses.
bool loses_its_quotes(std::string_view v) {
  return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front() &&
         v.substr(1, v.size() - 2).find(v.front()) == std::string_view::npos;
}

bool has_value_in_own_quotes(const kit::Dom& dom) {
  for (int i = 1; i < dom.node_count(); ++i) {
    bool found = false;
    dom.node(i).element().each_attribute(
        [&found](const kit::AttributeView& a) { found = found || loses_its_quotes(a.value); });
    if (found) return true;
  }
  return false;
}

// Expat reads three Latin-1 letters in names (U+00AA, U+00B5, U+00BA) that
// it refuses in names read as UTF-8. A name holding one is stored unchanged,
// as any name is, so that copy cannot be read back.
bool has_name_only_latin1_takes(const kit::Dom& dom) {
  const auto holds_one = [](std::string_view name) {
    for (const std::string_view letter : {"\xC2\xAA", "\xC2\xB5", "\xC2\xBA"}) {
      if (name.find(letter) != std::string_view::npos) return true;
    }
    return false;
  };
  for (int i = 1; i < dom.node_count(); ++i) {
    const kit::Element& element = dom.node(i).element();
    bool found = holds_one(element.name_view());
    element.each_attribute([&](const kit::AttributeView& a) { found = found || holds_one(a.name); });
    if (found) return true;
  }
  return false;
}

std::string stored_again(const std::string& stored, fuzz::MemoryFile& messages) {
  kit::Dom dom;
  bool loaded = false;
  {
    fuzz::StderrCapture quiet(messages);
    loaded = kit::load_xml_text(dom, stored);
  }
  fuzz::check(loaded, "a stored document loads again", messages.read() + "\n" + stored);
  return kit::store_text(dom, kit::format_xml).str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile source, light, messages;
  const std::string input(reinterpret_cast<const char*>(data), size);
  source.write(input);

  kit::Dom first;
  bool loaded = false;
  {
    fuzz::StderrCapture quiet(messages);  // parse errors are expected here
    loaded = kit::load_xml(first, kit::Text(source.path()));
  }
  if (!loaded || first.is_empty()) return 0;

  fuzz::check(kit::store(first, kit::Text(light.path()), kit::format_light), "light form stores");
  const std::string stored = kit::store_text(first, kit::format_xml).str();
  if (has_name_only_latin1_takes(first)) return 0;
  const std::string error = kit_test::xml_error(stored);
  fuzz::check(error.empty(), "a loaded document is stored as a well-formed document",
              error + "\n" + stored);
  fuzz::check(kit_test::words_of(stored) == kit_test::words_of(input),
              "the stored copy holds every word in its order", stored);

  const std::string second = stored_again(stored, messages);
  const std::string third = stored_again(second, messages);
  fuzz::check(third == second, "a stored copy stores to the same bytes", second + "\n" + third);
  if (!has_value_in_own_quotes(first)) {
    fuzz::check(second == stored, "the first store is already settled", stored + "\n" + second);
  }
  return 0;
}
