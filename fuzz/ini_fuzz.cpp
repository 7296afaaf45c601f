// SPDX-License-Identifier: MIT
// The INI reader, the tree writers and the regenerator on a whole file, in
// the default and the expanded mode. Properties: reading and storing
// succeed; the whole document is well-formed with namespace processing,
// whatever the bytes, in both modes; the regenerator gives one line per
// top-level element, its lines are the same in both modes (the default
// mode's names read back), and, read as UTF-8, they read back as one
// element each (plus the "blank" the final line feed leaves).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support.h"
#include "support/xml_check.h"
#include "tree/writer.h"
#include "varnel/ini.h"

namespace varnel = kit::varnel;

namespace {

int top_level_count(const kit::Dom& tree) {
  int count = 0;
  for (int i = tree.node(0).child(); i > 0; i = tree.node(i).next()) ++count;
  return count;
}

// The regenerated lines of the mode.
std::string check_mode(bool expand, const fuzz::MemoryFile& source) {
  static fuzz::MemoryFile xml, light, regenerated;
  static kit::Dom reread;
  varnel::expand_mode = expand;

  fuzz::check(varnel::read_ini(kit::Text(source.path()), varnel::ini_tree), "a readable source reads");
  const int elements = top_level_count(varnel::ini_tree);
  fuzz::check(elements > 0, "every source gives an element");

  varnel::ini_tree.set_whole_document(true);
  fuzz::check(kit::store(varnel::ini_tree, kit::Text(xml.path()), kit::format_xml), "XML stores");
  fuzz::check(kit::store(varnel::ini_tree, kit::Text(light.path()), kit::format_light),
              "the light form stores");
  const std::string target = xml.read();
  const std::string error = kit_test::xml_namespace_error(target);
  fuzz::check(error.empty(), "the document is well-formed with namespaces", error + "\n" + target);

  std::string lines;
  int line_count = 0;
  varnel::regenerate_ini([&](std::string_view line) {
    fuzz::check(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1,
                "a regenerated line is one line", line);
    lines += line;
    ++line_count;
    return true;
  });
  fuzz::check(line_count == elements, "one regenerated line per top-level element", lines);

  // Behind a UTF-8 mark: bytes the source had in front, such as 0xFE 0xFF,
  // would otherwise make the lines read as another encoding.
  regenerated.write("\xEF\xBB\xBF" + lines);
  const bool read = varnel::read_ini(kit::Text(regenerated.path()), reread);
  fuzz::check(read && top_level_count(reread) == line_count + 1,
              "regenerated lines read back one element each", lines);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile source;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  source.write(input);
  const std::string lines = check_mode(false, source);
  fuzz::check(check_mode(true, source) == lines, "names read back as the source wrote them", lines);
  return 0;
}
