// SPDX-License-Identifier: MIT
#include "tree/loader.h"

#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace kit {

namespace {

// The pending text's first room, enough for most texts at once.
constexpr std::size_t pending_start_bytes = 128;
// A pending-text buffer grown past this is released at the next element.
constexpr std::size_t pending_keep_bytes = std::size_t{1} << 20;

// Why a parse was stopped from inside a callback.
enum class Stop { none, out_of_memory, too_many_nodes };

struct Loader {
  LoaderState state;
  std::string name;                        // what state.name shows between events
  EventHandler handler = nullptr;
  bool running = false;
  Dom* bound = nullptr;
  std::unique_ptr<Dom> own;                // the builder's Dom when none was bound
  XML_Parser parser = nullptr;             // the running parse, stopped on a failure
  Stop stop = Stop::none;
  std::string piece;                       // character data of the line being read
  // The builder gathers its text straight in `pending`, which saves a copy
  // of every text: the line being read starts at piece_start there (none:
  // no line open) and white space that may yet start one waits in `piece`;
  // a line of white space alone is taken out again.
  bool direct = false;
  std::size_t piece_start = std::string::npos;
  std::size_t waiting_spaces = 0;              // in front of what waits in `piece`
  bool piece_blank = true;

  // The builder's part.
  Element built;                           // builds each element the tree then copies
  int element = 0;                         // node of the element started last; 0: none yet
  bool below = false;                      // a comment went below that element
  std::string pending;                     // its text, pieces joined by line feeds
  bool settled = false;                    // the element holds the pending text already
  int top = 0;                             // the document's top element; 0 until it starts
  int after_top = 0;                       // the last comment put in it after its end
  std::vector<std::string> leading;        // comments before the top element
};

Loader loader;
Lookup lookup;

void start_clean(EventHandler handler) {
  loader.state = LoaderState();
  loader.name.clear();
  loader.handler = handler;
  loader.stop = Stop::none;
  loader.piece.clear();
  loader.direct = handler == build_handler;
  loader.piece_start = std::string::npos;
  loader.waiting_spaces = 0;
  loader.element = 0;
  loader.settled = false;
  loader.below = false;
  loader.top = 0;
  loader.after_top = 0;
  loader.leading.clear();
  std::string().swap(loader.pending);
}

bool blank(std::string_view chunk) {
  for (const char c : chunk) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

// Runs the handler; no exception crosses Expat, which is C: running out of
// memory, or a tree out of room for nodes, stops the parse instead.
template <typename Step> void guarded(Step&& step) {
  if (loader.stop != Stop::none) return;
  try {
    step();
  } catch (const std::bad_alloc&) {
    loader.stop = Stop::out_of_memory;
  } catch (const std::length_error&) {
    loader.stop = Stop::too_many_nodes;
  }
  if (loader.stop != Stop::none) XML_StopParser(loader.parser, XML_FALSE);
}

// The character data of the line read so far, as one text event; nothing
// for white space alone.
void hand_over_piece() {
  if (loader.direct) {
    loader.piece.clear();
    loader.waiting_spaces = 0;
    if (loader.piece_start == std::string::npos) return;
    if (loader.piece_blank) {
      loader.pending.resize(loader.piece_start);
    } else {
      loader.settled = false;
    }
    loader.piece_start = std::string::npos;
    return;
  }
  if (loader.piece.empty()) return;
  if (!blank(loader.piece)) {
    loader.state.text = loader.piece;
    loader.handler(event_text);
    loader.state.text = std::string_view();
  }
  loader.piece.clear();
}

// Shows the event's element name. Expat's bytes last only through the
// callback, so a handler that may read the name between events gets a copy.
// The builder reads it only inside the callback: it is shown Expat's bytes,
// and only the top element's end, which the state shows after a load, is
// copied.
void show_name(const XML_Char* name, bool copy) {
  if (!copy) {
    loader.state.name = name;
    return;
  }
  loader.name.assign(name);
  loader.state.name = loader.name;
}

// Ends the builder's look at Expat's bytes.
void hide_name() {
  if (loader.direct) loader.state.name = loader.name;
}

void XMLCALL on_start(void*, const XML_Char* name, const XML_Char** attributes) {
  guarded([&] {
    hand_over_piece();
    show_name(name, !loader.direct);
    loader.state.attributes = attributes;
    loader.handler(event_start);
    loader.state.attributes = nullptr;
    hide_name();
    ++loader.state.depth;
  });
}

void XMLCALL on_end(void*, const XML_Char* name) {
  guarded([&] {
    hand_over_piece();
    --loader.state.depth;
    show_name(name, !loader.direct || loader.state.depth == 0);
    loader.handler(event_end);
    hide_name();
  });
}

// Expat hands character data over in pieces cut wherever it likes: at
// references, CDATA edges, read blocks. They are put together again, so
// that a text event carries the data between two line feeds, or up to the
// next tag or comment.
// One more part of the line being read.
// What white space a part of a line is made of.
enum class White { spaces, mixed, none };
White white_of(std::string_view part) {
  White white = White::spaces;
  for (const char c : part) {
    if (c == ' ') continue;
    if (c != '\t' && c != '\r' && c != '\n') return White::none;
    white = White::mixed;
  }
  return white;
}

void gather(std::string_view part) {
  if (part.empty()) return;
  if (!loader.direct) {
    loader.piece.append(part);
    return;
  }
  const White white = white_of(part);
  std::string& pending = loader.pending;
  if (loader.piece_start == std::string::npos) {
    // Indentation between tags is most of the white space: it waits apart,
    // spaces alone only counted.
    if (white == White::spaces && loader.piece.empty()) {
      loader.waiting_spaces += part.size();
      return;
    }
    if (loader.waiting_spaces != 0) {
      loader.piece.insert(0, loader.waiting_spaces, ' ');
      loader.waiting_spaces = 0;
    }
    if (white != White::none) {
      loader.piece.append(part);
      return;
    }
    if (pending.capacity() < pending_start_bytes) pending.reserve(pending_start_bytes);
    loader.piece_start = pending.size();
    if (!pending.empty()) pending += '\n';
    pending.append(loader.piece);
    loader.piece.clear();
    loader.piece_blank = false;
  }
  pending.append(part);
  loader.piece_blank = loader.piece_blank && white != White::none;
}

void XMLCALL on_text(void*, const XML_Char* text, int length) {
  guarded([&] {
    std::string_view chunk(text, static_cast<std::size_t>(length));
    // Expat hands most line feeds over alone.
    if (length == 1 && *text == '\n') {
      hand_over_piece();
      return;
    }
    for (std::size_t feed = chunk.find('\n'); feed != std::string_view::npos;
         feed = chunk.find('\n')) {
      gather(chunk.substr(0, feed));
      hand_over_piece();
      chunk.remove_prefix(feed + 1);
    }
    gather(chunk);
  });
}

void XMLCALL on_comment(void*, const XML_Char* text) {
  guarded([&] {
    hand_over_piece();
    loader.state.comment = text;
    loader.handler(event_comment);
    loader.state.comment = std::string_view();
  });
}

// Frees the parser and ends the parse however it leaves.
class ParseGuard {
public:
  explicit ParseGuard(XML_Parser parser) : parser_(parser) {}
  ~ParseGuard() {
    hide_name();  // a handler that threw left it on Expat's bytes
    XML_ParserFree(parser_);
    loader.parser = nullptr;
    loader.running = false;
    loader.handler = nullptr;
    std::string().swap(loader.pending);
    std::string().swap(loader.piece);
    std::vector<std::string>().swap(loader.leading);
    loader.built = Element();
  }
  ParseGuard(const ParseGuard&) = delete;
  ParseGuard& operator=(const ParseGuard&) = delete;

private:
  XML_Parser parser_;
};

// The message for a parse that failed; false.
bool parse_failed(XML_Parser parser) {
  const XML_Error error = XML_GetErrorCode(parser);
  if (loader.stop == Stop::too_many_nodes) {
    std::fputs("Too many nodes\n", stderr);
  } else if (loader.stop == Stop::out_of_memory || error == XML_ERROR_NO_MEMORY) {
    std::fputs("Not enough memory\n", stderr);
  } else {
    const char* reason = XML_ErrorString(error);
    std::fprintf(stderr, "Parse error at line %lu:\n%s\n",
                 static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)),
                 reason ? reason : "");
  }
  return false;
}

