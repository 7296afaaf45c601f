// SPDX-License-Identifier: MIT
// The XML loader: placement of elements and comments, text joining,
// messages, the echo and lookup handlers, round trips through the writer.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <vector>

#include "loaded_tree.h"
#include "support/sanitizers.h"
#include "support/xml_check.h"
#include "tree/writer.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Text;
using kit_test::capture;
using kit_test::Captured;
using kit_test::TempDir;
using kit_test::top;
using kit_test::tree_of;

TEST(LoaderPlacement, NestingFollowsDepthAgainstPreviousDepth) {
  Dom dom = tree_of("<a><b/><c><d/></c><e/></a>");
  EXPECT_EQ(top(dom), "a(b c(d) e)");
  const int parents[] = {0, 0, 1, 1, 3, 1};  // of a, b, c, d, e in document order
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(dom.node(i).parent(), parents[i]) << i;
  EXPECT_EQ(dom.cursor(), 1);  // back on the top element
  EXPECT_EQ(kit::loader_state().name, "a");  // its end was the last event
  EXPECT_EQ(top(tree_of("<r>\n <a><b><c/></b></a>\n\n <d><e/></d> <f/>\n</r>\n")),
            "r(a(b(c)) d(e) f)");
}

TEST(LoaderPlacement, CommentsKeepTheirPlaceAndEveryElementStays) {
  EXPECT_EQ(top(tree_of("<a><b/><!--x--><c/></a>")), "a(b {<!--x-->} c)");
  EXPECT_EQ(top(tree_of("<a><!--first--><b/><c/></a>")), "a({<!--first-->} b c)");
  EXPECT_EQ(top(tree_of("<a><p><!--one--><!--two--></p><q/></a>")),
            "a(p({<!--one-->} {<!--two-->}) q)");
  EXPECT_EQ(top(tree_of("<a><p><q><!--in q--></q></p><r/></a>")), "a(p(q({<!--in q-->})) r)");
  // Around the top element: inside it, so that a stored tree has one top element.
  EXPECT_EQ(top(tree_of("<!--l1--><!--l2--><a><b/></a><!--after--><!--end-->")),
            "a({<!--l1-->} {<!--l2-->} b {<!--after-->} {<!--end-->})");
  EXPECT_EQ(top(tree_of("<!--before--><a/><!--after-->")), "a({<!--before-->} {<!--after-->})");
}

TEST(LoaderText, LinesJoinedByLineFeedsAttributesInOrder) {
  EXPECT_EQ(top(tree_of("<a>\n  first line\n    second  \n</a>")),
            "a=\"  first line\n    second  \"");
  // References and CDATA sections do not cut a line.
  EXPECT_EQ(top(tree_of("<a>fish &amp; chips</a>")), "a=\"fish & chips\"");
  EXPECT_EQ(top(tree_of("<a>x&#65;<![CDATA[<y>]]>&#xD;z\n  w</a>")), "a=\"xA<y>\rz\n  w\"");
  // Text after a child's end goes to that child; text before a child to the parent.
  EXPECT_EQ(top(tree_of("<a><b>in</b>after</a>")), "a(b=\"in\nafter\")");
  EXPECT_EQ(top(tree_of("<a>kept<b/></a>")), "a=\"kept\"(b)");
  EXPECT_EQ(top(tree_of("<li>FOSI: \"Formatted\"<ul><li>x</li></ul></li>")),
            "li=\"FOSI: \"Formatted\"\"(ul(li=\"x\"))");
  // The child's text grows after other nodes were added behind it.
  EXPECT_EQ(top(tree_of("<r><a><b k='v'>x</b><!--c-->y<!--d-->z</a><e>w</e></r>")),
            "r(a(b[k=v]=\"x\ny\nz\" {<!--c-->} {<!--d-->}) e=\"w\")");
  Dom dom = tree_of("<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n"
                    "<a z=\"1\" b=\"x &amp; &lt;y&gt;\" a='&#x41;&quot;' ZZ=''/>");
  EXPECT_EQ(top(dom), "a[z=1 b=x & <y> a=A\" ZZ=]");
  EXPECT_TRUE(dom.header_lines().empty());
}

