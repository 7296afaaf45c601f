// SPDX-License-Identifier: MIT
#include "varnel/driver.h"

#include <cstdio>

#include "runtime/byte_block.h"
#include "runtime/command_line.h"
#include "runtime/detail/driver.h"
#include "runtime/dyn.h"
#include "runtime/replace_file.h"
#include "tree/writer.h"
#include "varnel/ini.h"

namespace kit::varnel {

namespace {

// What -light sets; it picks the light form of the target.
bool light_output = false;
// What -document sets: the target becomes one standalone document.
bool document_output = false;

// The intermediate file is written in blocks of this size, so that its many
// short lines cost few system calls.
constexpr std::size_t intermediate_buffer_size = std::size_t{1} << 16;

const ProgramRules varnel_rules = {
    "varnel",
    "Varnel Transformer",
    // The program's fixed text, on purpose unlike the switch: "[-expanded]" for "-expand".
    "\n"
    "Syntax:\n"
    "varnel [-light][-expanded] sourcefile\n"
    "- source is an ini file.\n"
    "- generates an xml (default) or light xml file.\n"
    "Options:\n"
    "  -light: generates light.\n"
    "  -expand: option name and value are separated attributes.\n"
    "  -document: generates a whole xml document (declaration and root element).\n",
    ".xml",
    {{"-light", &light_output, ".lgt", true},
     {"-expand", &expand_mode, nullptr, true},
     {"-document", &document_output, nullptr, false}},
    // Every failure reads "Cannot open", as the program always said.
    {"", cannot_open_message, cannot_open_message, cannot_open_message},
    print_usage,
};

int format_code() { return light_output ? format_light : format_xml; }

// Every line of a source gives an element, so the tree is never the root alone.
bool store_target(const Text& target) {
  return replace_file(target, [](const Text& path) { return store(ini_tree, path, format_code()); });
}

// The same bytes on standard output; false, said on standard error, when
// they could not all be written.
bool show_target() {
  display(ini_tree, format_code());
  return flush_standard_output();
}

// Each line is followed by one more line feed: the intermediate file's
// fixed layout. The lines are streamed from regenerate_ini, not gathered in
// ini_lines, so that memory stays flat.
bool store_intermediate(const Text& intermediate) {
  return replace_file(intermediate, [](const Text& path) {
    File out = open_file(path.c_str(), "w");
    if (!out) return false;
    // The lines are gathered in blocks below: a stream buffer as well
    // would split each write in two.
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    ByteBlock block(intermediate_buffer_size + 1);
    const auto write_block = [&] {
      const bool written = std::fwrite(block.view().data(), 1, block.size(), out.get()) == block.size();
      block.clear();
      return written;
    };
    const bool regenerated = regenerate_ini([&](std::string_view line) {
      block += line;
      block += '\n';
      return block.size() < intermediate_buffer_size || write_block();
    });
    return regenerated && write_block() && close_file(out);
  });
}

}  // namespace

void print_usage() { print_usage_text(varnel_rules); }

int run_varnel(int argc, const char* const* argv) {
  light_output = expand_mode = document_output = false;
  const CommandLine line = read_command_line(varnel_rules, argc, argv);
  const Messages messages(varnel_rules, line.to_stdout);
  if (!line.from_stdin && !file_exists(line.source)) {
    messages.say(line.source + " not found...\n");
    return 1;
  }

  // A filter keeps no intermediate file; with a target named, its base
  // name is empty and the intermediate file is ".tmp".
  const Text intermediate = line.to_stdout ? Text() : line.base + ".tmp";
  for (const Text& written : {line.target, intermediate}) {
    if (!line.to_stdout && overwrites_source(line, written)) return messages.fail_overwriting(written);
  }

  messages.say("Converting " + line.source + " into " + line.target + " ...\n");
  if (!read_ini(line.source, ini_tree)) return messages.fail(Outcome::cannot_open, line.source);
  ini_tree.set_whole_document(document_output);
  if (line.to_stdout) {
    if (!show_target()) return 1;
  } else {
    if (!store_target(line.target)) return messages.fail(Outcome::cannot_write, line.target);
    messages.say("Storing dom tree into " + intermediate + "\n");
    const bool saved = store_intermediate(intermediate);
    // The outcome of the last save of a run, as every save of the runtime leaves it.
    status = Dyn(saved);
    if (!saved) return messages.fail(Outcome::cannot_write, intermediate);
  }
  read_notes.replaced_unfit = ini_tree.output().replaced_unfit;
  messages.tell(line.source, line.target, read_notes);
  return 0;
}

}  // namespace kit::varnel
