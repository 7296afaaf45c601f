// SPDX-License-Identifier: MIT
/// @file
/// The element tree: a Dom owns a table of Node records addressed by index.
///
/// Index 0 is the root (an element named "document") and also stands for "no
/// node"; links between nodes are indexes. Building and navigation work at a
/// cursor; navigation reports its outcome in the found flag instead of a
/// result. Nodes are only ever appended, never moved: a reference to a node or
/// to its payload stays valid until the Dom is reset or destroyed.
///
/// Nothing here fails loudly: a missing link is index 0, a missing attribute or
/// line is the empty text, and asking the wrong kind of node for a payload
/// gives an empty payload of the kind asked for.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/text.h"
#include "tree/detail/payloads.h"

namespace kit {

namespace detail {
class NodeTable;
}

/// One name and value pair, as handed to an element.
struct Attribute {
  Text name;   ///< the attribute's name
  Text value;  ///< its value
};

/// A look at one stored attribute; valid until its element changes.
struct AttributeView {
  std::string_view name;   ///< the stored name
  std::string_view value;  ///< the stored value
};

/// A tag name, an ordered list of attributes and a data text.
///
/// Attribute names may repeat; lookups by name ignore case and take the first
/// match. The attribute cursor walks the attributes in order. A change that
/// would take the element past max_element_bytes is ignored.
class Element {
public:
  /// The bytes of name, data and attributes together, length marks included.
  static constexpr std::size_t max_element_bytes = UINT32_MAX;

  Element();                                   ///< no name, no attributes, no data
  /// Named, with no attributes and no data; unnamed for a name past
  /// max_element_bytes.
  explicit Element(const Text& name);
  Element(const Element& other);               ///< same content; a fresh attribute cursor
  Element& operator=(const Element& other);    ///< as the copy constructor
  Element(Element&& other) noexcept;           ///< other is left an empty element
  Element& operator=(Element&& other) noexcept;  ///< as the move constructor

  Text name() const;                           ///< "" when the element has none
  void set_name(const Text& name);             ///< attributes and data kept
  Text data() const;                           ///< "" when the element has none
  void set_data(const Text& data);             ///< "" for none
  std::string_view name_view() const;          ///< valid until the element changes
  std::string_view data_view() const;          ///< empty for none; valid until the element changes

  /// The attributes held, each repeated name counted.
  int attribute_count() const { return static_cast<int>(block_.count()); }
  void set_attribute(const Text& name, const Text& value);  ///< appends; no check for a twin
  void add_attribute(const Attribute& attribute);           ///< the same, from a pair
  void append_attribute(std::string_view name, std::string_view value);  ///< the same, from views
  /// The value of the first attribute whose name matches with ASCII case
  /// ignored, valid until the element changes; none when no attribute does.
  std::optional<std::string_view> find_attribute(std::string_view name) const;
  /// Whether an attribute has that name, ASCII case ignored.
  bool has_attribute(const Text& name) const { return find_attribute(name.view()).has_value(); }
  /// The first match's value; "" when absent.
  Text get_attribute(const Text& name) const { return Text(find_attribute(name.view()).value_or("")); }
  /// Every attribute of that name (case ignored) gets the value; none is added.
  void set_attribute_value(const Text& name, const Text& value);
  /// Data replaced by the other's, the other's attributes appended; name kept.
  void merge_from(const Element& other);

  /// Calls visit(AttributeView) for every attribute in order.
  template <typename Visit> void each_attribute(Visit&& visit) const {
    std::size_t at = attributes_start();
    for (std::uint32_t left = block_.count(); left != 0; --left) visit(attribute_at(at));
  }

  // The attribute cursor: 0 and not valid at creation.
  void reset_attribute_cursor();               ///< to the first attribute; valid
  /// To the next attribute and valid; past the last it stays and turns invalid.
  void advance_attribute_cursor();
  /// False at creation; then as the last reset or advance left it.
  bool attribute_cursor_valid() const { return block_.valid(); }
  Text cursor_attribute_name() const;          ///< "" when no attribute is at the cursor
  Text cursor_attribute_value() const;         ///< "" when no attribute is at the cursor