TEST(LoaderFailures, EmptyFileAndMissingRoot) {
  for (const std::string xml : {"", "<?xml version=\"1.0\"?>", "  ", "<!-- no root -->"}) {
    Captured printed;
    bool parsed = true;
    const Dom dom = tree_of(xml, &printed, &parsed);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(printed.err, "Parse error at line 1:\nno element found\n") << xml;
    EXPECT_EQ(printed.out, "");
    // A comment met before the failure is kept, as what was built so far is.
    const bool commented = xml.find("<!--") != std::string::npos;
    EXPECT_EQ(top(dom), commented ? "{<!-- no root -->}" : "") << xml;
  }
}

TEST(LoaderFailures, AParseAfterAFailedOneStartsClean) {
  Captured printed;
  const Dom bad = tree_of("<a>\n<b>\n<c>text</c>\n</a>\n", &printed);
  EXPECT_EQ(printed.err, "Parse error at line 4:\nmismatched tag\n");
  EXPECT_EQ(top(bad), "a(b(c=\"text\"))");
  // Left three levels deep, the loader still places a new document from scratch.
  EXPECT_EQ(top(tree_of("<x><y/><z/></x>")), "x(y z)");
}

TEST(LoaderFailures, MissingOrUnreadableFileGivesFalseAndTheProcessGoesOn) {
  TempDir dir;
  Dom dom;
  Captured printed =
      capture([&] { EXPECT_FALSE(kit::load_xml(dom, dir.file("no.xml").c_str())); });
  EXPECT_EQ(printed.out + "|" + printed.err, "File not found\n|");
  // A directory opens for reading here but cannot be read.
  printed = capture([&] { EXPECT_FALSE(kit::load_xml(dom, dir.path().c_str())); });
  EXPECT_EQ(printed.out + "|" + printed.err, "|Read error\n");
}

// Out of memory half way through a document: false and one message, the
// tree keeps what was built, and the next load works. Memory is cut short
// by an address-space limit in a child process.
TEST(LoaderFailures, RunningOutOfMemoryIsAnErrorNotAnAbort) {
  if (address_sanitizer) GTEST_SKIP() << "the sanitizer's shadow memory defeats an address limit";
  TempDir dir;
  const std::string messages = dir.file("stderr");
  std::string document = "<r>";
  while (document.size() < (std::size_t{64} << 20)) {
    document += "<item id=\"" + std::to_string(document.size()) + "\">some text</item>";
  }
  const std::string path = dir.write("big.xml", document + "</r>");
  std::string().swap(document);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (std::freopen(messages.c_str(), "w", stderr) == nullptr) ::_exit(2);
    std::setvbuf(stderr, nullptr, _IONBF, 0);  // no buffer to allocate when memory is short
    // What the process maps now, and a little more: less than the tree needs.
    unsigned long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) ::_exit(3);
    std::fclose(statm);
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    const rlimit cut{static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) +
                         (rlim_t{24} << 20),
                     limit.rlim_max};
    ::setrlimit(RLIMIT_AS, &cut);
    Dom dom;
    const bool first = kit::load_xml(dom, path.c_str());
    ::setrlimit(RLIMIT_AS, &limit);
    const bool kept = dom.node_count() > 2 && dom.node(1).element().name_view() == "r";
    Dom small;
    const bool second = kit::load_xml_text(small, "<a><b/></a>") && top(small) == "a(b)";
    std::fflush(stderr);
    ::_exit(!first && kept && second ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(kit_test::read_file(messages), "Not enough memory\n");
}

TEST(LoaderDom, LoadingIntoATreeThatHoldsNodes) {
  TempDir dir;
  const std::string path = dir.write("in.xml", "<!--c--><n><m/></n>");
  Dom dom;
  dom.add_element_child(Element{Text("p")});
  dom.add_element_next(Element{Text("q")});
  ASSERT_TRUE(kit::load_xml(dom, path.c_str()));  // after q, the cursor node
  EXPECT_EQ(top(dom), "p q n({<!--c-->} m)");
  dom.set_cursor(1);  // inside the chain: nothing after p is cut off
  ASSERT_TRUE(kit::load_xml(dom, path.c_str()));
  EXPECT_EQ(top(dom), "p n({<!--c-->} m) q n({<!--c-->} m)");
}

