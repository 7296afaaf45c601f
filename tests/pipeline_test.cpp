// SPDX-License-Identifier: MIT
// The programs in pipelines and when writing fails, beyond what a golden
// case can hold: standard output against the file a named run writes, write
// errors on standard output, and a named target cut short by a file size
// limit, which must leave the earlier target whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <string>

#include "support/run_program.h"
#include "support/sanitizers.h"
#include "support/temp_dir.h"

namespace {

using kit_test::Outcome;
using kit_test::read_file;
using kit_test::run_program;
using kit_test::TempDir;
using Names = std::set<std::string>;

// Every kind of line both programs know, a line going on in the next, a
// key XML rejects, a control character and a byte that is not UTF-8.
const std::string mixed_source =
    "; settings\n[main]\ncolor = red ; note\nlist = a,\n  b, c\n#size=10\n\n"
    "bad key = <&>\nbell = a\x07z\n[caf\xe9]\n";

TEST(StandardStreams, StandardOutputCarriesWhatANamedRunWrites) {
  struct Form {
    const char* program;
    std::string switches;
    const char* target;
  };
  const Form forms[] = {{DORSIK_PATH, "-xml", "conf.xml"},
                        {DORSIK_PATH, "-light", "conf.lgt"},
                        {VARNEL_PATH, "", "conf.xml"},
                        {VARNEL_PATH, "-expand", "conf.xml"},
                        {VARNEL_PATH, "-document", "conf.xml"},
                        {VARNEL_PATH, "-light", "conf.lgt"}};
  for (const Form& form : forms) {
    TempDir dir;
    dir.write("conf.ini", mixed_source);
    const Outcome named = run_program(form.program, dir, form.switches + " conf.ini");
    const Outcome piped = run_program(form.program, dir, form.switches + " - -", "", "< conf.ini");
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, read_file(dir.file(form.target))) << form.program << form.switches;
    EXPECT_EQ(piped.err.rfind("Converting - into - ...\n", 0), 0u) << piped.err;
  }
}

// With both streams into one file, progress lines, notes and failures keep
// the order in which they were written.
TEST(StandardStreams, BothStreamsKeepTheirOrder) {
  const std::string kept = "conf.ini: 1 line kept as a line element: neither section, option nor comment, at line 1\n";
  struct Run {
    const char* program;
    const char* args;
    std::string both;
  };
  const Run runs[] = {
      {VARNEL_PATH, "conf.ini", "Converting conf.ini into conf.xml ...\nStoring dom tree into conf.tmp\n" + kept},
      {VARNEL_PATH, "conf.ini conf.xml",
       "Converting conf.ini into conf.xml ...\nStoring dom tree into .tmp\nCannot open .tmp\n"},
      {DORSIK_PATH, "conf.ini", "Converting conf.ini into conf.uc ...\nconf.uc generated.\n" + kept},
      {DORSIK_PATH, "conf.ini nodir/out.xml", "Converting conf.ini into nodir/out.xml ...\nCannot open nodir/out.xml\n"},
  };
  for (const Run& run : runs) {
    TempDir dir;
    dir.write("conf.ini", "no rule\n");
    ::mkdir(dir.file(".tmp").c_str(), 0755);  // the intermediate file of a named target
    const Outcome r = run_program(run.program, dir, run.args, "", "2>&1");
    EXPECT_EQ(r.out, run.both) << run.program << " " << run.args;
  }
}

TEST(StandardStreams, WriteErrorsGiveStatusOneAndAMessage) {
  // The programs must ignore SIGPIPE themselves, not inherit that.
  std::signal(SIGPIPE, SIG_DFL);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  const std::string sinks[] = {"> /dev/full", ">&" + std::to_string(ends[1])};
  TempDir dir;
  dir.write("conf.ini", "[main]\nk = v\n");
  for (const char* program : {DORSIK_PATH, VARNEL_PATH}) {
    for (const std::string& sink : sinks) {
      const Outcome document = run_program(program, dir, "conf.ini -", "", sink);
      EXPECT_EQ(document.status, 1) << program << sink;
      EXPECT_EQ(document.err, "Converting conf.ini into - ...\nCannot write standard output\n");
      const Outcome version = run_program(program, dir, "--version", "", sink);
      EXPECT_EQ(version.status, 1) << program << sink;
      EXPECT_EQ(version.err, "Cannot write standard output\n");
    }
  }
  ::close(ends[1]);
}

// Larger than any file size limit below allows; the earlier files are smaller.
constexpr std::size_t large_source_bytes = std::size_t{1} << 20;
// Blocks of 512 or 1024 bytes, as the shell counts them: far below the target.
const std::string file_size_limit = "trap '' XFSZ && ulimit -f 128 &&";

TEST(SafeReplacement, AWriteCutShortLeavesTheEarlierFilesWhole) {
  std::string large;
  for (int i = 0; large.size() < large_source_bytes; ++i) large += "key" + std::to_string(i) + " = v\n";
  struct Run {
    const char* program;
    const char* args;
    const char* message;
  };
  const Run runs[] = {{DORSIK_PATH, "-xml conf.ini", "Cannot write conf.xml\n"},
                      {VARNEL_PATH, "conf.ini", "Cannot open conf.xml\n"}};
  for (const Run& run : runs) {
    TempDir dir;
    dir.write("conf.ini", large);
    dir.write("conf.xml", "earlier\n");
    dir.write("conf.tmp", "earlier too\n");
    const Outcome r = run_program(run.program, dir, run.args, file_size_limit);
    EXPECT_EQ(r.status, 1) << run.program;
    EXPECT_EQ(r.err, run.message);
    // Compared whole, not shown: a target written in place holds a megabyte.
    EXPECT_TRUE(read_file(dir.file("conf.xml")) == "earlier\n") << run.program;
    EXPECT_TRUE(read_file(dir.file("conf.tmp")) == "earlier too\n") << run.program;
    EXPECT_EQ(dir.names(), (Names{".stderr", ".stdout", "conf.ini", "conf.tmp", "conf.xml"}));
  }
}

// Out of memory, a program says so and fails instead of aborting: varnel's
// tree, and a line that outgrows what dorsik may take.
TEST(OutOfMemory, EndsWithAMessageAndStatusOne) {
  if (address_sanitizer) GTEST_SKIP() << "the sanitizer's shadow memory defeats an address limit";
  std::string ini;
  for (int i = 0; ini.size() < (std::size_t{24} << 20); ++i) ini += "key" + std::to_string(i) + " = v\n";
  const std::string long_line = "k = " + std::string(std::size_t{48} << 20, 'v') + "\n";
  const std::string limit = "ulimit -v 40000 &&";  // KiB: less than either needs
  struct Run {
    const char* program;
    const char* args;
    const std::string* source;
  };
  for (const Run& run : {Run{VARNEL_PATH, "conf.ini out.xml", &ini},
                         Run{DORSIK_PATH, "conf.ini out.xml", &long_line}}) {
    TempDir dir;
    dir.write("conf.ini", *run.source);
    const Outcome r = run_program(run.program, dir, run.args, limit);
    EXPECT_EQ(r.status, 1) << run.program;
    EXPECT_EQ(r.err, "Not enough memory\n") << run.program;
    EXPECT_EQ(dir.names(), (Names{".stderr", ".stdout", "conf.ini"})) << run.program;
  }
}

}  // namespace
