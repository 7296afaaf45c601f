#include "dorsik/driver.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "about.h"
#include "dorsik/translate.h"
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

void say(const Text& line) { write_text(stdout, line); }

// A note on how the run went, on standard error after the progress lines.
void tell(const Text& file, const char* note) { std::fprintf(stderr, "%s: %s\n", file.c_str(), note); }

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
  Arguments arguments(argc, argv);
  int count = argc;
  if (count < min_argument_count || count > max_argument_count) print_usage();

  Text extension = ".uc";
  Text source = arguments[1];
  while (source.at(0) == "-") {
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
  const Text target = count == 2 ? split_extension(source).base + extension : arguments[2];
  if (target.compare_nocase(source) == 0) print_usage();
  if (same_file(source, target)) {
    complain("Target", target + " is the source file");
    return 1;
  }

  say("Converting " + source + " into " + target + " ...\n");
  std::fflush(stdout);
  const Conversion result = convert_file(source, target);
  switch (result.outcome) {
    case Outcome::converted:
      say(target + " generated.\n");
      std::fflush(stdout);
      if (const char* note = encoding_note(result.encoding)) tell(source, note);
      if (result.replaced_unfit) tell(target, unfit_note);
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
