// SPDX-License-Identifier: MIT
// A tree a million levels deep: built, copied, written and dumped without
// running out of stack.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <thread>

#include "support/capture.h"
#include "support/temp_dir.h"
#include "tree/dump.h"
#include "tree/writer.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Text;

constexpr long long depth = 1000000;

// Stores through a named pipe and counts the bytes that come out, so that
// the hundred megabytes of output never reach the disk.
long long stored_bytes(Dom& dom, int format) {
  kit_test::TempDir dir;
  const std::string pipe = dir.file("pipe");
  EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  long long bytes = 0;
  std::thread reader([&] {
    std::FILE* in = std::fopen(pipe.c_str(), "rb");
    if (in == nullptr) return;
    static char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes += static_cast<long long>(n);
    std::fclose(in);
  });
  EXPECT_TRUE(kit::store(dom, pipe.c_str(), format));
  reader.join();
  return bytes;
}

TEST(DeepTree, AMillionLevels) {
  Dom dom;
  const kit::Node d(Element{Text("d")});
  for (long long i = 0; i < depth; ++i) dom.add_child(d);
  ASSERT_EQ(dom.node_count(), depth + 1);

  Dom copy;
  copy.copy_from(dom);
  ASSERT_EQ(copy.node_count(), depth + 1);
  long long levels = 0;
  copy.root();
  for (copy.down(); copy.found(); copy.down()) ++levels;
  EXPECT_EQ(levels, depth);

  // Indentation of all levels: 2 spaces a level up to depth 24, then 48.
  // Each element has it twice (opening and closing line) but the innermost.
  const long long indent = 600 + (depth - 25) * 48;
  // "<d>\n" and "</d>\n" for each element, "<d />\n" for the innermost.
  EXPECT_EQ(stored_bytes(copy, kit::format_xml), 2 * indent - 48 + (depth - 1) * 9 + 6);
  // "d\n" and "/d\n", and "d /\n".
  const long long light = 2 * indent - 48 + (depth - 1) * 5 + 4;
  EXPECT_EQ(stored_bytes(copy, kit::format_light), light);
  EXPECT_EQ(stored_bytes(copy, kit::format_light_quoted), light);

  const std::string dump = kit_test::capture([&] { kit::dump_nodes(dom); }).out;
  // The root and the outermost have no parent line, the innermost no child line.
  EXPECT_EQ(static_cast<long long>(dump.size()), 28 + 21 + 31 * (depth - 2) + 21);
  EXPECT_EQ(dump.substr(dump.size() - 22), "\nELEMENT:d\nparent: d\n\n");
}

}  // namespace
