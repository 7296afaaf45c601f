#include "dorsik/driver.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "about.h"
#include "dorsik/translate.h"
#include "runtime/command_line.h"
#include "runtime/files.h"
#include "runtime/xml_escape.h"

namespace kit::dorsik {

namespace {

// One to three arguments after the program name, switches included.
constexpr int min_argument_count = 2;
constexpr int max_argument_count = 4;

// The process arguments; an entry past the end reads as the empty text.
class Arguments {
public:
  Arguments(int argc, const char* const* argv) : entries_(argv, argv + argc) {}
  Text operator[](std::size_t i) const { return i < entries_.size() ? entries_[i] : Text(); }
  void remove_first() {
    if (!entries_.empty()) entries_.erase(entries_.begin());
  }

private:
  std::vector<Text> entries_;
};

// Where progress lines go: standard output, or standard error when the
// document goes to standard output.
std::FILE* messages = stdout;

void say(const Text& line) { write_text(messages, line); }

// A note on how the run went, on standard error after the progress lines.
void tell(const Text& file, const Text& note) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), note.c_str());
}

void complain(const char* what, const Text& file) {
  std::fprintf(stderr, "%s %s\n", what, file.c_str());
}

}  // namespace

void print_usage() {
  // The program's fixed text, on purpose unlike the switches: ".xml" as default, not ".uc".
  std::printf("\nDorsikOptions - %s\n", project_address);
  std::fputs(
      "Syntax: dorsik [-light][-xml] sourcefile [targetfile]\n"
      "- Source is a standard configuration file with titles and properties.\n"
      "- Target will be a xml document where titles are element,\n"
      "  properties sub-elements and values their data.\n"
      "- Default target name is source name with an .xml extension.\n"
      "- Option -light for a light xml Plenar source.\n"
      "-        -xml   for an xml extension (default uc).\n",
      stdout);
  std::exit(0);
}

int run_dorsik(int argc, const char* const* argv) {
  switch (info_request(argc, argv)) {
    case InfoRequest::help: print_usage();
    case InfoRequest::version: print_version("dorsik", project_version);
    case InfoRequest::none: break;
  }
  Arguments arguments(argc, argv);
  int count = argc;
  if (count < min_argument_count || count > max_argument_count) print_usage();

  Text extension = ".uc";
  Text source = arguments[1];
  while (is_switch(source)) {
    if (source == "-light") {
      extension = ".lgt";
      light_mode = true;
    } else if (source == "-xml") {
      extension = ".xml";
    }
    arguments.remove_first();
    --count;
    source = arguments[1];
  }
  const bool from_stdin = is_standard_stream(source);
  Text target = arguments[2];
  if (count == 2) target = from_stdin ? source : split_extension(source).base + extension;
  // "-" names no file: "- -" is a filter, and no file can be the other stream.
  const bool to_stdout = is_standard_stream(target);
  if (!from_stdin && target.compare_nocase(source) == 0) print_usage();
  if (!from_stdin && !to_stdout && same_file(source, target)) {
    complain("Target", target + " is the source file");
    return 1;
  }

  // Standard output carries the document alone.
  messages = to_stdout ? stderr : stdout;
  say("Converting " + source + " into " + target + " ...\n");
  std::fflush(stdout);
  const Conversion result = convert_file(source, target);
  if (to_stdout && !flush_standard_output()) return 1;
  switch (result.outcome) {
    case Outcome::converted:
      if (!to_stdout) say(target + " generated.\n");
      std::fflush(stdout);
      if (const char* note = encoding_note(result.encoding)) tell(source, note);
      if (result.kept_lines > 0) tell(source, kept_lines_note(result.kept_lines, result.first_kept_line));
      if (result.replaced_unfit) tell(target, unfit_note);
      // On standard error the closing line comes last.
      if (to_stdout) say(target + " generated.\n");
      return 0;
    case Outcome::cannot_open:
      complain("Cannot open", result.file);
      return 1;
    case Outcome::cannot_read:
      complain("Cannot read", result.file);
      return 1;
    case Outcome::cannot_write:
      complain("Cannot write", result.file);
      return 1;
  }
  return 1;
}

}  // namespace kit::dorsik
