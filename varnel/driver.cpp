#include "varnel/driver.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "about.h"
#include "runtime/command_line.h"
#include "runtime/dyn.h"
#include "runtime/files.h"
#include "runtime/replace_file.h"
#include "runtime/xml_escape.h"
#include "tree/writer.h"
#include "varnel/ini.h"

namespace kit::varnel {

namespace {

// One to three arguments after the program name, switches included.
constexpr int min_argument_count = 2;
constexpr int max_argument_count = 4;
// The intermediate file is written in blocks of this size, so that its many
// short lines cost few system calls.
constexpr std::size_t intermediate_buffer_size = std::size_t{1} << 16;

// Where progress lines go: standard output, or standard error when the
// document goes to standard output.
std::FILE* messages = stdout;

void say(const Text& line) { write_text(messages, line); }

// A note on how the run went, on standard error after the progress lines.
void tell(const Text& file, const Text& note) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), note.c_str());
}

// What the notes say of a default-mode tree whose names were encoded.
constexpr const char* escaped_names_note = "keys and section names written with _xHHHH_ escapes";

// The switch that makes the target one standalone document.
constexpr const char* document_switch = "-document";

// How many arguments in front of the source are "-document": they do not
// count towards the arguments a command line may have.
int document_switches(int argc, const char* const* argv) {
  int count = 0;
  for (int i = 1; i < argc && is_switch(argv[i]); ++i) {
    if (Text(argv[i]) == document_switch) ++count;
  }
  return count;
}

int fail(const char* what, const Text& file) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s %s\n", what, file.c_str());
  return 1;
}

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

// Each line is followed by one more line feed: the intermediate file's fixed layout.
bool store_intermediate(const Text& intermediate) {
  return replace_file(intermediate, [](const Text& path) {
    File out = open_file(path.c_str(), "w");
    if (!out) return false;
    // The lines are gathered in blocks below: a stream buffer as well
    // would split each write in two.
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    std::string block;
    block.reserve(intermediate_buffer_size);
    const auto write_block = [&] {
      const bool written =
          std::fwrite(block.data(), 1, block.size(), out.get()) == block.size();
      block.clear();
      return written;
    };
    const bool regenerated = regenerate_ini([&](std::string_view line) {
      block.append(line).push_back('\n');
      return block.size() < intermediate_buffer_size || write_block();
    });
    return regenerated && write_block() && close_file(out);
  });
}

}  // namespace

void print_usage() {
  // The program's fixed text, on purpose unlike the switch: "[-expanded]" for "-expand".
  std::printf("\nVarnel Transformer - %s\n", project_address);
  std::fputs(
      "\n"
      "Syntax:\n"
      "varnel [-light][-expanded] sourcefile\n"
      "- source is an ini file.\n"
      "- generates an xml (default) or light xml file.\n"
      "Options:\n"
      "  -light: generates light.\n"
      "  -expand: option name and value are separated attributes.\n"
      "  -document: generates a whole xml document (declaration and root element).\n",
      stdout);
  std::exit(0);
}

int run_varnel(int argc, const char* const* argv) {
  switch (info_request(argc, argv)) {
    case InfoRequest::help: print_usage();
    case InfoRequest::version: print_version("varnel", project_version);
    case InfoRequest::none: break;
  }
  Array arguments(argv);
  int count = argc;
  const int counted = count - document_switches(argc, argv);
  if (counted < min_argument_count || counted > max_argument_count) print_usage();

  light_output = false;
  expand_mode = false;
  bool document = false;
  Text extension = ".xml";
  Text source = arguments.at(1).to_text();
  while (is_switch(source)) {
    if (source == "-light") {
      extension = ".lgt";
      light_output = true;
    } else if (source == "-expand") {
      expand_mode = true;
    } else if (source == document_switch) {
      document = true;
    }
    arguments.remove_at(0);
    --count;
    source = arguments.at(1).to_text();
  }
  const bool from_stdin = is_standard_stream(source);
  Text base;
  Text target;
  if (count == 2 && from_stdin) {
    target = source;
  } else if (count == 2) {
    base = split_extension(source).base;
    target = base + extension;
  } else {
    target = arguments.at(2).to_text();
  }
  // "-" names no file: "- -" is a filter, and no file can be the other stream.
  const bool to_stdout = is_standard_stream(target);
  if (!from_stdin && target.compare_nocase(source) == 0) print_usage();
  // Standard output carries the document alone.
  messages = to_stdout ? stderr : stdout;
  if (!from_stdin && !file_exists(source)) {
    say(source + " not found...\n");
    return 1;
  }

  // A filter keeps no intermediate file.
  const Text intermediate = to_stdout ? Text() : base + ".tmp";
  if (!from_stdin && !to_stdout) {
    for (const Text& written : {target, intermediate}) {
      if (same_file(source, written)) return fail("Target", written + " is the source file");
    }
  }

  say("Converting " + source + " into " + target + " ...\n");
  if (!read_ini(source, ini_tree)) return fail("Cannot open", source);
  ini_tree.set_whole_document(document);
  if (to_stdout) {
    if (!show_target()) return 1;
  } else {
    if (!store_target(target)) return fail("Cannot open", target);
    say("Storing dom tree into " + intermediate + "\n");
    const bool saved = store_intermediate(intermediate);
    status = Dyn(saved);
    if (!saved) return fail("Cannot open", intermediate);
  }
  std::fflush(stdout);
  if (const char* note = encoding_note(read_notes.encoding)) tell(source, note);
  if (read_notes.kept_lines > 0) {
    tell(source, kept_lines_note(read_notes.kept_lines, read_notes.first_kept_line));
  }
  if (read_notes.names_escaped) tell(target, escaped_names_note);
  if (ini_tree.output().replaced_unfit) tell(target, unfit_note);
  return 0;
}

}  // namespace kit::varnel