// Hands Expat one more block of the caller's; false, with the message, when
// the parse fails.
bool parse_block(XML_Parser parser, const char* bytes, std::size_t size, bool final) {
  return XML_Parse(parser, bytes, static_cast<int>(size), final) != XML_STATUS_ERROR ||
         parse_failed(parser);
}

// The block reader: the file is never held whole.
// Each block is read straight into Expat's own buffer: no copy of it.
bool feed(XML_Parser parser, std::FILE* file) {
  for (;;) {
    void* const block = XML_GetBuffer(parser, static_cast<int>(read_block_bytes));
    if (block == nullptr) return parse_failed(parser);
    const std::size_t got = std::fread(block, 1, read_block_bytes, file);
    if (std::ferror(file)) {
      std::fputs("Read error\n", stderr);
      return false;
    }
    const bool final = std::feof(file) != 0;
    if (XML_ParseBuffer(parser, static_cast<int>(got), final) == XML_STATUS_ERROR) {
      return parse_failed(parser);
    }
    if (final) return true;
  }
}

// A text in memory, in blocks Expat's int lengths can count.
bool feed_text(XML_Parser parser, std::string_view text) {
  constexpr std::size_t most = std::size_t{1} << 30;
  do {
    const std::size_t size = std::min(text.size(), most);
    if (!parse_block(parser, text.data(), size, size == text.size())) return false;
    text.remove_prefix(size);
  } while (!text.empty());
  return true;
}

