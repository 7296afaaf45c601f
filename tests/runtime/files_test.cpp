// SPDX-License-Identifier: MIT
#include "runtime/files.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "support/capture.h"
#include "support/temp_dir.h"

namespace {

using kit::Text;
using kit_test::TempDir;
using Strings = std::vector<std::string>;

// The converters' loop: test the end-of-file indicator, then read a line.
Strings lines_seen(const std::string& path, Text (*reader)(std::FILE*)) {
  const kit::File in(std::fopen(path.c_str(), "r"));
  Strings lines;
  while (in && !std::feof(in.get())) lines.push_back(reader(in.get()).str());
  return lines;
}

Strings texts_of(const kit::Array& a) {
  Strings texts;
  for (int i = 0; i < a.size(); ++i) texts.push_back(a.at(i).to_text().str());
  return texts;
}

TEST(LineReading, EndOfFileRuleAndLongLines) {
  TempDir dir;
  EXPECT_EQ(lines_seen(dir.write("empty", ""), kit::read_line), Strings{""});
  EXPECT_EQ(lines_seen(dir.write("ended", "a\nb\n"), kit::read_line), (Strings{"a\n", "b\n", ""}));
  EXPECT_EQ(lines_seen(dir.write("open", "a\nb"), kit::read_line), (Strings{"a\n", "b"}));
  const std::string x(5000, 'x');
  const std::string path = dir.write("long", x + "\n");
  EXPECT_EQ(lines_seen(path, kit::read_line),
            (Strings{x.substr(0, 2047), x.substr(0, 2047), x.substr(0, 906) + "\n", ""}));
  EXPECT_EQ(lines_seen(path, kit::read_whole_line), (Strings{x + "\n", ""}));
}

// The converters drop NUL bytes; a last line of nothing else is no line.
TEST(LineReading, NulBytesKeptOrDropped) {
  TempDir dir;
  const std::string bytes("a\0b\n\0\0\n\0", 9);
  const std::string path = dir.write("nul", bytes);
  for (const auto nul : {kit::NulBytes::keep, kit::NulBytes::drop}) {
    const kit::File in(std::fopen(path.c_str(), "r"));
    kit::LineReader reader(in.get(), nul);
    Strings lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    if (nul == kit::NulBytes::keep) {
      EXPECT_EQ(lines, (Strings{bytes.substr(0, 4), bytes.substr(4, 3), bytes.substr(7)}));
    } else {
      EXPECT_EQ(lines, (Strings{"ab\n", "\n"}));
    }
  }
}

// Lines that straddle the reader's blocks, or are many blocks long, come whole.
TEST(LineReading, LinesAcrossBlocksComeWhole) {
  TempDir dir;
  Strings expected;
  std::string bytes;
  for (std::size_t n = 1; bytes.size() < 300000; n = n * 3 + 1) {
    std::string line(n % 100000, static_cast<char>('a' + n % 26));
    if (n % 2) line += std::string(3, '\0');
    expected.push_back(std::string(n % 100000, static_cast<char>('a' + n % 26)) + "\n");
    bytes += line + "\n";
  }
  bytes += std::string(70000, 'z');  // the last line has no line feed
  expected.push_back(std::string(70000, 'z'));
  const kit::File in(std::fopen(dir.write("blocks", bytes).c_str(), "r"));
  kit::LineReader reader(in.get(), kit::NulBytes::drop);
  Strings lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(std::ferror(in.get()));
}

// A source's first bytes decide how it is read; what comes out is UTF-8,
// whatever the read blocks cut.
TEST(LineReading, SourcesAreDecodedToUtf8) {
  using kit::SourceEncoding;
  const auto utf16 = [](std::u16string units, bool little) {
    std::string bytes;
    for (char16_t unit : units) {
      const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
      bytes += little ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
  };
  const std::string ascii_100k = std::string(100 * 1024 - 1, 'a') + "\n";
  // A sequence cut by the first read block must be read whole before it decides.
  const std::string cut_at_block = std::string(65535, 'b') + "\xC3\xA9\n";
  // A surrogate pair whose halves come in two read blocks.
  const std::u16string pair_at_block = u"\xFEFF" + std::u16string(32766, u'c') + u"\xD83D\xDE00\n";
  struct Case {
    std::string name;
    std::string bytes;
    std::string text;  // the lines joined
    SourceEncoding encoding;
  };
  const Case cases[] = {
      {"ascii", "a\nb", "a\nb", SourceEncoding::utf8},
      {"utf-8 mark", "\xEF\xBB\xBF\xE9\n", "\xE9\n", SourceEncoding::utf8},  // kept as it is
      {"utf-8", "x\n\xC3\xA9\xFF\n", "x\n\xC3\xA9\xFF\n", SourceEncoding::utf8},
      {"windows-1252", "\x80\x81 \xE9\x9D\xFF", "\xE2\x82\xAC\xC2\x81 \xC3\xA9\xC2\x9D\xC3\xBF",
       SourceEncoding::windows_1252},
      {"cut at the end", "ok \xE2\x82", "ok \xC3\xA2\xE2\x80\x9A", SourceEncoding::windows_1252},
      {"1252 after 100 KB", ascii_100k + "\xE9\n", ascii_100k + "\xC3\xA9\n",
       SourceEncoding::windows_1252},
      {"utf-8 after 100 KB", ascii_100k + "\xC3\xA9\n", ascii_100k + "\xC3\xA9\n",
       SourceEncoding::utf8},
      {"cut by a block", cut_at_block, cut_at_block, SourceEncoding::utf8},
      {"utf-16le", utf16(u"\xFEFFk=\xE9\r\n\xD83D\xDE00" + std::u16string(1, u'\0') + u"x", true),
       "k=\xC3\xA9\r\n\xF0\x9F\x98\x80x",
       SourceEncoding::utf16},
      {"utf-16be", utf16(u"\xFEFF\x20AC\n", false), "\xE2\x82\xAC\n", SourceEncoding::utf16},
      {"mark alone", "\xFF\xFE", "", SourceEncoding::utf16},
      {"lone surrogates", utf16(u"\xFEFF\xDE00x\xD83Dy", true),
       "\xEF\xBF\xBDx\xEF\xBF\xBDy", SourceEncoding::utf16},
      {"odd last byte", utf16(u"\xFEFFz", true) + "q", "z\xEF\xBF\xBD", SourceEncoding::utf16},
      {"high half and odd byte", utf16(u"\xFEFF\xD83D", true) + "q", "\xEF\xBF\xBD",
       SourceEncoding::utf16},
      {"pair across blocks", utf16(pair_at_block, true),
       std::string(32766, 'c') + "\xF0\x9F\x98\x80\n", SourceEncoding::utf16},
      {"empty", "", "", SourceEncoding::utf8},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const kit::File in(std::fopen(dir.write("source", c.bytes).c_str(), "r"));
    kit::LineReader reader(in.get(), kit::NulBytes::drop, kit::Decoding::source);
    std::string text;
    std::string_view line;
    while (reader.next(line)) text += line;
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(reader.encoding(), c.encoding) << c.name;
  }
}

TEST(Streams, OpenBlocksSeekAndWriteErrors) {
  TempDir dir;
  kit::File in = kit::open_file(dir.write("digits", "0123456789").c_str(), "r");
  EXPECT_TRUE(kit::status.to_bool());
  ASSERT_TRUE(in && kit::seek(in.get(), 3));
  EXPECT_EQ(kit::read_block(in.get(), 4), "3456");
  EXPECT_EQ(kit::read_block(in.get(), 100), "789");  // short at the end
  EXPECT_FALSE(kit::open_file(dir.file("missing").c_str(), "r"));
  EXPECT_FALSE(kit::status.to_bool());

  kit::File out = kit::open_file(dir.file("made").c_str(), "w");
  EXPECT_TRUE(kit::write_text(out.get(), Text("ab")) && kit::write_chars(out.get(), "c"));
  EXPECT_TRUE(kit::close_file(out));
  EXPECT_EQ(kit_test::read_file(dir.file("made")), "abc");
  // A device that is always full: the buffered write fails at the close.
  kit::File full = kit::open_file("/dev/full", "w");
  ASSERT_TRUE(full && kit::write_chars(full.get(), "lost"));
  EXPECT_FALSE(kit::close_file(full));
}

TEST(LoadStoreLines, LoadKeepsTerminatorsAndCutsHugeLines) {
  TempDir dir;
  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_EQ(kit::load_lines(dir.file("missing").c_str()).size(), 0);
  });
  EXPECT_EQ(seen.out + seen.err, "");
  EXPECT_EQ(texts_of(kit::load_lines(dir.write("three", "a\nb\nc").c_str())),
            (Strings{"a\n", "b\n", "c"}));
  const std::string huge(70000, 'h');
  EXPECT_EQ(texts_of(kit::load_lines(dir.write("huge", huge + "\n").c_str())),
            (Strings{huge.substr(0, 65535), huge.substr(65535) + "\n"}));
}