int nested_refused = 0;

void start_another(int event) {
  if (event == kit::event_start && !kit::parse_file(start_another, "x.xml")) ++nested_refused;
}

TEST(LoaderDom, WithDomTheLoadersOwnDomAndNoParseInsideAHandler) {
  TempDir dir;
  const std::string path = dir.write("in.xml", "<a><b/></a>");
  Dom chosen;
  const auto load = [&path](int n) {
    return kit::parse_file(kit::build_handler, path.c_str()) ? n : -n;
  };
  EXPECT_EQ(kit::with_dom(chosen, load, 7), 7);
  EXPECT_EQ(top(chosen), "a(b)");
  // Nothing bound: the builder makes a Dom of its own and keeps filling it.
  EXPECT_EQ(kit::bound_dom(), nullptr);
  ASSERT_TRUE(kit::parse_file(kit::build_handler, path.c_str()));
  ASSERT_TRUE(kit::parse_file(kit::build_handler, path.c_str()));
  ASSERT_NE(kit::bound_dom(), nullptr);
  EXPECT_EQ(top(*kit::bound_dom()), "a(b) a(b)");

  EXPECT_TRUE(kit::parse_file(start_another, path.c_str()));
  EXPECT_EQ(nested_refused, 2);
}

TEST(LoaderWriter, LoadThenStore) {
  TempDir dir;
  Dom dom = tree_of("<list>\n  <!-- first -->\n  <item v=\"1\">one</item>\n</list>\n");
  const std::string out = dir.file("out.xml");
  ASSERT_TRUE(kit::store(dom, out.c_str(), kit::format_xml));
  // A comment is written at its own depth, as the element it loads back as.
  EXPECT_EQ(kit_test::read_file(out),
            "<list>\n  <comment data=\"&lt;!-- first --&gt;\" />\n"
            "  <item v=\"1\">\none\n  </item>\n</list>\n");
}

TEST(LoaderWriter, RoundTripsThroughTheXmlWriter) {
  const std::vector<std::string> documents = {
      "<conf v=\"2\">\n  <s name=\"net\">\n    <o name=\"host\" value=\"h\"/>\n  </s>\n"
      "  <s name=\"empty\"></s>\n</conf>\n",
      "<t><p>one line</p><p>  two\n   lines </p><q a='it&apos;s' b=\"&lt;&amp;&gt;&quot;\"/></t>",
      "<d><a><b><c><d><e>bottom</e></d></c></b></a><z/></d>",
      "<r>\xc3\xa9t\xc3\xa9<n \xc3\xa9=\"\xe2\x82\xac\"/></r>",
  };
  TempDir dir;
  const std::string path = dir.file("round.xml");
  for (const std::string& xml : documents) {
    Dom first = tree_of(xml);
    ASSERT_TRUE(kit::store(first, path.c_str(), kit::format_xml));
    const Dom second = tree_of(kit_test::read_file(path));
    EXPECT_EQ(top(second), top(first)) << xml;
    EXPECT_EQ(second.node_count(), first.node_count());
  }
}

// A text of many read blocks, references in it, loads as one line; from a
// file and from memory alike.
TEST(LoaderText, ALongTextAcrossReadBlocksComesWhole) {
  std::string text, source;
  for (int i = 0; text.size() < 20000; ++i) {
    text += "word" + std::to_string(i) + (i % 7 ? " " : " & ");
    source += "word" + std::to_string(i) + (i % 7 ? " " : " &amp; ");
  }
  const std::string xml = "<?xml version=\"1.0\"?>\n<a>" + source + "</a>";
  EXPECT_EQ(top(tree_of(xml)), "a=\"" + text + "\"");
  Dom dom;
  ASSERT_TRUE(kit::load_xml_text(dom, xml));
  EXPECT_EQ(top(dom), "a=\"" + text + "\"");
  bool parsed = true;
  const Captured printed = capture([&] { parsed = kit::load_xml_text(dom, "<a>\n<b></a>"); });
  EXPECT_FALSE(parsed);
  EXPECT_EQ(printed.err, "Parse error at line 2:\nmismatched tag\n");
}