void keep_leading_comments();

// Runs one parse with the handler, the document coming from `feed_with`;
// false at once for a null handler or from inside a handler.
template <typename Feed> bool parse_with(EventHandler handler, Feed&& feed_with) {
  if (loader.running || handler == nullptr) return false;
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    std::fputs("Not enough memory for parser\n", stderr);
    return false;
  }
  loader.running = true;
  loader.parser = parser;
  ParseGuard guard(parser);
  XML_SetElementHandler(parser, on_start, on_end);
  XML_SetCharacterDataHandler(parser, on_text);
  XML_SetCommentHandler(parser, on_comment);
  const bool parsed = feed_with(parser);
  if (!parsed) keep_leading_comments();
  return parsed;
}

// The builder's steps.

Dom& builder_dom() {
  if (loader.bound == nullptr) {
    loader.own = std::make_unique<Dom>();
    loader.bound = loader.own.get();
  }
  return *loader.bound;
}

// After the cursor node, which has siblings after it (a load next to a node
// inside a chain): the node goes in between instead of cutting the chain.
int insert_next(Dom& dom, Node node) {
  Dom single;
  single.add_child(std::move(node));
  return dom.insert_copy_after(single, 1);
}

// Whether what comes now belongs below the cursor node: it is the element
// started last and holds nothing yet, or it is the root.
bool goes_below(const Dom& dom) {
  const LoaderState& s = loader.state;
  return (s.depth > s.previous_depth || dom.cursor() == 0) && !loader.below;
}

// The comments met before the top element, as its first children.
void put_leading_comments(Dom& dom) {
  for (std::string& comment : loader.leading) {
    if (loader.below) {
      dom.add_comment_next(Text(std::move(comment)));
    } else {
      dom.add_comment_child(Text(std::move(comment)));
      loader.below = true;
    }
  }
  loader.leading.clear();
}

void build_start(Dom& dom) {
  // Text before a child is its parent's: given now, not lost.
  if (!loader.pending.empty() && loader.element != 0 && !loader.settled) {
    dom.set_data_at(loader.element, loader.pending);
  }
  if (loader.pending.capacity() > pending_keep_bytes) std::string().swap(loader.pending);
  loader.pending.clear();
  loader.settled = false;

  Element& element = loader.built;
  element.reset(loader.state.name);
  for (const char* const* at = loader.state.attributes; at && at[0] && at[1]; at += 2) {
    element.append_attribute(at[0], at[1]);
  }
  if (goes_below(dom)) {
    loader.element = dom.add_element_child(element);
  } else {
    loader.element = dom.current_next() == 0 ? dom.add_element_next(element)
                                             : insert_next(dom, Node(element));
  }
  loader.below = false;
  if (loader.top == 0) {
    loader.top = loader.element;
    put_leading_comments(dom);
  }
}

void build_end(Dom& dom) {
  // Text the element was given at an earlier end (its parent's end comes
  // next) is not set again: that would only copy it again.
  const std::string& pending = loader.pending;
  if (!pending.empty() && loader.element != 0 && !loader.settled) {
    dom.set_data_at(loader.element, pending);
    loader.settled = true;
  }
  LoaderState& s = loader.state;
  // An element that holds only comments ends with the cursor below it;
  // one with child elements, on the last of them.
  if (loader.below || s.depth < s.previous_depth) dom.up();
  loader.below = false;
  s.previous_depth = s.depth;
}

void build_text() {
  std::string& pending = loader.pending;
  if (pending.capacity() < pending_start_bytes) pending.reserve(pending_start_bytes);
  if (!pending.empty()) pending += '\n';
  pending.append(loader.state.text);
  loader.settled = false;
}

// A comment after the top element's end: its last child, so that a stored
// document still has one top element. The cursor goes back to the top
// element, where a finished load leaves it.
void put_trailing_comment(Dom& dom, Text text) {
  if (loader.after_top == 0) {
    int last = dom.node(loader.top).child();
    while (last != 0 && dom.node(last).next() != 0) last = dom.node(last).next();
    dom.set_cursor(last != 0 ? last : loader.top);
    loader.after_top = last != 0 ? dom.add_comment_next(std::move(text))
                                 : dom.add_comment_child(std::move(text));
  } else {
    dom.set_cursor(loader.after_top);
    loader.after_top = dom.add_comment_next(std::move(text));
  }
  dom.set_cursor(loader.top);
}

