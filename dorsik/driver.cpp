// SPDX-License-Identifier: MIT
#include "dorsik/driver.h"

#include "dorsik/translate.h"
#include "runtime/command_line.h"
#include "runtime/detail/driver.h"

namespace kit::dorsik {

namespace {

const ProgramRules dorsik_rules = {
    "dorsik",
    "DorsikOptions",
    // The program's fixed text, on purpose unlike the switches: ".xml" as default, not ".uc".
    "Syntax: dorsik [-light][-xml] sourcefile [targetfile]\n"
    "- Source is a standard configuration file with titles and properties.\n"
    "- Target will be a xml document where titles are element,\n"
    "  properties sub-elements and values their data.\n"
    "- Default target name is source name with an .xml extension.\n"
    "- Option -light for a light xml Plenar source.\n"
    "-        -xml   for an xml extension (default uc).\n",
    ".uc",
    {{"-light", &light_mode, ".lgt", true}, {"-xml", nullptr, ".xml", true}},
    {"", cannot_open_message, "Cannot read", "Cannot write"},
    print_usage,
};

}  // namespace

void print_usage() { print_usage_text(dorsik_rules); }

int run_dorsik(int argc, const char* const* argv) {
  light_mode = false;
  const CommandLine line = read_command_line(dorsik_rules, argc, argv);
  const Messages messages(dorsik_rules, line.to_stdout);
  if (overwrites_source(line, line.target)) return messages.fail_overwriting(line.target);

  messages.say("Converting " + line.source + " into " + line.target + " ...\n");
  const Conversion result = convert_file(line.source, line.target);
  if (line.to_stdout && !flush_standard_output()) return 1;
  if (result.outcome != Outcome::converted) return messages.fail(result.outcome, result.file);
  // On standard error the closing line comes last, after the notes.
  const Text generated = line.target + " generated.\n";
  if (!line.to_stdout) messages.say(generated);
  messages.tell(line.source, line.target, result.notes);
  if (line.to_stdout) messages.say(generated);
  return 0;
}

}  // namespace kit::dorsik