  /// Room for that many bytes of content in all, so that the attributes set
  /// next need no new allocation; nothing for a size past max_element_bytes.
  void reserve(std::size_t bytes);
  /// Named anew, with no data and no attributes; the room is kept, so that
  /// one element can build many. Nothing for a name past max_element_bytes.
  void reset(std::string_view name);

private:
  friend class detail::NodeTable;
  std::size_t attributes_start() const;
  AttributeView attribute_at(std::size_t& at) const;  ///< reads one and steps past it
  std::size_t spelt_size() const;              ///< the bytes with every word written out
  /// An own block with room for `needed` bytes, holding what the element
  /// holds, words written out; offsets into the bytes taken before change.
  void make_own(std::size_t needed);
  void replace_segment(std::size_t at, std::string_view bytes);  ///< the element's own
  void replace_data(std::string_view data);
  std::size_t cursor() const;                  ///< byte offset of the cursor attribute
  bool attribute_at_cursor() const;
  void set_cursor(std::size_t at);

  /// A change that would take the element past max_element_bytes is ignored.
  detail::ElementBlock block_;
};

/// A block of verbatim lines, each with the indentation level it was added at.
class ScriptBlock {
public:
  /// One line and the indentation level it was added at.
  struct Line {
    Text text;      ///< the line as added
    int level = 0;  ///< the block's level when it was added
  };

  void add_line(const Text& line);             ///< kept as it is, at the current level
  /// Appends every line of the file, line feeds kept, at most 65535 bytes a
  /// read; false (and nothing added) when the file cannot be opened.
  bool read_file(const Text& path);
  void set_level(int level) { level_ = level; }  ///< for the lines added from now on
  int level() const { return level_; }         ///< the level for the lines added next; 0 at first

  void rewind() { cursor_ = 0; }               ///< the cursor back to the first line
  void skip_to_end() { cursor_ = line_count(); }  ///< as if every line had been read
  bool has_more() const { return cursor_ < line_count(); }  ///< a line is left at the cursor
  Text next_line();                            ///< "" (cursor kept) when none is left
  int level_at_cursor() const;                 ///< 0 when no line is at the cursor
  /// The lines held, read or not.
  int line_count() const { return static_cast<int>(lines_.size()); }
  const std::vector<Line>& lines() const { return lines_; }  ///< every line held, in order

private:
  std::vector<Line> lines_;
  int cursor_ = 0;
  int level_ = 0;
};

/// The kinds of node, by the payload each one carries.
enum class NodeKind : int { element = 0, script = 1, comment = 2 };

/// One entry of a Dom's table: a payload and its links (0 means none).
class Node {
public:
  Node();                                      ///< an element node, empty element
  explicit Node(Element element);              ///< an element node holding the element
  explicit Node(ScriptBlock script);           ///< a script node holding the block
  explicit Node(Text comment);                 ///< a comment node holding the text
  Node(const Node& other);                     ///< same kind and links; the payload copied deep
  Node& operator=(const Node& other);          ///< as the copy constructor
  Node(Node&& other) noexcept;                 ///< same kind and links; other stays a valid node
  Node& operator=(Node&& other) noexcept;      ///< as the move constructor
  ~Node();

  NodeKind kind() const { return static_cast<NodeKind>(kind_); }  ///< the payload carried
  bool is_element() const { return kind() == NodeKind::element; }  ///< kind() is element
  bool is_script() const { return kind() == NodeKind::script; }    ///< kind() is script
  bool is_comment() const { return kind() == NodeKind::comment; }  ///< kind() is comment

  int next() const { return next_; }           ///< next sibling
  int child() const { return child_; }         ///< first child
  int parent() const { return parent_; }       ///< parent (0, the root, for top-level nodes)
  /// The last child as recorded by add_next below this node; 0 while none was.
  int last() const { return static_cast<int>(last_); }

  /// The element of an element node; an empty element for other kinds.
  const Element& element() const { return is_element() ? element_ : empty_element(); }
  const ScriptBlock& script() const;           ///< a script node's block; empty for other kinds
  const Text& comment() const;                 ///< a comment node's text; "" for other kinds

private:
  friend class Dom;
  friend class detail::NodeTable;
  /// Holds that payload of that kind instead of its own.
  void hold(detail::ExtraHandle extra, NodeKind kind) noexcept;
  static const Element& empty_element();
  Element* element_payload() { return is_element() ? &element_ : nullptr; }
  ScriptBlock* script_payload();
  Text* comment_payload();
  void take_payload(Node& other) noexcept;
  void drop_payload() noexcept;

