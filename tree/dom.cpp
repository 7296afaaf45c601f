// SPDX-License-Identifier: MIT
#include "tree/dom.h"

#include <memory>
#include <new>
#include <tuple>
#include <utility>

#include "tree/detail/node_table.h"

namespace kit {

using detail::Extra;
using detail::ExtraHandle;

Node::Node() : last_(0), kind_(static_cast<unsigned>(NodeKind::element)) {
  new (&element_) Element();
}

Node::Node(Element element) : last_(0), kind_(static_cast<unsigned>(NodeKind::element)) {
  new (&element_) Element(std::move(element));
}

Node::Node(ScriptBlock script) : last_(0), kind_(static_cast<unsigned>(NodeKind::script)) {
  new (&extra_) ExtraHandle(
      std::make_unique<Extra>(Extra{Text(), std::make_unique<ScriptBlock>(std::move(script))}));
}

Node::Node(Text comment) : last_(0), kind_(static_cast<unsigned>(NodeKind::comment)) {
  new (&extra_) ExtraHandle(std::make_unique<Extra>(Extra{std::move(comment), nullptr}));
}

namespace {

// A deep copy of a script or comment payload, on the heap.
std::unique_ptr<Extra> copy_of(const Extra& extra) {
  return std::make_unique<Extra>(
      Extra{extra.comment, extra.script ? std::make_unique<ScriptBlock>(*extra.script) : nullptr});
}

}  // namespace

Node::Node(const Node& other)
    : next_(other.next_),
      child_(other.child_),
      parent_(other.parent_),
      last_(other.last_),
      kind_(other.kind_) {
  if (other.is_element()) {
    new (&element_) Element(other.element_);
  } else {
    new (&extra_) ExtraHandle(copy_of(*other.extra_));
  }
}

Node& Node::operator=(const Node& other) {
  if (this != &other) *this = Node(other);
  return *this;
}

Node::Node(Node&& other) noexcept
    : next_(other.next_), child_(other.child_), parent_(other.parent_), last_(other.last_) {
  take_payload(other);
}

Node& Node::operator=(Node&& other) noexcept {
  if (this != &other) {
    drop_payload();
    next_ = other.next_;
    child_ = other.child_;
    parent_ = other.parent_;
    last_ = other.last_;
    take_payload(other);
  }
  return *this;
}

Node::~Node() { drop_payload(); }

void Node::take_payload(Node& other) noexcept {
  kind_ = other.kind_;
  if (other.is_element()) {
    new (&element_) Element(std::move(other.element_));
    return;
  }
  if (other.extra_.storage() == ExtraHandle::Storage::in_table) {
    // A payload in a table's chunks lives only as long as that table.
    new (&extra_) ExtraHandle(copy_of(*other.extra_));
    return;
  }
  new (&extra_) ExtraHandle(std::move(other.extra_));
  other.extra_.~ExtraHandle();
  other.kind_ = static_cast<unsigned>(NodeKind::element);
  new (&other.element_) Element();
}

void Node::drop_payload() noexcept {
  if (is_element()) {
    element_.~Element();
  } else {
    extra_.~ExtraHandle();
  }
}

void Node::hold(ExtraHandle extra, NodeKind kind) noexcept {
  drop_payload();
  new (&extra_) ExtraHandle(std::move(extra));
  kind_ = static_cast<unsigned>(kind);
}

const Element& Node::empty_element() {
  static const Element empty;
  return empty;
}

const ScriptBlock& Node::script() const {
  static const ScriptBlock empty;
  return is_script() ? *extra_->script : empty;
}

const Text& Node::comment() const {
  static const Text empty;
  return is_comment() ? extra_->comment : empty;
}

ScriptBlock* Node::script_payload() { return is_script() ? extra_->script.get() : nullptr; }

Text* Node::comment_payload() { return is_comment() ? &extra_->comment : nullptr; }

Dom::Dom() : nodes_(std::make_unique<detail::NodeTable>()) { reset(); }

Dom::Dom(const Text& name) : name_(name), nodes_(std::make_unique<detail::NodeTable>()) {
  reset();
}

Dom::Dom(const Dom& other)
    : header_lines_(other.header_lines_),
      output_(other.output_),
      full_close_(other.full_close_),
      whole_document_(other.whole_document_),
      found_(other.found_),
      chains_cut_(other.chains_cut_),
      name_(other.name_),
      payload_(other.payload_),
      cursor_(other.cursor_),
      nodes_(std::make_unique<detail::NodeTable>(*other.nodes_)) {}

Dom& Dom::operator=(const Dom& other) {
  if (this != &other) *this = Dom(other);
  return *this;
}

Dom::Dom(Dom&& other) : nodes_(std::make_unique<detail::NodeTable>()) { *this = std::move(other); }

Dom& Dom::operator=(Dom&& other) {
  if (this != &other) {
    header_lines_ = std::move(other.header_lines_);
    output_ = other.output_;
    full_close_ = other.full_close_;
    whole_document_ = other.whole_document_;
    found_ = other.found_;
    chains_cut_ = other.chains_cut_;
    name_ = std::move(other.name_);
    payload_ = other.payload_;
    cursor_ = other.cursor_;
    std::swap(nodes_, other.nodes_);
    other.reset();
  }
  return *this;
}

Dom::~Dom() = default;

int Dom::node_count() const { return nodes_->size(); }

const Node& Dom::node(int index) const { return valid(index) ? at(index) : at(0); }

const Node& Dom::current_node() const { return at(cursor_); }

Node& Dom::at(int index) { return (*nodes_)[index]; }

const Node& Dom::at(int index) const { return (*nodes_)[index]; }

void Dom::reset() {
  std::vector<Text>().swap(header_lines_);
  nodes_->clear();
  nodes_->push_back(Node(Element("document")));
  cursor_ = 0;
  payload_ = 0;
  found_ = true;
  chains_cut_ = false;
}

void Dom::copy_from(const Dom& other) {
  if (&other == this) return;
  if (node_count() > 1) reset();
  cursor_ = 0;
  const int first = other.at(0).child_;
  if (first != 0) copy_chain_as_child(other, first);
}

bool Dom::is_first_child(int index) const {
  return index > 0 && valid(index) && at(at(index).parent_).child_ == index;
}

int Dom::add_next(Node node) {
  nodes_->push_back(std::move(node));
  return link_next();
}

int Dom::add_child(Node node) {
  nodes_->push_back(std::move(node));
  return link_child();
}

int Dom::add_element_next(const Element& element) {
  nodes_->push_back(element);
  return link_next();
}

int Dom::add_element_child(const Element& element) {
  nodes_->push_back(element);
  return link_child();
}

int Dom::add_comment_next(Text comment) {
  nodes_->push_back(std::move(comment));
  return link_next();
}

int Dom::add_comment_child(Text comment) {
  nodes_->push_back(std::move(comment));
  return link_child();
}

int Dom::link_next() {
  const int index = node_count() - 1;
  Node& node = at(index);
  Node& current = at(cursor_);
  const int parent = current.parent_;
  if (current.next_ != 0) chains_cut_ = true;
  current.next_ = index;
  at(parent).last_ = index;
  node.next_ = node.child_ = node.last_ = 0;
  node.parent_ = parent;
  cursor_ = index;
  return index;
}

int Dom::link_child() {
  const int index = node_count() - 1;
  Node& node = at(index);
  Node& current = at(cursor_);
  node.next_ = current.child_;
  node.child_ = node.last_ = 0;
  node.parent_ = cursor_;
  current.child_ = index;
  cursor_ = index;
  return index;
}

int Dom::add_element_next_at(int index, const Element& element) {
  set_cursor(index);
  return add_element_next(element);
}

int Dom::add_element_child_at(int index, const Element& element) {
  set_cursor(index);
  return add_element_child(element);
}

int Dom::add_script_file_next(const Text& path) {
  ScriptBlock script;
  script.read_file(path);
  return add_script_next(std::move(script));
}

int Dom::add_script_file_child(const Text& path) {
  ScriptBlock script;
  script.read_file(path);
  return add_script_child(std::move(script));
}

void Dom::add_line_to_current_script(const Text& line) {
  if (auto* script = at(cursor_).script_payload()) script->add_line(line);
}

int Dom::copy_nodes(const Dom& source, int index, bool as_child, bool whole_chain) {
  if (!source.valid(index)) return 0;
  if (&source == this) {
    // The copy would change the links it walks: copy from a snapshot.
    Dom snapshot;
    snapshot.copy_nodes(*this, index, true, whole_chain);
    return copy_nodes(snapshot, 1, as_child, whole_chain);
  }
  const int target = cursor_;
  const int former_child = as_child ? at(target).child_ : 0;
  const int former_last = at(target).last_;

  // Each node passes by value: add_next and add_child clear the copied links.
  auto copy_of = [&source](int i) -> const Node& { return source.at(i); };
  int from = index;
  int copy = as_child ? add_child(copy_of(from)) : add_next(copy_of(from));
  const int first = copy;
  int top = copy;  // the last copy made on the first level
  // Source nodes whose following siblings are still to be copied, each with its copy.
  std::vector<std::pair<int, int>> pending;
  for (bool more = true; more;) {
    const int child = source.at(from).child_;
    if (child != 0) {
      pending.emplace_back(from, copy);
      from = child;
      copy = add_child(copy_of(from));
      continue;
    }
    for (;;) {
      const bool first_level = pending.empty();
      const int next = source.at(from).next_;
      if (next != 0 && (whole_chain || !first_level)) {
        cursor_ = copy;
        from = next;
        copy = add_next(copy_of(from));
        if (first_level) top = copy;
        break;
      }
      if (first_level) {
        more = false;
        break;
      }
      std::tie(from, copy) = pending.back();
      pending.pop_back();
    }
  }
  if (former_child != 0) {
    at(top).next_ = former_child;
    at(target).last_ = former_last;
  }
  return first;
}

int Dom::copy_chain_as_next(const Dom& source, int index) {
  return copy_nodes(source, index, false, true);
}

int Dom::copy_chain_as_child(const Dom& source, int index) {
  return copy_nodes(source, index, true, true);
}

int Dom::insert_copy_after(const Dom& source, int index) {
  if (!source.valid(index)) return 0;
  const int target = cursor_;
  const int former_next = at(target).next_;
  const int parent = at(target).parent_;
  const int former_last = at(parent).last_;
  const int copy = copy_nodes(source, index, false, false);
  if (former_next != 0) {
    at(copy).next_ = former_next;
    at(parent).last_ = former_last;
  }
  cursor_ = copy;
  return copy;
}

int Dom::insert_copy_as_first_child(const Dom& source, int index) {
  const int copy = copy_nodes(source, index, true, false);
  if (copy != 0) cursor_ = copy;
  return copy;
}

int Dom::append_copy_below_first_element(const Dom& source, int index) {
  const int first = at(0).child_;
  if (first == 0 || !source.valid(index)) return 0;
  int last = at(first).child_;
  if (last == 0) {
    cursor_ = first;
    return copy_chain_as_child(source, index);
  }
  // The walk starts at the last child recorded, which every append moves
  // on: appending many chains one at a time walks each child once. Once a
  // chain was cut that record may lie outside it, and the walk starts over.
  if (!chains_cut_ && at(first).last_ != 0) last = static_cast<int>(at(first).last_);
  while (at(last).next_ != 0) last = at(last).next_;
  cursor_ = last;
  return copy_chain_as_next(source, index);
}

Node Dom::copy_of_current() const {
  Node node = current_node();
  node.next_ = node.child_ = node.parent_ = node.last_ = 0;
  return node;
}

Element* Dom::cursor_element() {
  Element* element = at(cursor_).element_payload();
  if (element) payload_ = cursor_;
  return element;
}

Element& Dom::current_element() {
  if (Element* element = cursor_element()) return *element;
  spare_element_ = Element();
  return spare_element_;
}

ScriptBlock& Dom::current_script() {
  if (auto* script = at(cursor_).script_payload()) return *script;
  spare_script_ = ScriptBlock();
  return spare_script_;
}

Text& Dom::current_comment() {
  if (auto* comment = at(cursor_).comment_payload()) return *comment;
  spare_comment_ = Text();
  return spare_comment_;
}

Text Dom::current_name() {
  const Element* element = cursor_element();
  return element ? element->name() : Text();
}

Text Dom::current_attribute(const Text& name) {
  const Element* element = cursor_element();
  return element ? element->get_attribute(name) : Text();
}

void Dom::set_current_attribute_value(const Text& name, const Text& value) {
  if (Element* element = cursor_element()) element->set_attribute_value(name, value);
}

int Dom::add_current_attribute(const Text& name, const Text& value) {
  Element* element = cursor_element();
  if (element == nullptr) return -1;
  element->set_attribute(name, value);
  return element->attribute_count() - 1;
}

int Dom::add_current_attribute_at(int index, const Text& name, const Text& value) {
  set_cursor(index);
  return add_current_attribute(name, value);
}

Text Dom::current_data() {
  const Element* element = cursor_element();
  return element ? element->data() : Text();
}

void Dom::set_current_data(const Text& data) {
  if (Element* element = cursor_element()) nodes_->set_data(*element, data.view());
}

void Dom::set_data_at(int index, std::string_view data) {
  if (!valid(index)) return;
  if (Element* element = at(index).element_payload()) {
    payload_ = index;
    nodes_->set_data(*element, data);
  }
}

Element& Dom::current_payload() {
  if (Element* element = at(payload_).element_payload()) return *element;
  spare_element_ = Element();
  return spare_element_;
}

void Dom::set_cursor(int index) { cursor_ = valid(index) ? index : 0; }

void Dom::first() {
  found_ = node_count() > 1;
  cursor_ = found_ ? 1 : 0;
}

void Dom::up() {
  found_ = false;
  if (cursor_ == 0) return;
  cursor_ = at(cursor_).parent_;
  if (at(cursor_).next_ == 0) return;
  cursor_ = at(at(cursor_).parent_).last_;
  found_ = cursor_ != 0;
}

void Dom::down() {
  cursor_ = at(cursor_).child_;
  found_ = cursor_ != 0;
}

void Dom::next() {
  if (cursor_ == 0) {
    found_ = false;
    return;
  }
  if (at(cursor_).is_element()) payload_ = cursor_;
  cursor_ = at(cursor_).next_;
  found_ = cursor_ != 0;
}

void Dom::previous() {
  found_ = false;
  if (cursor_ == 0) return;
  int before = at(at(cursor_).parent_).child_;
  while (before != 0 && at(before).next_ != cursor_) before = at(before).next_;
  if (before == 0) return;
  cursor_ = before;
  found_ = true;
}

void Dom::first_sibling() { cursor_ = at(at(cursor_).parent_).child_; }

void Dom::last_sibling() { cursor_ = at(at(cursor_).parent_).last_; }

void Dom::unlink() {
  if (cursor_ == 0) return;
  Node& current = at(cursor_);
  Node& parent = at(current.parent_);
  int before = 0;
  if (parent.child_ == cursor_) {
    parent.child_ = current.next_;
  } else {
    before = parent.child_;
    while (before != 0 && at(before).next_ != cursor_) before = at(before).next_;
    if (before == 0) return;  // not in its parent's chain
    at(before).next_ = current.next_;
  }
  if (parent.last_ == cursor_) parent.last_ = before;
  chains_cut_ = true;
}

}  // namespace kit
