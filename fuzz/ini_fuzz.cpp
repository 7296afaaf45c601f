// The INI reader, the tree writers and the regenerator on a whole file, in
// the default and the expanded mode. Properties: reading and storing
// succeed; the XML is well-formed, whatever the bytes, in the expanded mode,
// and in the default mode too when the reader warned about no name; the
// regenerator gives one line per top-level element, and its lines, read as
// UTF-8, read back as one element each (plus the "blank" the final line
// feed leaves).
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

void check_mode(bool expand, const fuzz::MemoryFile& source) {
  static fuzz::MemoryFile xml, light, warnings, regenerated;
  static kit::Dom reread;
  varnel::expand_mode = expand;

  bool read = false;
  {
    fuzz::StderrCapture capture(warnings);
    read = varnel::read_ini(kit::Text(source.path()), varnel::ini_tree);
  }
  fuzz::check(read, "a readable source reads");
  // A last line that fits no rule and has no line feed can leave none.
  const int elements = top_level_count(varnel::ini_tree);

  // store writes no file for a tree holding the root alone.
  xml.write("");
  fuzz::check(kit::store(varnel::ini_tree, kit::Text(xml.path()), kit::format_xml), "XML stores");
  fuzz::check(kit::store(varnel::ini_tree, kit::Text(light.path()), kit::format_light),
              "the light form stores");
  if (expand || warnings.read().empty()) {
    const std::string target = xml.read();
    const std::string error = kit_test::xml_content_error(target);
    fuzz::check(error.empty(), expand ? "expanded XML is well-formed"
                                      : "default XML without warnings is well-formed",
                error + "\n" + target);
  }

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
  {
    fuzz::StderrCapture capture(warnings);
    read = varnel::read_ini(kit::Text(regenerated.path()), reread);
  }
  fuzz::check(read && top_level_count(reread) == line_count + 1,
              "regenerated lines read back one element each", lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile source;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  source.write(input);
  check_mode(false, source);
  check_mode(true, source);
  return 0;
}
