#include "tree/dom.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace kit {

// Large trees hold millions of nodes: a node stays within 32 bytes.
static_assert(sizeof(Node) <= 32, "Node grew");

Node::Node() : last_(0), kind_(static_cast<unsigned>(NodeKind::element)) {
  new (&element_) Element();
}

Node::Node(Element element) : last_(0), kind_(static_cast<unsigned>(NodeKind::element)) {
  new (&element_) Element(std::move(element));
}

Node::Node(ScriptBlock script) : last_(0), kind_(static_cast<unsigned>(NodeKind::script)) {
  new (&other_) OtherPointer(new Other{Text(), std::make_unique<ScriptBlock>(std::move(script))});
}

Node::Node(Text comment) : last_(0), kind_(static_cast<unsigned>(NodeKind::comment)) {
  new (&other_) OtherPointer(new Other{std::move(comment), nullptr});
}

Node::Node(const Node& other)
    : next_(other.next_),
      child_(other.child_),
      parent_(other.parent_),
      last_(other.last_),
      kind_(other.kind_) {
  if (other.is_element()) {
    new (&element_) Element(other.element_);
  } else {
    new (&other_) OtherPointer(new Other(other.other_->copy()));
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
  if (other.other_->in_table) {
    // A payload in a table's chunks lives only as long as that table.
    new (&other_) OtherPointer(new Other(other.other_->copy()));
    return;
  }
  new (&other_) OtherPointer(std::move(other.other_));
  other.other_.~OtherPointer();
  other.kind_ = static_cast<unsigned>(NodeKind::element);
  new (&other.element_) Element();
}

void Node::drop_payload() noexcept {
  if (is_element()) {
    element_.~Element();
  } else {
    other_.~OtherPointer();
  }
}

void Node::hold(OtherPointer other, NodeKind kind) noexcept {
  drop_payload();
  new (&other_) OtherPointer(std::move(other));
  kind_ = static_cast<unsigned>(kind);
}

Node::Other Node::Other::copy() const {
  return Other{comment, script ? std::make_unique<ScriptBlock>(*script) : nullptr};
}

void Node::OtherRelease::operator()(Other* other) const noexcept {
  if (other->in_table) {
    other->~Other();
  } else {
    delete other;
  }
}

const Element& Node::empty_element() {
  static const Element empty;
  return empty;
}

const ScriptBlock& Node::script() const {
  static const ScriptBlock empty;
  return is_script() ? *other_->script : empty;
}

const Text& Node::comment() const {
  static const Text empty;
  return is_comment() ? other_->comment : empty;
}

ScriptBlock* Node::script_payload() { return is_script() ? other_->script.get() : nullptr; }

Text* Node::comment_payload() { return is_comment() ? &other_->comment : nullptr; }

NodeTable::NodeTable(const NodeTable& other) {
  for (int index = 0; index < other.size_; ++index) push_back(Node(other[index]));
}

NodeTable& NodeTable::operator=(const NodeTable& other) {
  if (this != &other) *this = NodeTable(other);
  return *this;
}

NodeTable& NodeTable::operator=(NodeTable&& other) noexcept {
  if (this != &other) {
    // The nodes go before the chunks their elements borrow from.
    blocks_ = std::move(other.blocks_);
    chunks_ = std::move(other.chunks_);
    free_ = std::exchange(other.free_, nullptr);
    left_ = std::exchange(other.left_, 0);
    next_chunk_bytes_ = std::exchange(other.next_chunk_bytes_, first_chunk_bytes);
    size_ = std::exchange(other.size_, 0);
    other.blocks_.clear();
    other.chunks_.clear();
  }
  return *this;
}

std::size_t NodeTable::capacity(std::size_t block) {
  if (block == 0) return std::size_t{1} << first_shift;
  if (block < doubling_blocks) return std::size_t{1} << (block + first_shift - 1);
  return slab_nodes;
}

void* NodeTable::slab_allocate(std::size_t bytes) {
  if (bytes < slab_bytes / 2) return ::operator new(bytes);
  // Mapped afresh rather than taken from the heap, which may hand back
  // trimmed memory in small pages: one aligned run, its ends unmapped.
  const std::size_t size = slab_size(bytes);
  void* const mapped =
      ::mmap(nullptr, size + slab_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
             -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  char* const start = static_cast<char*>(mapped);
  const std::size_t misalign = reinterpret_cast<std::uintptr_t>(start) % slab_bytes;
  const std::size_t head = misalign == 0 ? 0 : slab_bytes - misalign;
  if (head != 0) ::munmap(start, head);
  ::munmap(start + head + size, slab_bytes - head);
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the memory works the same.
  ::madvise(start + head, size, MADV_HUGEPAGE);
#endif
  return start + head;
}

void NodeTable::slab_release(void* memory, std::size_t bytes) noexcept {
  if (bytes < slab_bytes / 2) {
    ::operator delete(memory);
  } else {
    ::munmap(memory, slab_size(bytes));
  }
}

std::size_t NodeTable::slab_size(std::size_t bytes) {
  return (bytes + slab_bytes - 1) & ~(slab_bytes - 1);
}

void NodeTable::push_back(Node&& node) {
  Node& placed = emplace();
  placed = std::move(node);
  if (placed.is_element()) pack(placed.element_);
}

void NodeTable::push_back(const Element& element) {
  Element& placed = emplace().element_;
  placed.borrow(take(element.size_ + std::size_t{1}), element);
}

void NodeTable::push_back(Text&& comment) {
  Node& placed = emplace();
  Node::Other* other =
      new (take_aligned(sizeof(Node::Other))) Node::Other{std::move(comment), nullptr, true};
  placed.hold(Node::OtherPointer(other), NodeKind::comment);
}

void NodeTable::set_data(Element& element, std::string_view data) {
  // Only the bytes taken last can be rewritten where they lie: elsewhere the
  // old bytes would stay behind in the chunks at every change, so the
  // element takes a block of its own as any changed element does.
  const std::size_t size = element.size_with_data(data) + 1;  // the kind byte in front
  const std::size_t old_size = element.size_ + std::size_t{1};
  char* const block = element.bytes_.get() - 1;
  const bool in_place = !element.owns_bytes() && block + old_size == free_ &&
                        size <= left_ + old_size && size <= next_chunk_bytes_ / 4 &&
                        size - 1 <= Element::max_element_bytes;
  if (!in_place) {
    element.replace_data(data);
    return;
  }
  const char* const bytes = element.bytes_.get();
  if (!data.empty() && data.data() < bytes + element.size_ && data.data() + data.size() > bytes) {
    set_data(element, std::string(data));  // the element's own bytes are about to move
    return;
  }
  free_ = block;
  left_ += old_size;
  element.rebuild_with_data(take(size), data);
}

Node& NodeTable::emplace() {
  if (size_ == max_nodes) throw std::length_error("a tree holds at most 2^30 nodes");
  const std::size_t block = locate(static_cast<unsigned>(size_)).first;
  if (block == blocks_.size()) {
    blocks_.emplace_back();
    blocks_.back().reserve(capacity(block));
  }
  blocks_[block].emplace_back();
  ++size_;
  return blocks_[block].back();
}

char* NodeTable::take(std::size_t bytes) {
  if (bytes > next_chunk_bytes_ / 4) {
    // A large element gets a chunk of its own; the current one stays in use.
    chunks_.emplace_back(static_cast<char*>(slab_allocate(bytes)), SlabRelease{bytes});
    return chunks_.back().get();
  }
  if (bytes > left_) {
    const std::size_t size = next_chunk_bytes_;
    chunks_.emplace_back(static_cast<char*>(slab_allocate(size)), SlabRelease{size});
    free_ = chunks_.back().get();
    left_ = size;
    if (next_chunk_bytes_ < slab_bytes) next_chunk_bytes_ *= 2;
  }
  char* place = free_;
  free_ += bytes;
  left_ -= bytes;
  return place;
}

char* NodeTable::take_aligned(std::size_t bytes) {
  constexpr std::size_t align = alignof(std::max_align_t);
  const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(free_) % align) % align;
  if (pad + bytes <= left_) {
    free_ += pad;
    left_ -= pad;
  } else {
    left_ = 0;  // the rest of this chunk cannot hold it aligned; a fresh chunk is aligned
  }
  return take(bytes);
}

void NodeTable::pack(Element& element) {
  // A borrowed block keeps no cursor: an element whose cursor moved stays as it is.
  if (!element.owns_bytes() || element.cursor() != element.attributes_start()) return;
  element.borrow(take(element.size_ + std::size_t{1}), element);  // the kind byte in front
}

void NodeTable::clear() {
  // The nodes go before the chunks their elements borrow from.
  std::vector<Block>().swap(blocks_);
  std::vector<Chunk>().swap(chunks_);
  free_ = nullptr;
  left_ = 0;
  next_chunk_bytes_ = first_chunk_bytes;
  size_ = 0;
}

Dom::Dom() { reset(); }

Dom::Dom(const Text& name) : name_(name) { reset(); }

Dom::Dom(Dom&& other) { *this = std::move(other); }

Dom& Dom::operator=(Dom&& other) {
  if (this != &other) {
    header_lines_ = std::move(other.header_lines_);
    output_ = other.output_;
    full_close_ = other.full_close_;
    found_ = other.found_;
    name_ = std::move(other.name_);
    payload_ = other.payload_;
    cursor_ = other.cursor_;
    nodes_ = std::move(other.nodes_);
    other.reset();
  }
  return *this;
}

void Dom::reset() {
  std::vector<Text>().swap(header_lines_);
  nodes_.clear();
  nodes_.push_back(Node(Element("document")));
  cursor_ = 0;
  payload_ = 0;
  found_ = true;
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
  nodes_.push_back(std::move(node));
  return link_next();
}

int Dom::add_child(Node node) {
  nodes_.push_back(std::move(node));
  return link_child();
}

int Dom::add_element_next(const Element& element) {
  nodes_.push_back(element);
  return link_next();
}

int Dom::add_element_child(const Element& element) {
  nodes_.push_back(element);
  return link_child();
}

int Dom::add_comment_next(Text comment) {
  nodes_.push_back(std::move(comment));
  return link_next();
}

int Dom::add_comment_child(Text comment) {
  nodes_.push_back(std::move(comment));
  return link_child();
}

int Dom::link_next() {
  const int index = node_count() - 1;
  Node& node = at(index);
  Node& current = at(cursor_);
  const int parent = current.parent_;
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
  if (Element* element = cursor_element()) nodes_.set_data(*element, data.view());
}

void Dom::set_data_at(int index, std::string_view data) {
  if (!valid(index)) return;
  if (Element* element = at(index).element_payload()) {
    payload_ = index;
    nodes_.set_data(*element, data);
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
}

}  // namespace kit
