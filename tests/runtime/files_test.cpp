#include "runtime/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "runtime/array.h"
#include "runtime/dyn.h"
#include "support/capture.h"
#include "support/temp_dir.h"

namespace {

using kit::Text;
using kit_test::TempDir;

// The converters' loop: test the end-of-file indicator, then read a line.
std::vector<std::string> lines_seen(const std::string& path, Text (*reader)(std::FILE*)) {
  const kit::File in(std::fopen(path.c_str(), "r"));
  std::vector<std::string> lines;
  while (in && !std::feof(in.get())) lines.push_back(reader(in.get()).str());
  return lines;
}

TEST(LineReading, EndOfFileRuleGivesTheExpectedLines) {
  TempDir dir;
  using Lines = std::vector<std::string>;
  EXPECT_EQ(lines_seen(dir.write("empty", ""), kit::read_line), Lines{""});
  EXPECT_EQ(lines_seen(dir.write("ended", "a\nb\n"), kit::read_line), (Lines{"a\n", "b\n", ""}));
  EXPECT_EQ(lines_seen(dir.write("open", "a\nb"), kit::read_line), (Lines{"a\n", "b"}));
  EXPECT_EQ(lines_seen(dir.write("crlf", "a\r\n"), kit::read_whole_line), (Lines{"a\r\n", ""}));
}

TEST(LineReading, LongLineComesInPiecesOrWhole) {
  TempDir dir;
  const std::string line(5000, 'x');
  const std::string path = dir.write("long", line + "\nz\n");
  const std::vector<std::string> pieces = lines_seen(path, kit::read_line);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[0], std::string(2047, 'x'));
  EXPECT_EQ(pieces[1], std::string(2047, 'x'));
  EXPECT_EQ(pieces[2], std::string(906, 'x') + "\n");
  EXPECT_EQ(pieces[3], "z\n");

  const std::vector<std::string> whole = lines_seen(path, kit::read_whole_line);
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0], line + "\n");
  EXPECT_EQ(whole[1], "z\n");
}

TEST(Streams, BlocksSeekAndWriteErrors) {
  TempDir dir;
  const std::string path = dir.write("digits", "0123456789");
  kit::File in = kit::open_file(path.c_str(), "r");
  ASSERT_TRUE(in);
  EXPECT_TRUE(kit::seek(in.get(), 3));
  EXPECT_EQ(kit::read_block(in.get(), 4), "3456");
  EXPECT_EQ(kit::read_block(in.get(), 100), "789");  // short at the end
  EXPECT_EQ(kit::read_block(in.get(), 100), "");
  EXPECT_TRUE(kit::seek(in.get(), 0));
  EXPECT_EQ(kit::read_line(in.get()), "0123456789");
  EXPECT_FALSE(kit::seek(in.get(), -1));

  EXPECT_FALSE(kit::open_file(dir.file("missing").c_str(), "r"));

  kit::File out = kit::open_file(dir.file("made").c_str(), "w");
  ASSERT_TRUE(out);
  EXPECT_TRUE(kit::write_text(out.get(), Text("ab")));
  EXPECT_TRUE(kit::write_chars(out.get(), "c\n"));
  EXPECT_TRUE(kit::close_file(out));
  EXPECT_FALSE(out);
  EXPECT_EQ(kit_test::read_file(dir.file("made")), "abc\n");
  EXPECT_FALSE(kit::close_file(out));  // already closed

  // A device that is always full: the buffered write fails at the close.
  kit::File full = kit::open_file("/dev/full", "w");
  if (full) {
    kit::write_chars(full.get(), "lost");
    EXPECT_FALSE(kit::close_file(full));
  }
}

TEST(Streams, OpenFileRecordsItsOutcomeInStatus) {
  TempDir dir;
  const std::string path = dir.write("here", "x");
  EXPECT_TRUE(kit::open_file(path.c_str(), "r"));
  EXPECT_TRUE(kit::status.to_bool());
  EXPECT_FALSE(kit::open_file(dir.file("missing").c_str(), "r"));
  EXPECT_EQ(kit::status.type(), kit::tag::boolean);
  EXPECT_FALSE(kit::status.to_bool());
}

// The texts of an Array, in order.
std::vector<std::string> texts_of(const kit::Array& a) {
  std::vector<std::string> texts;
  for (int i = 0; i < a.size(); ++i) texts.push_back(a.at(i).to_text().str());
  return texts;
}

