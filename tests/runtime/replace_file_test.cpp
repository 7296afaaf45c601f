#include "runtime/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kit::Text;
using kit_test::read_file;
using kit_test::TempDir;

mode_t bits_of(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Writes the bytes at the path it is given, noting the path; with `fail`
// set it writes them and then reports a failure, as a full disk would.
struct Writer {
  explicit Writer(std::string b, bool f = false) : bytes(std::move(b)), fail(f) {}
  std::string bytes;
  bool fail;
  std::string seen;
  bool operator()(const Text& path) {
    seen = path.str();
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written && !fail;
  }
};

bool replace(const std::string& target, Writer& writer) {
  return kit::replace_file(Text(target.c_str()), [&writer](const Text& p) { return writer(p); });
}

TEST(ReplaceFile, ReplacesWholeThroughATemporaryBesideTheTarget) {
  TempDir dir;
  const std::string target = dir.write("conf.xml", "earlier");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

  Writer failing("half writ", true);
  EXPECT_FALSE(replace(target, failing));
  EXPECT_EQ(fs::path(failing.seen).parent_path(), fs::path(dir.path()));
  EXPECT_EQ(fs::path(failing.seen).filename().string().rfind(".conf.xml.", 0), 0u) << failing.seen;
  EXPECT_EQ(read_file(target), "earlier");
  EXPECT_EQ(dir.names(), std::set<std::string>{"conf.xml"});

  Writer good("new content");
  EXPECT_TRUE(replace(target, good));
  EXPECT_NE(good.seen, target);
  EXPECT_EQ(read_file(target), "new content");
  EXPECT_EQ(bits_of(target), 0640u);
  EXPECT_EQ(dir.names(), std::set<std::string>{"conf.xml"});

  // A new file gets what the umask leaves of 0666.
  const mode_t mask = ::umask(027);
  Writer fresh("fresh");
  EXPECT_TRUE(replace(dir.file("new.xml"), fresh));
  ::umask(mask);
  EXPECT_EQ(bits_of(dir.file("new.xml")), 0640u);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"conf.xml", "new.xml"}));
}

TEST(ReplaceFile, SymbolicLinksAreWrittenThroughAndStayLinks) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  fs::create_directory(dir.file("links"));
  const std::string real = dir.write("real/conf.xml", "earlier");
  fs::create_symlink("../real/conf.xml", dir.file("links/conf.xml"));
  fs::create_symlink("conf.xml", dir.file("links/second"));  // a chain of two

  Writer good("through the link");
  EXPECT_TRUE(replace(dir.file("links/second"), good));
  EXPECT_EQ(fs::path(good.seen).parent_path(), fs::path(dir.file("links/../real")));
  EXPECT_TRUE(fs::is_symlink(dir.file("links/second")));
  EXPECT_TRUE(fs::is_symlink(dir.file("links/conf.xml")));
  EXPECT_EQ(read_file(real), "through the link");

  Writer failing("lost", true);
  EXPECT_FALSE(replace(dir.file("links/conf.xml"), failing));
  EXPECT_EQ(read_file(real), "through the link");
  EXPECT_EQ(dir.names("real"), std::set<std::string>{"conf.xml"});
  EXPECT_EQ(dir.names("links"), (std::set<std::string>{"conf.xml", "second"}));

  // A dangling link makes the file it points to.
  fs::create_symlink("../real/made.xml", dir.file("links/dangling"));
  Writer made("made");
  EXPECT_TRUE(replace(dir.file("links/dangling"), made));
  EXPECT_TRUE(fs::is_symlink(dir.file("links/dangling")));
  EXPECT_EQ(read_file(dir.file("real/made.xml")), "made");
}

TEST(ReplaceFile, HardLinksDevicesAndMissingDirectoriesAreWrittenDirectly) {
  TempDir dir;
  const std::string target = dir.write("conf.xml", "earlier");
  fs::create_hard_link(target, dir.file("other.xml"));
  Writer good("both names");
  EXPECT_TRUE(replace(target, good));
  EXPECT_EQ(good.seen, target);
  EXPECT_EQ(read_file(dir.file("other.xml")), "both names");
  EXPECT_EQ(fs::hard_link_count(target), 2u);

  Writer device("gone");
  EXPECT_TRUE(replace("/dev/null", device));
  EXPECT_EQ(device.seen, "/dev/null");

  Writer nowhere("x");
  EXPECT_FALSE(replace(dir.file("none/conf.xml"), nowhere));
  EXPECT_EQ(nowhere.seen, dir.file("none/conf.xml"));
  EXPECT_EQ(dir.names(), (std::set<std::string>{"conf.xml", "other.xml"}));
}

}  // namespace