TEST(LoadStoreLines, StoreStopsAtTheFirstNilAfterTheFirst) {
  TempDir dir;
  const std::string path = dir.file("out");
  kit::Array lines;
  for (const char* s : {"x\n", "", "y\n"}) lines.push(kit::Dyn(s));
  EXPECT_TRUE(kit::store_lines(lines, path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "x\n");

  kit::Array leading;  // the first element is written even when nil
  for (const kit::Dyn& d : {kit::Dyn(false), kit::Dyn(3), kit::Dyn("z")}) leading.push(d);
  EXPECT_TRUE(kit::store_lines(leading, path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "false3z");

  EXPECT_TRUE(kit::store_lines(kit::Array(), path.c_str()));
  EXPECT_TRUE(kit::file_exists(path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "");

  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_FALSE(kit::store_lines(lines, dir.file("no/such/dir").c_str()));
  });
  EXPECT_EQ(seen.out + seen.err, "");
}

TEST(FileMetadata, SizeAndTimeBeyondThirtyTwoBitsAndFailure) {
  TempDir dir;
  const std::string path = dir.write("big", "");
  const std::int64_t size = (std::int64_t{3} << 30) + 5;  // sparse, 3 GiB and 5 bytes
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
  const std::int64_t when = std::int64_t{1} << 32;         // in the year 2106
  const utimbuf stamp{static_cast<std::time_t>(when), static_cast<std::time_t>(when)};
  ASSERT_EQ(::utime(path.c_str(), &stamp), 0);
  EXPECT_EQ(kit::file_size(path.c_str()), static_cast<double>(size));
  EXPECT_EQ(kit::file_time(path.c_str()), when);

  const std::string missing = dir.file("none");
  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_EQ(kit::file_size(missing.c_str()), 0.0);
  });
  EXPECT_EQ(seen.err, "Cannot open " + missing + "\n");
}

