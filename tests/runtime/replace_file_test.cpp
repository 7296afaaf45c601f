// SPDX-License-Identifier: MIT
#include "runtime/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kit_test::read_file;
using kit_test::TempDir;
using Names = std::set<std::string>;

mode_t bits_of(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct Written {
  bool replaced = false;
  std::string path;  // where the bytes went
};

// Replaces the target by the bytes; with `fail` the write then reports a
// failure, as a full disk would.
Written replace(const std::string& target, const std::string& bytes, bool fail = false) {
  Written w;
  w.replaced = kit::replace_file(kit::Text(target.c_str()), [&](const kit::Text& path) {
    w.path = path.str();
    std::FILE* f = std::fopen(path.c_str(), "w");
    const bool written = f != nullptr && std::fputs(bytes.c_str(), f) >= 0;
    return f != nullptr && std::fclose(f) == 0 && written && !fail;
  });
  return w;
}

TEST(ReplaceFile, ATemporaryBesideTheTargetKeepsItWholeUntilRenamed) {
  TempDir dir;
  const std::string target = dir.write("conf.xml", "earlier");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const Written failed = replace(target, "half", true);
  EXPECT_FALSE(failed.replaced);
  EXPECT_EQ(fs::path(failed.path).parent_path(), fs::path(dir.path()));
  EXPECT_EQ(fs::path(failed.path).filename().string().rfind(".conf.xml.", 0), 0u) << failed.path;
  EXPECT_EQ(read_file(target), "earlier");
  EXPECT_EQ(dir.names(), Names{"conf.xml"});

  EXPECT_TRUE(replace(target, "new").replaced);
  EXPECT_EQ(read_file(target), "new");
  EXPECT_EQ(bits_of(target), 0640u);
  EXPECT_EQ(dir.names(), Names{"conf.xml"});

  // A new file gets what the umask leaves of 0666.
  const mode_t mask = ::umask(027);
  EXPECT_TRUE(replace(dir.file("new.xml"), "fresh").replaced);
  ::umask(mask);
  EXPECT_EQ(bits_of(dir.file("new.xml")), 0640u);
}

TEST(ReplaceFile, LinksAreWrittenThroughAndHardLinksAndDevicesInPlace) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  fs::create_directory(dir.file("links"));
  const std::string real = dir.write("real/conf.xml", "earlier");
  fs::create_symlink("../real/conf.xml", dir.file("links/conf.xml"));
  fs::create_symlink("conf.xml", dir.file("links/chain"));
  fs::create_symlink("../real/made.xml", dir.file("links/dangling"));
  const Written through = replace(dir.file("links/chain"), "through");
  EXPECT_TRUE(through.replaced);
  EXPECT_EQ(fs::path(through.path).parent_path(), fs::path(dir.file("links/../real")));
  EXPECT_TRUE(replace(dir.file("links/dangling"), "made").replaced);
  EXPECT_FALSE(replace(dir.file("links/conf.xml"), "lost", true).replaced);
  EXPECT_EQ(read_file(real), "through");
  EXPECT_EQ(read_file(dir.file("real/made.xml")), "made");
  EXPECT_EQ(dir.names("real"), (Names{"conf.xml", "made.xml"}));
  for (const char* link : {"conf.xml", "chain", "dangling"}) {
    EXPECT_TRUE(fs::is_symlink(dir.file("links/") + link)) << link;
  }

  fs::create_hard_link(real, dir.file("second.xml"));
  const Written in_place = replace(real, "both names");
  EXPECT_EQ(in_place.path, real);
  EXPECT_EQ(read_file(dir.file("second.xml")), "both names");
  EXPECT_EQ(replace("/dev/null", "gone").path, "/dev/null");
}

}  // namespace