  std::int32_t next_ = 0;
  std::int32_t child_ = 0;
  std::int32_t parent_ = 0;
  /// The kind shares a word with the last link, so that a node takes 24 bytes.
  std::uint32_t last_ : 30;
  std::uint32_t kind_ : 2;
  union {
    Element element_;                          ///< in element nodes
    detail::ExtraHandle extra_;                ///< in script and comment nodes
  };
};

/// The writers' state, kept in the Dom between writes (see tree/writer.h).
struct Output {
  std::FILE* file = nullptr;                   ///< the open target while a store runs
  bool to_file = false;                        ///< false: standard output
  bool failed = false;                         ///< a write to the file failed
  /// A write of XML put U+FFFD for characters XML cannot hold (see
  /// tree/writer.h); each store starts it anew.
  bool replaced_unfit = false;
  /// The format of the write running or last run (see tree/writer.h).
  int format_code = 0;
  int level = 0;                               ///< current indentation level
};

/// One tree. Copies are deep and share nothing with their source.
///
/// Building: add_next, add_child and their forms for an element, a script
/// block, a script file or a comment each add one node, move the cursor onto
/// it and return its index. Links carried by the given node are ignored. A
/// Dom holding max_nodes nodes throws std::length_error instead.
///
/// Copying: copy_chain_as_next, copy_chain_as_child, insert_copy_after,
/// insert_copy_as_first_child and append_copy_below_first_element copy from
/// any Dom, this one included. A chain is the source node, its following
/// siblings and all their descendants. Each returns the index of the first
/// copy (0 and nothing done for a bad source index) and leaves the cursor on
/// the last node copied.
class Dom {
public:
  Dom();                                       ///< the root alone
  explicit Dom(const Text& name);              ///< the same, named
  Dom(const Dom& other);                       ///< cursor, flags and output state copied too
  Dom& operator=(const Dom& other);            ///< as the copy constructor
  Dom(Dom&& other);                            ///< leaves other holding its root alone
  Dom& operator=(Dom&& other);                 ///< as the move constructor
  ~Dom();

  /// A node's last link has 30 bits: a tree holds at most this many nodes.
  static constexpr int max_nodes = 1 << 30;

  // Life cycle.
  /// Reset when holding more than the root, then a copy of the other's
  /// top-level chain below the root; nothing when other is this Dom.
  void copy_from(const Dom& other);
  /// Releases every node and header line and makes a new root; the output
  /// state and the full-close flag are kept.
  void reset();
  int node_count() const;                      ///< in the table, the root and unlinked ones included
  bool is_empty() const { return node_count() < 2; }  ///< the root alone
  bool is_first_child(int index) const;        ///< false for the root and bad indexes
  const Text& name() const { return name_; }   ///< as constructed; "" for Dom()
  bool found() const { return found_; }        ///< outcome of the last navigation step
  void set_found(bool found) { found_ = found; }  ///< for searches that move the cursor
  /// The node at that index; the root for an index outside the table.
  const Node& node(int index) const;

  // Building (see the class comment).
  /// After the cursor node, which should end its chain: a former next link is
  /// overwritten. On the root this makes a sibling of the root.
  int add_next(Node node);
  /// Below the cursor node, ahead of its children (which follow the new node).
  int add_child(Node node);
  /// A copy of the element; the caller may go on using it to build the next one.
  int add_element_next(const Element& element);
  int add_element_child(const Element& element);  ///< the same, below the cursor node
  int add_element_next_at(int index, const Element& element);   ///< cursor to index first
  int add_element_child_at(int index, const Element& element);  ///< cursor to index first
  /// A script node holding the block, after the cursor node.
  int add_script_next(ScriptBlock script) { return add_next(Node(std::move(script))); }
  /// The same, below the cursor node.
  int add_script_child(ScriptBlock script) { return add_child(Node(std::move(script))); }
  int add_script_file_next(const Text& path);  ///< an empty block when the file will not open
  int add_script_file_child(const Text& path);  ///< the same, below the cursor node
  int add_comment_next(Text comment);          ///< a comment node, after the cursor node
  int add_comment_child(Text comment);         ///< the same, below the cursor node
  /// When the cursor node is a script node, appends the line to it.
  void add_line_to_current_script(const Text& line);

  // Copying (see the class comment).
  /// The chain after the cursor node, which should end its chain, as for add_next.
  int copy_chain_as_next(const Dom& source, int index);
  /// The chain goes ahead of the cursor node's children, which follow it.
  int copy_chain_as_child(const Dom& source, int index);
  /// One node with its descendants, between the cursor node and its next
  /// sibling; the cursor ends on the copy.
  int insert_copy_after(const Dom& source, int index);
  /// One node with its descendants, ahead of the cursor node's children; the
  /// cursor ends on the copy.
  int insert_copy_as_first_child(const Dom& source, int index);
  /// The chain after the last child of the root's first child (as its
  /// children when it has none); 0 and nothing done when the root has no child.
  int append_copy_below_first_element(const Dom& source, int index);

