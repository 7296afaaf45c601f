// SPDX-License-Identifier: MIT
// Bad inputs the golden cases cannot hold: a 50 MB line, whose target is
// too large to keep beside the tests, and a source that exists but cannot
// be opened. Each run must end with the expected status and messages, write
// a complete target or none, and leave the source as it was.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

namespace fs = std::filesystem;
using kit_test::Outcome;
using kit_test::read_file;
using kit_test::run_program;
using kit_test::TempDir;

// One source line of this many bytes at least.
constexpr std::size_t huge_line_bytes = 50u << 20;

// A value with every byte XML escapes, repeated to the given size, and the
// same escaped as the writers escape it.
struct Value {
  std::string raw;
  std::string escaped;
};

Value repeated_value(std::size_t bytes, const std::string& block, const std::string& escaped) {
  Value v;
  v.raw.reserve(bytes + block.size());
  v.escaped.reserve(bytes / block.size() * escaped.size() + escaped.size());
  while (v.raw.size() < bytes) {
    v.raw += block;
    v.escaped += escaped;
  }
  return v;
}

TEST(HugeLine, DorsikConvertsAFiftyMegabyteLineWhole) {
  TempDir dir;
  // One property line of items of about 1 KB each, then one more line.
  const std::string item(1000, 'x');
  std::string source = "[Big]\nlist = ";
  std::string expected = "<?xml version=\"1.0\"?>\n<options>\n   <title name=\"Big\" />\n"
                         "   <entry name=\"list\">\n";
  for (int i = 0; source.size() < huge_line_bytes; ++i) {
    const std::string name = "v" + std::to_string(i) + "&";
    source += (i == 0 ? "" : ", ") + name + item;
    expected += "      <option value='v" + std::to_string(i) + "&amp;" + item + "'/>\n";
  }
  source += " ; end of list\nafter = 1\n";
  expected += "      <comment value='end of list'/>\n   </entry>\n"
              "   <entry name=\"after\">\n      <option value='1'/>\n   </entry>\n</options>";
  dir.write("conf.txt", source);

  const Outcome r = run_program(DORSIK_PATH, dir, "-xml conf.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Converting conf.txt into conf.xml ...\nconf.xml generated.\n");
  EXPECT_EQ(r.err, "");
  const std::string target = read_file(dir.file("conf.xml"));
  EXPECT_TRUE(target == expected) << "the target differs, " << target.size() << " bytes";
  EXPECT_EQ(kit_test::xml_error(target), "");
  EXPECT_TRUE(read_file(dir.file("conf.txt")) == source) << "the source changed";
}

TEST(HugeLine, VarnelConvertsAFiftyMegabyteLineWhole) {
  TempDir dir;
  const Value value = repeated_value(huge_line_bytes, "0123456789<&>\"abcdefghij",
                                     "0123456789&lt;&amp;&gt;&quot;abcdefghij");
  const std::string source = "[big]\nvalue = " + value.raw + " ; note\nafter = 1\n";
  dir.write("setup.ini", source);

  const Outcome r = run_program(VARNEL_PATH, dir, "-expand setup.ini");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Converting setup.ini into setup.xml ...\nStoring dom tree into setup.tmp\n");
  EXPECT_EQ(r.err, "");
  const std::string target = read_file(dir.file("setup.xml"));
  const std::string expected = "<title name=\"big\" />\n<option name=\"value\" value=\"" +
                               value.escaped +
                               "\" active=\"true\">\n  <comment data=\" note\" />\n</option>\n"
                               "<option name=\"after\" value=\"1\" active=\"true\" />\n<blank />\n";
  EXPECT_TRUE(target == expected) << "the target differs, " << target.size() << " bytes";
  EXPECT_EQ(kit_test::xml_content_error(target), "");
  const std::string regenerated = read_file(dir.file("setup.tmp"));
  EXPECT_TRUE(regenerated == "[big]\n\nvalue = " + value.raw + "\n\nafter = 1\n\n\n\n")
      << "the intermediate file differs, " << regenerated.size() << " bytes";
  EXPECT_TRUE(read_file(dir.file("setup.ini")) == source) << "the source changed";
}

// A socket exists but opens for no one, root included: the one source that
// cannot be opened whoever runs the tests.
bool make_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

TEST(UnopenableSource, SocketIsReportedAndNoTargetWritten) {
  TempDir dir;
  ASSERT_TRUE(make_socket(dir.file("sock.ini")));
  const Outcome d = run_program(DORSIK_PATH, dir, "sock.ini");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.out, "Converting sock.ini into sock.uc ...\n");
  EXPECT_EQ(d.err, "Cannot open sock.ini\n");
  EXPECT_FALSE(fs::exists(dir.file("sock.uc")));

  const Outcome v = run_program(VARNEL_PATH, dir, "sock.ini");
  EXPECT_EQ(v.status, 1);
  EXPECT_EQ(v.out, "Converting sock.ini into sock.xml ...\n");
  EXPECT_EQ(v.err, "Cannot open sock.ini\n");
  EXPECT_FALSE(fs::exists(dir.file("sock.xml")));
  EXPECT_FALSE(fs::exists(dir.file("sock.tmp")));
}

TEST(UnopenableSource, ClosedStandardInputCannotBeOpened) {
  TempDir dir;
  for (const char* program : {DORSIK_PATH, VARNEL_PATH}) {
    const Outcome r = run_program(program, dir, "- out.xml", "", "<&-");
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.err, "Cannot open -\n") << program;
    EXPECT_FALSE(fs::exists(dir.file("out.xml"))) << program;
  }
}

TEST(UnopenableSource, FileWithoutReadPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file; the socket case stands in";
  TempDir dir;
  const std::string source = "[main]\nk = v\n";
  dir.write("conf.ini", source);
  ASSERT_EQ(::chmod(dir.file("conf.ini").c_str(), 0), 0);
  const Outcome d = run_program(DORSIK_PATH, dir, "conf.ini");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.err, "Cannot open conf.ini\n");
  const Outcome v = run_program(VARNEL_PATH, dir, "conf.ini");
  EXPECT_EQ(v.status, 1);
  EXPECT_EQ(v.err, "Cannot open conf.ini\n");
  EXPECT_FALSE(fs::exists(dir.file("conf.uc")) || fs::exists(dir.file("conf.xml")));
  ASSERT_EQ(::chmod(dir.file("conf.ini").c_str(), 0600), 0);
  EXPECT_EQ(read_file(dir.file("conf.ini")), source);
}

}  // namespace
