// SPDX-License-Identifier: MIT
// The diagnostic listings of a tree.
#include <gtest/gtest.h>

#include <string>

#include "support/capture.h"
#include "tree/dump.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Text;

std::string dumped(Dom& dom) {
  return kit_test::capture([&] { kit::dump_nodes(dom); }).out;
}

TEST(Dump, FreshDomShowsTheRootAlone) {
  Dom dom;
  EXPECT_EQ(dumped(dom), "ELEMENT:document\n\n");
  EXPECT_EQ(dom.output().level, 1);
}

TEST(Dump, LinksNameOnlyElements) {
  Dom dom;
  dom.add_element_child(Element{Text("first")});  // 1
  dom.add_element_child(Element{Text("inner")});  // 2
  dom.set_cursor(1);
  kit::ScriptBlock script;
  script.add_line("a\n");
  script.add_line("b\n");
  dom.add_script_next(script);                    // 3
  dom.add_comment_next(Text("abc"));              // 4
  dom.add_element_next(Element{Text("last")});    // 5
  dom.root();
  EXPECT_EQ(dumped(dom),
            "ELEMENT:document\nchild : first\nlast  : last\n\n"
            "ELEMENT:first\nchild : inner\nnext  : \n\n"
            "ELEMENT:inner\nparent: first\n\n"
            "SCRIPT 2 lines\n"
            "COMMENT length=3\n"
            "ELEMENT:last\n\n");
  // The payload follows the elements named; the cursor stays.
  EXPECT_EQ(dom.current_payload().name(), "last");
  EXPECT_EQ(dom.cursor(), 0);
}

TEST(Dump, PrintElementWithoutQuotesAroundValues) {
  Element option{Text("option")};
  option.set_attribute("name", "a");
  option.set_attribute("value", "1");
  EXPECT_EQ(kit_test::capture([&] { kit::print_element(option); }).out,
            "option name=a value=1\n/option\n");
  Element title{Text("title")};
  title.set_data("Hello");
  EXPECT_EQ(kit_test::capture([&] { kit::print_element(title); }).out,
            "title\n    \"Hello\"\n/title\n");
}

}  // namespace