TEST(FileTypes, TypesRenameAndRemove) {
  TempDir dir;
  const std::string file = dir.write("a", "content");
  const std::string moved = dir.file("b");
  EXPECT_EQ(kit::file_type(dir.path().c_str()), "dir");
  EXPECT_EQ(kit::file_type(file.c_str()), "file");
  EXPECT_EQ(kit::file_type(moved.c_str()), "unknow");
  EXPECT_TRUE(kit::exists(dir.path().c_str()) && kit::exists(file.c_str()));
  EXPECT_FALSE(kit::is_dir(file.c_str()) || kit::is_dir(""));

  EXPECT_TRUE(kit::rename_file(file.c_str(), moved.c_str()));
  EXPECT_FALSE(kit::exists(file.c_str()));
  EXPECT_EQ(kit_test::read_file(moved), "content");
  EXPECT_FALSE(kit::rename_file(file.c_str(), moved.c_str()));
  EXPECT_FALSE(kit::remove_file(dir.path().c_str()));  // never a directory
  EXPECT_TRUE(kit::remove_file(moved.c_str()));
  EXPECT_FALSE(kit::remove_file(moved.c_str()));
}

TEST(Directories, MakeRemoveAndChange) {
  TempDir dir;
  const std::string sub = dir.file("sub");
  EXPECT_FALSE(kit::make_dir(dir.file("no/parent").c_str()));
  ASSERT_TRUE(kit::make_dir(sub.c_str()));
  const std::string inside = dir.write("sub/inside", "x");
  EXPECT_FALSE(kit::remove_dir(sub.c_str()));  // not empty
  const Text before = kit::current_dir();
  ASSERT_TRUE(kit::change_dir(sub.c_str()));
  EXPECT_TRUE(kit::same_file(kit::current_dir(), Text(sub)));
  ASSERT_TRUE(kit::change_dir(before.c_str()));
  EXPECT_TRUE(kit::remove_file(inside.c_str()) && kit::remove_dir(sub.c_str()));
}

TEST(Directories, ListSkipsDotNames) {
  TempDir dir;
  for (const char* name : {".hidden", "b.txt", "a.txt"}) dir.write(name, "");
  kit::Directory stream = kit::open_dir(dir.path().c_str());
  Strings names = texts_of(kit::list_dir(stream));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{"a.txt", "b.txt"}));
  EXPECT_EQ(kit::list_dir(stream).size(), 0);  // nothing remains
  EXPECT_FALSE(kit::open_dir(nullptr).is_open() || kit::open_dir("").is_open());
}

