// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "varnel/ini.h"

using kit::Dom;
using kit::Element;
using kit::Text;
namespace varnel = kit::varnel;

namespace {

// Reads an INI text in the given mode; restores the default mode afterwards.
class Ini : public ::testing::Test {
protected:
  void TearDown() override { varnel::expand_mode = false; }

  Dom read(const std::string& text, bool expand = false) {
    varnel::expand_mode = expand;
    Dom tree;
    EXPECT_TRUE(varnel::read_ini(Text(dir_.write("in.ini", text).c_str()), tree));
    return tree;
  }

  // "name a=1 b=2" for every top-level element, children after a "/".
  static std::vector<std::string> outline(const Dom& tree) {
    std::vector<std::string> lines;
    for (int i = tree.node(0).child(); i != 0; i = tree.node(i).next()) {
      std::string line = tree.node(i).element().name().str();
      tree.node(i).element().each_attribute([&](const kit::AttributeView& a) {
        line += " " + std::string(a.name) + "=" + std::string(a.value);
      });
      for (int c = tree.node(i).child(); c != 0; c = tree.node(c).next()) {
        line += " / " + tree.node(c).element().name().str() + " data=" +
                tree.node(c).element().get_attribute("data").str();
      }
      lines.push_back(line);
    }
    return lines;
  }

  // The regenerated lines of a text read in the given mode.
  std::vector<std::string> regenerated(const std::string& text, bool expand = false) {
    varnel::ini_tree = read(text, expand);
    varnel::ini_lines = kit::Array();
    varnel::regenerate_ini();
    std::vector<std::string> lines;
    for (int i = 0; i < varnel::ini_lines.size(); ++i) lines.push_back(varnel::ini_lines.at(i).to_text().str());
    return lines;
  }