// Documents as real files look: each stores as one well-formed document,
// every word in its order, and a stored copy loads and stores to the same
// bytes.
TEST(LoaderWriter, StoredDocumentsAreFixpoints) {
  const std::string documents[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- Licensed under the terms in LICENSE.\n     Copyright the authors. -->\n"
      "<!DOCTYPE catalog [<!ENTITY co \"Example &amp; Co\">]>\n"
      "<catalog xmlns=\"urn:c\" xmlns:x=\"urn:x\" x:version=\"2\">\n"
      "  <title lang=\"en\">Parts &co; list</title>\n"
      "  <item id=\"a&lt;1&gt;\" note='say \"hi\"'>\n"
      "    A line of text &amp; more,\n"
      "    continued <![CDATA[with <raw> data]]> here.\n"
      "  </item>\n"
      "  <x:empty/>\n"
      "</catalog>\n<!-- end of catalog -->\n",
      "<ul><li>FOSI: \"Formatted Output\"<ul><li>one</li><li>two</li></ul>tail</li></ul>",
      "<p>one <b>two</b> three <i>four</i><!-- aside -->five</p>",
      "<r a=\"tab\tline&#10;return&#13;\"><d>carriage&#13;return</d><e>\xc3\xa9\xe2\x82\xac</e></r>",
      "<deep><a><b><c><d>x</d>y</c>z</b></a></deep>",
  };
  for (const std::string& xml : documents) {
    SCOPED_TRACE(xml);
    Dom first;
    ASSERT_TRUE(kit::load_xml_text(first, xml));
    const std::string stored = kit::store_text(first, kit::format_xml).str();
    EXPECT_EQ(kit_test::xml_error(stored), "") << stored;
    EXPECT_EQ(kit_test::words_of(stored), kit_test::words_of(xml)) << stored;
    Dom second;
    ASSERT_TRUE(kit::load_xml_text(second, stored));
    EXPECT_EQ(kit::store_text(second, kit::format_xml).str(), stored);
  }
  // What one of them looks like stored.
  Dom dom;
  ASSERT_TRUE(kit::load_xml_text(dom, documents[2]));
  EXPECT_EQ(kit::store_text(dom, kit::format_xml).str(),
            "<p>\none \n  <b>\ntwo\n three \n  </b>\n  <i>\nfour\nfive\n  </i>\n"
            "  <comment data=\"&lt;!-- aside --&gt;\" />\n</p>\n");
}

TEST(LoaderHandlers, EchoPrintsIndentedXml) {
  TempDir dir;
  const std::string path =
      dir.write("in.xml", "<a x=\"1\" y='2'><!--top--><b>text\nmore</b><c><!--in c--></c></a>");
  EXPECT_EQ(capture([&] { kit::parse_file(kit::echo_handler, path.c_str()); }).out,
            "<a x='1' y='2' >\ntop\n  <b >\ntext\nmore\n  </b>\n  <c >\n  in c\n  </c>\n</a>\n");
}

TEST(LoaderHandlers, LookupByAttributeAndByElementText) {
  TempDir dir;
  const std::string path =
      dir.write("in.xml", "<conf><x Value='0'>one</x><opt value='1'/><Opt value='2'/>"
                          "<title>Hello</title><title>Second</title></conf>");
  kit::Lookup& lookup = kit::lookup_request();
  const auto run = [&](const char* filter, const char* attribute) {
    lookup = kit::Lookup();
    if (filter) lookup.element_filter = Text(filter);
    if (attribute) lookup.attribute = Text(attribute);
    return capture([&] { EXPECT_TRUE(kit::parse_file(kit::lookup_handler, path.c_str())); }).out;
  };
  run(nullptr, "VALUE");
  EXPECT_EQ(lookup.result, "0");
  run("OPT", "value");  // the filter ignores case
  EXPECT_EQ(lookup.result, "1");
  run("conf", "value");
  EXPECT_FALSE(lookup.found);
  // By text: each chunk met on the way prints the filter and the last name.
  EXPECT_EQ(run("TITLE", nullptr), "TITLE = x\nTITLE = title\n");
  EXPECT_EQ(lookup.result, "Hello");
}

}  // namespace