TEST(Directories, StreamHeldInADyn) {
  TempDir dir;
  kit::Directory stream = kit::open_dir(dir.path().c_str());
  const kit::Dyn held = kit::Dyn::of_object(&stream);
  EXPECT_EQ(kit::read_dir_entry(held).first_char(), '.');
  EXPECT_EQ(kit::read_dir_entry(held).first_char(), '.');
  EXPECT_EQ(kit::read_dir_entry(held), "");  // an empty directory: "." and ".." only
  kit::rewind_dir(held);
  EXPECT_FALSE(kit::read_dir_entry(held).is_empty());
  kit_test::Captured seen = kit_test::capture([&] { kit::close_dir(held); });
  EXPECT_EQ(seen.out, "");
  EXPECT_EQ(kit::read_dir_entry(held), "");
  // Nothing left to close, or no directory at all: the host would refuse.
  seen = kit_test::capture([&] {
    kit::close_dir(held);
    kit::close_dir(kit::Dyn("text"));
  });
  EXPECT_EQ(seen.out, "Unable to close directory\nUnable to close directory\n");
}

// Runs the body under a time zone given as a POSIX rule, then restores TZ.
template <typename F> void in_zone(const char* zone, F body) {
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TZ", zone, 1);
  ::tzset();
  body();
  if (old != nullptr) ::setenv("TZ", saved.c_str(), 1);
  else ::unsetenv("TZ");
  ::tzset();
}

TEST(IsoTime, LocalFieldsWithTheZonesRealOffset) {
  in_zone("UTC0", [] { EXPECT_EQ(kit::iso_time(1234567890), "2009-02-13T23:31:30+00:00"); });
  in_zone("EST5", [] { EXPECT_EQ(kit::iso_time(0), "1969-12-31T19:00:00-05:00"); });
  in_zone("CET-1CEST,M3.5.0,M10.5.0/3", [] {
    EXPECT_EQ(kit::iso_time(1593561600), "2020-07-01T02:00:00+02:00");  // summer time
    EXPECT_EQ(kit::iso_time(400000000000), "");                        // past the year 9999
  });
}

TEST(Console, PrintLineAndReports) {
  const kit_test::Captured seen = kit_test::capture([] {
    kit::print_line("one");
    kit::print_line(Text(""));
    kit::report_cannot_open("x.ini");
  });
  EXPECT_EQ(seen.out, "one\n\n");
  EXPECT_EQ(seen.err, "Cannot open x.ini\n");
  EXPECT_EQ(std::string(kit::plural_s(1)) + kit::plural_s(2), "s");
}

// Death tests see only standard error; the child sends its standard output there.
void to_stderr() {
  std::fflush(stdout);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST(ConsoleDeathTest, DieAndQuitEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT((to_stderr(), kit::die("x.ini not found...")), testing::ExitedWithCode(1),
              "^x\\.ini not found\\.\\.\\.\n$");
  EXPECT_EXIT((to_stderr(), kit::quit()), testing::ExitedWithCode(0), "^$");
}

TEST(ConsoleInput, LinesFromStandardInput) {
  TempDir dir;
  const std::string input = "first\n" + std::string(300, 'y') + "\nabc\n" +
                            std::string(300, 'z') + "\n3.5 kg\nnone\n";
  ASSERT_NE(std::freopen(dir.write("input", input).c_str(), "r", stdin), nullptr);
  const kit_test::Captured seen = kit_test::capture([] {
    EXPECT_EQ(kit::input_line("Name? "), "first");  // line feed dropped, cut at 255
    EXPECT_EQ(kit::input_line("").length(), 255);
    EXPECT_EQ(kit::input_line("").length(), 45);
    EXPECT_EQ(kit::input_text("> "), "abc\n");      // line feed kept, cut at 254
    EXPECT_EQ(kit::input_text("").length(), 254);
    EXPECT_EQ(kit::input_text("").length(), 47);
    EXPECT_EQ(kit::input_number(""), 3.5);
    EXPECT_EQ(kit::input_number(""), 0.0);
    EXPECT_EQ(kit::input_line(""), "");
  });
  std::freopen("/dev/null", "r", stdin);
  EXPECT_EQ(seen.out, "Name? > ");
}

}  // namespace