  /// The cursor node.
  const Node& current_node() const;
  bool is_element() const { return current_node().is_element(); }  ///< the cursor node is an element
  bool is_script() const { return current_node().is_script(); }    ///< the cursor node is a script
  bool is_comment() const { return current_node().is_comment(); }  ///< the cursor node is a comment
  /// The cursor node's next sibling; 0 when none.
  int current_next() const { return current_node().next(); }
  /// The cursor node's first child; 0 when none.
  int current_child() const { return current_node().child(); }
  /// A deep copy of the cursor node with its links cleared, in no table.
  Node copy_of_current() const;

  /// The cursor node's element, to read or change. When the node is of
  /// another kind: a fresh empty element that belongs to no node. Every
  /// operation on the cursor element makes it the current payload.
  Element& current_element();
  ScriptBlock& current_script();                          ///< the same for a script node's block
  Text& current_comment();                                ///< the same for a comment node's text
  Text current_name();                                    ///< "" for other kinds
  Text current_attribute(const Text& name);               ///< "" when absent
  /// Element::set_attribute_value on the cursor element; nothing for other kinds.
  void set_current_attribute_value(const Text& name, const Text& value);
  int add_current_attribute(const Text& name, const Text& value);  ///< count - 1; -1 for other kinds
  /// The same with the cursor moved to index first.
  int add_current_attribute_at(int index, const Text& name, const Text& value);
  Text current_data();                                    ///< "" for other kinds
  void set_current_data(const Text& data);                ///< nothing for other kinds
  /// The data of the element at that index, which becomes the current
  /// payload; the cursor stays. Nothing for a node of another kind or an
  /// index outside the table.
  void set_data_at(int index, std::string_view data);
  /// The element last taken from an element node (see next); the root's at first.
  Element& current_payload();

  // Cursor moves.
  int cursor() const { return cursor_; }       ///< the cursor node's index
  void set_cursor(int index);                  ///< outside the table: the root; found kept
  void root() { cursor_ = 0; }                 ///< to the root; found kept
  void first();                                ///< node 1 and found, or the root and not found
  /// To the parent; when the parent has a next sibling, on to the last node
  /// recorded at the parent's level, so that add_next appends there. Found
  /// only in that second case.
  void up();
  void down();                                 ///< to the first child; the root and not found without
  /// To the next sibling, found when there is one (the root and not found
  /// otherwise); the element left becomes the current payload. Not found on the root.
  void next();
  void previous();                             ///< to the previous sibling; stays and not found without
  void first_sibling();                        ///< found kept
  void last_sibling();                         ///< the parent's last link; found kept
  /// Detaches the cursor node from its parent's chain; it keeps its own links
  /// and its table entry, and the cursor stays on it.
  void unlink();

  // What the writers keep between writes.
  /// A line the writers put before the tree.
  void add_header_line(const Text& line) { header_lines_.push_back(line); }
  const std::vector<Text>& header_lines() const { return header_lines_; }  ///< in the order added
  bool full_close() const { return full_close_; }  ///< see set_full_close; false at first
  /// Every element then gets a closing line of its own, even an empty one.
  void set_full_close(bool on) { full_close_ = on; }
  /// See set_whole_document; false at first.
  bool whole_document() const { return whole_document_; }
  /// The writers then write one standalone document: in XML an XML
  /// declaration first, then the header lines and the root element holding
  /// the tree; in the light form the same without the declaration.
  void set_whole_document(bool on) { whole_document_ = on; }
  Output& output() { return output_; }         ///< the writers' state
  const Output& output() const { return output_; }  ///< the same, to read

private:
  Node& at(int index);
  const Node& at(int index) const;
  bool valid(int index) const { return index >= 0 && index < node_count(); }
  Element* cursor_element();
  /// Link the last node of the table after the cursor node and move the cursor there.
  int link_next();
  int link_child();                            ///< the same, below the cursor node
  int copy_nodes(const Dom& source, int index, bool as_child, bool whole_chain);

  std::vector<Text> header_lines_;
  Output output_;
  bool full_close_ = false;
  bool whole_document_ = false;
  bool found_ = true;
  /// Some node left its parent's chain (unlinked, or cut off by an add_next):
  /// a last link recorded from it may then lie outside the chain.
  bool chains_cut_ = false;
  Text name_;
  int payload_ = 0;                            ///< the node whose element is the current payload
  int cursor_ = 0;
  /// Behind a pointer, so that this header shows the tree, not its storage.
  std::unique_ptr<detail::NodeTable> nodes_;
  Element spare_element_;
  ScriptBlock spare_script_;
  Text spare_comment_;
};

}  // namespace kit