TEST(LoadStoreLines, LoadKeepsTerminatorsAndCutsHugeLines) {
  TempDir dir;
  using Texts = std::vector<std::string>;
  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_EQ(kit::load_lines(dir.file("missing").c_str()).size(), 0);
  });
  EXPECT_EQ(seen.out + seen.err, "");
  const kit::Array three = kit::load_lines(dir.write("three", "a\nb\nc\n").c_str());
  EXPECT_EQ(texts_of(three), (Texts{"a\n", "b\n", "c\n"}));
  EXPECT_EQ(three.key_at(2), "2");
  EXPECT_EQ(three.at(0).type(), kit::tag::text);
  EXPECT_EQ(texts_of(kit::load_lines(dir.write("open", "a\nb").c_str())), (Texts{"a\n", "b"}));
  EXPECT_EQ(kit::load_lines(dir.write("empty", "").c_str()).size(), 0);
  const std::string huge(70000, 'h');
  EXPECT_EQ(texts_of(kit::load_lines(dir.write("huge", huge + "\n").c_str())),
            (Texts{huge.substr(0, 65535), huge.substr(65535) + "\n"}));
}

TEST(LoadStoreLines, StoreStopsBeforeTheFirstNilAfterTheFirst) {
  TempDir dir;
  kit::Array lines;
  lines.push(kit::Dyn("x\n"));
  lines.push(kit::Dyn(""));
  lines.push(kit::Dyn("y\n"));
  const std::string path = dir.file("out");
  EXPECT_TRUE(kit::store_lines(lines, path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "x\n");

  kit::Array mixed;
  mixed.push(kit::Dyn(3));
  mixed.push(kit::Dyn("a"));
  mixed.push(kit::Dyn(true));
  EXPECT_TRUE(kit::store_lines(mixed, path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "3atrue");

  // The first element is written even when it is nil.
  kit::Array leading;
  leading.push(kit::Dyn(false));
  leading.push(kit::Dyn("z"));
  EXPECT_TRUE(kit::store_lines(leading, path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "falsez");

  // An empty Array leaves an empty file, the old content gone.
  EXPECT_TRUE(kit::store_lines(kit::Array(), path.c_str()));
  EXPECT_TRUE(kit::file_exists(path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "");

  // Round trip through load_lines.
  const std::string source = dir.write("src", "one\ntwo\nthree");
  EXPECT_TRUE(kit::store_lines(kit::load_lines(source.c_str()), path.c_str()));
  EXPECT_EQ(kit_test::read_file(path), "one\ntwo\nthree");

  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_FALSE(kit::store_lines(lines, dir.file("no/such/dir").c_str()));
    EXPECT_FALSE(kit::store_lines(lines, "/dev/full"));
  });
  EXPECT_EQ(seen.out + seen.err, "");
}

TEST(FileMetadata, SizeTimeAndFailures) {
  TempDir dir;
  const std::string path = dir.write("five", "12345");
  const utimbuf stamp{1000000000, 1234567890};
  ASSERT_EQ(::utime(path.c_str(), &stamp), 0);
  EXPECT_EQ(kit::file_size(path.c_str()), 5.0);
  EXPECT_EQ(kit::file_time(path.c_str()), 1234567890);

  const std::string missing = dir.file("none");
  const kit_test::Captured seen = kit_test::capture([&] {
    EXPECT_FALSE(kit::file_info(missing.c_str()));
    EXPECT_EQ(kit::file_size(missing.c_str()), 0.0);
    EXPECT_EQ(kit::file_time(missing.c_str()), 0);
  });
  EXPECT_EQ(seen.out, "");
  const std::string line = "Cannot open " + missing + "\n";
  EXPECT_EQ(seen.err, line + line + line);
}

TEST(FileMetadata, SizeAndTimeBeyondThirtyTwoBits) {
  TempDir dir;
  const std::string path = dir.write("big", "");
  const std::int64_t size = (std::int64_t{3} << 30) + 5;  // 3 GiB and 5 bytes, sparse
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
  const std::int64_t when = std::int64_t{1} << 32;         // in the year 2106
  const utimbuf stamp{static_cast<std::time_t>(when), static_cast<std::time_t>(when)};
  ASSERT_EQ(::utime(path.c_str(), &stamp), 0);
  EXPECT_EQ(kit::file_size(path.c_str()), static_cast<double>(size));
  EXPECT_EQ(kit::file_time(path.c_str()), when);
}

TEST(FileTypes, DirectoryFileAndMissing) {
  TempDir dir;
  const std::string file = dir.write("f.txt", "x");
  const std::string missing = dir.file("nothing");
  EXPECT_EQ(kit::file_type(dir.path().c_str()), "dir");
  EXPECT_EQ(kit::file_type(file.c_str()), "file");
  EXPECT_EQ(kit::file_type(missing.c_str()), "unknow");
  EXPECT_TRUE(kit::exists(dir.path().c_str()));
  EXPECT_TRUE(kit::exists(file.c_str()));
  EXPECT_FALSE(kit::exists(missing.c_str()));
  EXPECT_TRUE(kit::is_dir(dir.path().c_str()));
  EXPECT_FALSE(kit::is_dir(file.c_str()));
  EXPECT_FALSE(kit::is_dir(""));
  EXPECT_TRUE(kit::file_exists(Text(file)));
  EXPECT_FALSE(kit::file_exists(missing.c_str()));
}

TEST(FileTypes, RenameAndRemove) {
  TempDir dir;
  const std::string a = dir.write("a", "content");
  const std::string b = dir.file("b");
  EXPECT_TRUE(kit::rename_file(a.c_str(), b.c_str()));
  EXPECT_FALSE(kit::file_exists(a.c_str()));
  EXPECT_EQ(kit_test::read_file(b), "content");
  EXPECT_FALSE(kit::rename_file(a.c_str(), b.c_str()));

  const std::string sub = dir.file("sub");
  ASSERT_TRUE(kit::make_dir(sub.c_str()));
  EXPECT_FALSE(kit::remove_file(sub.c_str()));  // never a directory
  EXPECT_TRUE(kit::is_dir(sub.c_str()));
  EXPECT_TRUE(kit::remove_file(b.c_str()));
  EXPECT_FALSE(kit::remove_file(b.c_str()));
}

TEST(Directories, MakeRemoveAndChange) {
  TempDir dir;
  const std::string sub = dir.file("sub");
  EXPECT_FALSE(kit::make_dir(dir.file("no/parent").c_str()));
  ASSERT_TRUE(kit::make_dir(sub.c_str()));
  EXPECT_FALSE(kit::make_dir(sub.c_str()));
  dir.write("sub/inside", "x");
  EXPECT_FALSE(kit::remove_dir(sub.c_str()));  // not empty

  const Text before = kit::current_dir();
  ASSERT_FALSE(before.is_empty());
  ASSERT_TRUE(kit::change_dir(sub.c_str()));
  EXPECT_TRUE(kit::same_file(kit::current_dir(), Text(sub)));
  EXPECT_TRUE(kit::file_exists("inside"));
  ASSERT_TRUE(kit::change_dir(before.c_str()));
  EXPECT_FALSE(kit::change_dir(dir.file("none").c_str()));

  ASSERT_TRUE(kit::remove_file((sub + "/inside").c_str()));
  EXPECT_TRUE(kit::remove_dir(sub.c_str()));
  EXPECT_FALSE(kit::exists(sub.c_str()));
}

TEST(Directories, StreamEnumeratesRewindsAndCloses) {
  TempDir dir;
  dir.write("one", "");
  dir.write("two", "");
  EXPECT_FALSE(kit::open_dir(nullptr).is_open());
  EXPECT_FALSE(kit::open_dir("").is_open());
  EXPECT_FALSE(kit::open_dir(dir.file("one").c_str()).is_open());

  kit::Directory stream = kit::open_dir(dir.path().c_str());
  ASSERT_TRUE(stream.is_open());
  std::vector<std::string> first, again;
  for (Text name = stream.next_entry(); !name.is_empty(); name = stream.next_entry()) {
    first.push_back(name.str());
  }
  stream.rewind();
  for (Text name = stream.next_entry(); !name.is_empty(); name = stream.next_entry()) {
    again.push_back(name.str());
  }
  EXPECT_EQ(first.size(), 4u);  // ".", "..", "one", "two"
  EXPECT_EQ(first, again);
  EXPECT_TRUE(stream.close());
  EXPECT_FALSE(stream.is_open());
  EXPECT_EQ(stream.next_entry(), "");
  EXPECT_FALSE(stream.close());
}

TEST(Directories, ListSkipsDotNames) {
  TempDir dir;
  dir.write(".hidden", "");
  dir.write("b.txt", "");
  dir.write("a.txt", "");
  kit::Directory stream = kit::open_dir(dir.path().c_str());
  std::vector<std::string> names = texts_of(kit::list_dir(stream));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(kit::list_dir(stream).size(), 0);  // nothing remains
  kit::Directory closed;
  EXPECT_EQ(kit::list_dir(closed).size(), 0);
}

TEST(Directories, StreamHeldInADyn) {
  TempDir dir;
  dir.write("only", "");
  kit::Directory stream = kit::open_dir(dir.path().c_str());
  const kit::Dyn held = kit::Dyn::of_object(&stream);
  std::vector<std::string> names;
  for (Text name = kit::read_dir_entry(held); !name.is_empty(); name = kit::read_dir_entry(held)) {
    names.push_back(name.str());
  }
  EXPECT_EQ(names.size(), 3u);
  kit::rewind_dir(held);
  EXPECT_FALSE(kit::read_dir_entry(held).is_empty());

  kit_test::Captured seen = kit_test::capture([&] { kit::close_dir(held); });
  EXPECT_EQ(seen.out, "");
  EXPECT_FALSE(stream.is_open());
  EXPECT_EQ(kit::read_dir_entry(held), "");
  // Nothing left to close, or no directory at all: the host would refuse.
  seen = kit_test::capture([&] {
    kit::close_dir(held);
    kit::close_dir(kit::Dyn());
  });
  EXPECT_EQ(seen.out, "Unable to close directory\nUnable to close directory\n");
  EXPECT_EQ(kit::read_dir_entry(kit::Dyn("text")), "");
}

// Runs the body under a time zone, restoring the previous one afterwards.
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
  in_zone("UTC0", [] {
    EXPECT_EQ(kit::iso_time(0), "1970-01-01T00:00:00+00:00");
    EXPECT_EQ(kit::iso_time(1234567890), "2009-02-13T23:31:30+00:00");
  });
  in_zone("EST5", [] { EXPECT_EQ(kit::iso_time(0), "1969-12-31T19:00:00-05:00"); });
  in_zone("IST-5:30", [] { EXPECT_EQ(kit::iso_time(0), "1970-01-01T05:30:00+05:30"); });
  // Summer and winter in a zone with daylight saving time.
  in_zone("CET-1CEST,M3.5.0,M10.5.0/3", [] {
    EXPECT_EQ(kit::iso_time(1593561600), "2020-07-01T02:00:00+02:00");
    EXPECT_EQ(kit::iso_time(1577836800), "2020-01-01T01:00:00+01:00");
  });
  in_zone("UTC0", [] {
    EXPECT_EQ(kit::iso_time(kit::file_time("/")).length(), 25);
    EXPECT_EQ(kit::iso_time(std::int64_t{400000000000}), "");  // past the year 9999
  });
}

TEST(Console, PrintLineAndPlural) {
  const kit_test::Captured seen = kit_test::capture([] {
    kit::print_line("one");
    kit::print_line(Text("two"));
    kit::print_line("");
  });
  EXPECT_EQ(seen.out, "one\ntwo\n\n");
  EXPECT_EQ(seen.err, "");
  EXPECT_STREQ(kit::plural_s(0), "");
  EXPECT_STREQ(kit::plural_s(1), "");
  EXPECT_STREQ(kit::plural_s(2), "s");
  const kit_test::Captured report = kit_test::capture([] { kit::report_cannot_open("x.ini"); });
  EXPECT_EQ(report.out, "");
  EXPECT_EQ(report.err, "Cannot open x.ini\n");
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
  EXPECT_EXIT((to_stderr(), kit::die(Text("bye"))), testing::ExitedWithCode(1), "^bye\n$");
  EXPECT_EXIT((to_stderr(), kit::quit()), testing::ExitedWithCode(0), "^$");
}

// Standard input read from a scratch file for the lifetime of the guard.
class ConsoleInput : public testing::Test {
protected:
  void feed(const std::string& bytes) {
    ASSERT_NE(std::freopen(dir_.write("input", bytes).c_str(), "r", stdin), nullptr);
  }
  void TearDown() override { std::freopen("/dev/null", "r", stdin); }

private:
  TempDir dir_;
};

TEST_F(ConsoleInput, InputLineDropsTheLineFeedAndCutsAt255) {
  feed("first\n" + std::string(300, 'y') + "\nlast");
  const kit_test::Captured seen = kit_test::capture([] {
    EXPECT_EQ(kit::input_line("Name? "), "first");
    EXPECT_EQ(kit::input_line("").str(), std::string(255, 'y'));
    EXPECT_EQ(kit::input_line("").str(), std::string(45, 'y'));
    EXPECT_EQ(kit::input_line(""), "last");
    EXPECT_EQ(kit::input_line(""), "");
  });
  EXPECT_EQ(seen.out, "Name? ");
}

TEST_F(ConsoleInput, InputTextKeepsTheLineFeedAndInputNumberReadsIt) {
  feed("abc\n" + std::string(300, 'z') + "\n3.5 kg\nnone\n");
  const kit_test::Captured seen = kit_test::capture([] {
    EXPECT_EQ(kit::input_text("> "), "abc\n");
    EXPECT_EQ(kit::input_text("").str(), std::string(254, 'z'));
    EXPECT_EQ(kit::input_text("").str(), std::string(46, 'z') + "\n");
    EXPECT_EQ(kit::input_number("n? "), 3.5);
    EXPECT_EQ(kit::input_number(""), 0.0);
    EXPECT_EQ(kit::input_text(""), "");
  });
  EXPECT_EQ(seen.out, "> n? ");
}

}  // namespace