// A comment inside an element: below the element started last while it
// holds nothing yet, else after the cursor node.
void put_comment(Dom& dom, Text text) {
  if (goes_below(dom)) {
    dom.add_comment_child(std::move(text));
    loader.below = true;
  } else if (dom.current_next() == 0) {
    dom.add_comment_next(std::move(text));
  } else {
    insert_next(dom, Node(std::move(text)));
  }
}

void build_comment(Dom& dom) {
  const std::string_view comment = loader.state.comment;
  std::string wrapped;
  wrapped.reserve(comment_open.size() + comment.size() + comment_close.size());
  wrapped.append(comment_open).append(comment).append(comment_close);
  if (loader.state.depth == 0) {
    // Around the top element: inside it, as its first or last children.
    if (loader.top == 0) {
      loader.leading.push_back(std::move(wrapped));
    } else {
      put_trailing_comment(dom, Text(std::move(wrapped)));
    }
    return;
  }
  put_comment(dom, Text(std::move(wrapped)));
}

// A parse that failed before the top element started keeps the comments
// met so far, placed as any other comment; they are not lost with it.
void keep_leading_comments() {
  if (!loader.direct || loader.top != 0 || loader.leading.empty()) return;
  try {
    Dom& dom = builder_dom();
    for (std::string& comment : loader.leading) put_comment(dom, Text(std::move(comment)));
  } catch (const std::bad_alloc&) {
    // Out of room: the parse has failed and said why already.
  } catch (const std::length_error&) {
  }
  loader.leading.clear();
}

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void print_indent(int levels) {
  for (int i = 0; i < levels; ++i) write_out("  ");
}

}  // namespace

const LoaderState& loader_state() { return loader.state; }

Dom* bound_dom() { return loader.bound; }

bool parse_file(EventHandler handler, const Text& path) {
  return parse_with(handler, [&](XML_Parser parser) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
      std::fputs("File not found\n", stdout);
      return false;
    }
    start_clean(handler);
    const bool parsed = feed(parser, file);
    std::fclose(file);
    return parsed;
  });
}

bool parse_text(EventHandler handler, std::string_view text) {
  return parse_with(handler, [&](XML_Parser parser) {
    start_clean(handler);
    return feed_text(parser, text);
  });
}

int with_dom(Dom& dom, const std::function<int(int)>& function, int argument) {
  if (!function) return 0;
  Dom* const before = loader.bound;
  loader.bound = &dom;
  const int result = function(argument);
  loader.bound = before;
  return result;
}

bool load_xml(Dom& dom, const Text& path) {
  return with_dom(dom, [&path](int) { return parse_file(build_handler, path) ? 1 : 0; }, 0) != 0;
}

bool load_xml_text(Dom& dom, std::string_view text) {
  return with_dom(dom, [text](int) { return parse_text(build_handler, text) ? 1 : 0; }, 0) != 0;
}

void build_handler(int event) {
  Dom& dom = builder_dom();
  switch (event) {
    case event_start: build_start(dom); break;
    case event_end: build_end(dom); break;
    case event_text: build_text(); break;
    case event_comment: build_comment(dom); break;
    default: break;
  }
}

void echo_handler(int event) {
  const LoaderState& s = loader.state;
  switch (event) {
    case event_start:
      print_indent(s.depth);
      write_out("<");
      write_out(s.name);
      for (const char* const* at = s.attributes; at && at[0] && at[1]; at += 2) {
        write_out(" ");
        write_out(at[0]);
        write_out("='");
        write_out(at[1]);
        write_out("'");
      }
      write_out(" >\n");
      break;
    case event_end:
      print_indent(s.depth);
      write_out("</");
      write_out(s.name);
      write_out(">\n");
      break;
    case event_text:
      write_out(s.text);
      write_out("\n");
      break;
    case event_comment:
      print_indent(s.depth - 1);
      write_out(s.comment);
      write_out("\n");
      break;
    default: break;
  }
}

Lookup& lookup_request() { return lookup; }

void lookup_handler(int event) {
  if (lookup.found) return;
  const LoaderState& s = loader.state;
  if (event == event_start) {
    if (!lookup.attribute) return;
    if (lookup.element_filter && !same_nocase(lookup.element_filter->view(), s.name)) return;
    for (const char* const* at = s.attributes; at && at[0] && at[1]; at += 2) {
      if (same_nocase(at[0], lookup.attribute->view())) {
        lookup.result = Text(at[1]);
        lookup.found = true;
        return;
      }
    }
  } else if (event == event_text) {
    if (lookup.attribute || !lookup.element_filter) return;
    write_out(lookup.element_filter->view());
    write_out(" = ");
    write_out(s.name);
    write_out("\n");
    if (same_nocase(lookup.element_filter->view(), s.name)) {
      lookup.result = Text(s.text);
      lookup.found = true;
    }
  }
}

}  // namespace kit