  kit_test::TempDir dir_;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(Ini, TreeLinksFollowTheLines) {
  const Dom tree = read("[main]\ncolor = red ; note\n");
  ASSERT_EQ(tree.node_count(), 5);
  EXPECT_EQ(tree.node(0).child(), 1);
  EXPECT_EQ(tree.node(0).last(), 4);
  EXPECT_EQ(tree.node(1).element().name().str(), "main");
  EXPECT_EQ(tree.node(1).parent(), 0);
  EXPECT_EQ(tree.node(1).next(), 2);
  EXPECT_EQ(tree.node(2).element().name().str(), "option");
  EXPECT_EQ(tree.node(2).next(), 4);
  EXPECT_EQ(tree.node(2).child(), 3);
  EXPECT_EQ(tree.node(2).last(), 0);  // its child came from add_child
  EXPECT_EQ(tree.node(3).element().name().str(), "comment");
  EXPECT_EQ(tree.node(3).parent(), 2);
  EXPECT_EQ(tree.node(3).next(), 0);
  EXPECT_EQ(tree.node(4).element().name().str(), "blank");
  EXPECT_EQ(tree.node(4).parent(), 0);
  EXPECT_EQ(tree.cursor(), 4);
}

TEST_F(Ini, FinalLineFeedAndEmptyFile) {
  EXPECT_EQ(outline(read("")), Lines{"blank"});
  EXPECT_EQ(outline(read("a=1")), Lines{"option a=1 active=true"});
  EXPECT_EQ(outline(read("a=1\n")), (Lines{"option a=1 active=true", "blank"}));
  EXPECT_EQ(outline(read("\xEF\xBB\xBF[x]")), Lines{"x"});  // the byte order mark is skipped
  EXPECT_EQ(outline(read("[x]\r\na = 1\r\n")), (Lines{"x", "option a=1 active=true", "blank"}));
}

TEST_F(Ini, Sections) {
  EXPECT_EQ(outline(read("[main]\n[main\n[]\n  [ sp ]")),
            (Lines{"main", "main", "line data=[]", "_x0020_sp_x0020_"}));
  EXPECT_EQ(outline(read("[main]", true)), Lines{"title name=main"});
  // The option attempts at "x" and the space fail; the scan reaches the "[".
  EXPECT_EQ(outline(read("x [main]")), Lines{"main"});
  // "[]" gives nothing, and the option attempt on the whole line takes over.
  EXPECT_EQ(outline(read("[]x=1", true)), Lines{"option name=[]x value=1 active=true"});
}

TEST_F(Ini, OptionsAndSeparators) {
  EXPECT_EQ(outline(read("color = red")), Lines{"option color=red active=true"});
  EXPECT_EQ(outline(read("color = red", true)), Lines{"option name=color value=red active=true"});
  EXPECT_EQ(outline(read("path: /usr/bin")), Lines{"option path=/usr/bin active=true"});
  EXPECT_EQ(outline(read("url: a=b", true)), Lines{"option name=url: a value=b active=true"});
  EXPECT_EQ(outline(read("key =")), Lines{"option key= active=true"});
  EXPECT_EQ(outline(read("=value", true)), Lines{"option name= value=value active=true"});
  EXPECT_EQ(outline(read("key")), Lines{"line data=key"});
  EXPECT_EQ(outline(read("\tk\t=\tv\t")), Lines{"option k=v active=true"});
}

TEST_F(Ini, InlineComments) {
  EXPECT_EQ(outline(read("size = 10 ; in pixels")),
            Lines{"option size=10 active=true / comment data= in pixels"});
  EXPECT_EQ(outline(read("title = \"a;b\"")), Lines{"option title=\"a;b\" active=true"});
  // Only the first ";" after the separator is looked at for the quotes.
  EXPECT_EQ(outline(read("t = \"a;b\" ; c")), Lines{"option t=\"a;b\" ; c active=true"});
  // Cut at the ";", the line has no separator left: kept whole, no child.
  EXPECT_EQ(outline(read("a;b=c;d")), Lines{"line data=a;b=c;d"});
}

TEST_F(Ini, CommentsAndCommentedOutOptions) {
  EXPECT_EQ(outline(read("#color=red")), Lines{"option color=red active=false"});
  EXPECT_EQ(outline(read("#color=red ; old")), Lines{"option color=red comment= old active=false"});
  EXPECT_EQ(outline(read("# color=red")), Lines{"comment data= color=red"});
  EXPECT_EQ(outline(read(";;x=1")), Lines{"comment data=;x=1"});
  EXPECT_EQ(outline(read("#")), Lines{"comment data="});
  EXPECT_EQ(outline(read("#note")), Lines{"comment data=note"});
  EXPECT_EQ(outline(read("  # note")), Lines{"line data=  # note"});
  EXPECT_EQ(outline(read("#a;b=c")), Lines{"line data=#a;b=c"});
  EXPECT_EQ(outline(read("  # a=1", true)), Lines{"option name=# a value=1 active=true"});
}

TEST_F(Ini, CommentPrefixIsTheFirstMet) {
  read("a=1\n;x\n#y\n");
  EXPECT_EQ(varnel::comment_prefix.str(), ";");
  read("a=1\n");
  EXPECT_EQ(varnel::comment_prefix.str(), "");
}

TEST_F(Ini, NamesAreEncodedInTheDefaultModeOnly) {
  const std::string text = "[my section]\nok = 1\nactive = yes";
  EXPECT_EQ(outline(read(text)),
            (Lines{"my_x0020_section", "option ok=1 active=true", "option _x0061_ctive=yes active=true"}));
  EXPECT_TRUE(varnel::read_notes.names_escaped);
  EXPECT_EQ(outline(read(text, true)), (Lines{"title name=my section", "option name=ok value=1 active=true",
                                               "option name=active value=yes active=true"}));
  EXPECT_FALSE(varnel::read_notes.names_escaped);
  read("[ok]\nssl_x509_dir = 1\n");
  EXPECT_FALSE(varnel::read_notes.names_escaped);
}

TEST_F(Ini, UnreadableSourceIsAFailure) {
  Dom tree;
  EXPECT_FALSE(varnel::read_ini(Text(dir_.file("missing.ini").c_str()), tree));
  EXPECT_FALSE(varnel::read_ini(Text(dir_.path().c_str()), tree));
  EXPECT_TRUE(tree.is_empty());
}

TEST_F(Ini, RegeneratedLines) {
  const std::string text = "[main]\ncolor=red\n#size=10\n; note\n";
  const Lines want = {"[main]\n", "color = red\n", "#size = 10\n", "# note\n", "\n"};
  EXPECT_EQ(regenerated(text), want);
  EXPECT_EQ(regenerated(text, true), want);
  EXPECT_EQ(regenerated("key =\nsize = 10 ; in pixels"), (Lines{"key =\n", "size = 10\n"}));
  EXPECT_EQ(regenerated(""), Lines{"\n"});
  // Names come back as the source wrote them, and kept lines whole.
  const std::string odd = "[option]\n[a:b]\nName[de] = x\n=v\n  no rule\n\"q\"";
  const Lines back = {"[option]\n", "[a:b]\n", "Name[de] = x\n", " = v\n", "  no rule\n", "\"q\"\n"};
  EXPECT_EQ(regenerated(odd), back);
  EXPECT_EQ(regenerated(odd, true), back);
}

TEST_F(Ini, LinesOfTreeNodes) {
  varnel::comment_prefix = Text("#");
  EXPECT_EQ(varnel::comment_node_line(Text(" x")).str(), "# x\n");
  EXPECT_EQ(varnel::comment_node_line(Text("  ")).str(), "  \n");
  varnel::expand_mode = true;
  Element title("title");
  title.set_attribute("name", "s");
  EXPECT_EQ(varnel::title_line(title).str(), "[s]\n");
  Element inactive("option");
  inactive.set_attribute("name", "k");
  inactive.set_attribute("value", "");
  inactive.set_attribute("active", "false");
  EXPECT_EQ(varnel::option_line(inactive).str(), "#k =\n");
}
