#include "core/xmldoc.h"

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <vector>

namespace sonaro::core {
namespace {

// pugixml would turn character references into UTF-8, which could not be told apart from the
// GBK bytes around them afterwards, so it leaves entities alone and Value() decodes them.
// Whitespace-only text is kept only where it is an element's whole content.
constexpr unsigned kParseOptions =
    (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_ws_pcdata_single;

// Decodes one reference that starts at text[0] == '&'. Returns the bytes consumed, or 0 when the
// text does not start with a reference this decoder knows (it is then kept as written).
size_t DecodeReference(std::string_view text, Text& out) {
  // The longest reference worth reading: "&#x" or "&#", leading zeros, up to "10FFFF", ";".
  constexpr size_t kLongest = 40;
  size_t semicolon = text.substr(0, kLongest).find(';');
  if (semicolon == std::string_view::npos) return 0;
  std::string_view name = text.substr(1, semicolon - 1);
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
  for (auto [entity, c] : kNamed) {
    if (name == entity) {
      out += c;
      return semicolon + 1;
    }
  }
  if (name.size() < 2 || name[0] != '#') return 0;
  bool hex = name[1] == 'x';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  char32_t code = 0;
  for (char c : digits) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = unsigned(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = unsigned(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = unsigned(c - 'A' + 10);
    } else {
      return 0;
    }
    code = code * (hex ? 16 : 10) + digit;
    if (code > 0x10FFFF) return 0;
  }
  Text gbk = GbkFromCodePoint(code);
  if (gbk.empty()) return 0;
  out += gbk;
  return semicolon + 1;
}

void AppendDecoded(std::string_view text, Text& out) {
  while (!text.empty()) {
    size_t amp = text.find('&');
    out.append(text.substr(0, amp));
    if (amp == std::string_view::npos) return;
    text.remove_prefix(amp);
    size_t used = DecodeReference(text, out);
    if (used == 0) {
      out += '&';
      used = 1;
    }
    text.remove_prefix(used);
  }
}

// All character data under element in document order. Iterative: documents may nest deeply.
void AppendContent(pugi::xml_node element, Text& out) {
  pugi::xml_node node = element.first_child();
  // The common case, a field holding just text.
  if (node && node.type() == pugi::node_pcdata && !node.next_sibling()) {
    std::string_view text = node.value();
    if (text.find('&') == std::string_view::npos) {
      out.assign(text);
    } else {
      AppendDecoded(text, out);
    }
    return;
  }
  while (node) {
    if (node.type() == pugi::node_pcdata) {
      AppendDecoded(node.value(), out);
    } else if (node.type() == pugi::node_cdata) {
      out += node.value();
    }
    if (node.type() == pugi::node_element && node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != element && !node.next_sibling()) node = node.parent();
    if (node == element) break;
    node = node.next_sibling();
  }
}

// Equality of short texts (path prefixes) without a library call for each.
inline bool Same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Whether the zero-terminated tag name is step, without measuring the name first.
inline bool NameIs(const char* name, std::string_view step) {
  for (char c : step) {
    if (c == '\0' || *name != c) return false;
    ++name;
  }
  return *name == '\0';
}

// The value of a positional step "@digits"; 0 when the step is not one (or says "@0").
size_t Position(std::string_view step) {
  if (step.size() < 2 || step[0] != '@') return 0;
  size_t n = 0;
  for (char c : step.substr(1)) {
    if (c < '0' || c > '9') return 0;
    // Anything beyond this is beyond any child count; keep it from wrapping.
    if (n < (size_t(1) << 48)) n = n * 10 + size_t(c - '0');
  }
  return n;
}

}  // namespace

struct XmlDoc::Impl {
  struct Child {
    pugi::xml_node node;
    const char* name;
  };
  using Children = std::vector<Child>;
  struct Recent {
    pugi::xml_node_struct* parent = nullptr;
    Children children;
  };
  // Parents with at least this many element children keep their index for as long as the
  // document lives, so that reading "@1/@n/..." for n = 1, 2, 3 ... costs one pass over the
  // root's children in all, not one per n.
  static constexpr size_t kKeptFrom = 32;
  static constexpr size_t kRecent = 8;

  pugi::xml_document document;
  pugi::xml_node root;
  std::unordered_map<pugi::xml_node_struct*, Children> kept;
  pugi::xml_node_struct* lastKept = nullptr;
  const Children* lastKeptChildren = nullptr;
  // Small parents (a feed record and its fields) indexed lately, so that reading a record's
  // fields one after another walks its children once. Their vectors are reused.
  Recent recent[kRecent];
  size_t nextRecent = 0;
  size_t lastRecent = 0;

  void Forget() {
    lastPrefixValid = false;
    lastPrefixNode = pugi::xml_node();
    kept.clear();
    lastKept = nullptr;
    lastKeptChildren = nullptr;
    for (Recent& r : recent) r.parent = nullptr;
  }

  const Children& ElementChildren(pugi::xml_node parent) {
    pugi::xml_node_struct* key = parent.internal_object();
    if (key == lastKept) return *lastKeptChildren;
    if (recent[lastRecent].parent == key) return recent[lastRecent].children;
    for (size_t i = 0; i < kRecent; ++i) {
      if (recent[i].parent == key) {
        lastRecent = i;
        return recent[i].children;
      }
    }
    if (auto it = kept.find(key); it != kept.end()) {
      lastKept = key;
      lastKeptChildren = &it->second;
      return it->second;
    }
    lastRecent = nextRecent;
    Recent& slot = recent[nextRecent];
    nextRecent = (nextRecent + 1) % kRecent;
    slot.parent = nullptr;
    slot.children.clear();
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_element) slot.children.push_back({c, c.name()});
    }
    if (slot.children.size() < kKeptFrom) {
      slot.parent = key;
      return slot.children;
    }
    Children& children = kept[key];
    children.swap(slot.children);
    lastKept = key;
    lastKeptChildren = &children;
    return children;
  }

  pugi::xml_node Step(pugi::xml_node parent, std::string_view step) {
    const Children& children = ElementChildren(parent);
    if (!step.empty() && step[0] == '@') {
      size_t n = Position(step);
      return n >= 1 && n <= children.size() ? children[n - 1].node : pugi::xml_node();
    }
    for (const Child& c : children) {
      if (NameIs(c.name, step)) return c.node;
    }
    return {};
  }

  // Every step of path selects a child; no empty steps.
  pugi::xml_node Resolve(std::string_view path) {
    size_t slash = path.find('/');
    std::string_view first = path.substr(0, slash);
    if (first != "@1" && Position(first) != 1 && first != root.name()) return {};
    pugi::xml_node node = root;
    while (node && slash != std::string_view::npos) {
      path.remove_prefix(slash + 1);
      slash = path.find('/');
      std::string_view step = path.substr(0, slash);
      node = step.empty() ? pugi::xml_node() : Step(node, step);
    }
    return node;
  }

  // Callers read several fields of one record in a row ("@1/@7/geming", "@1/@7/zhufuyu" ...),
  // so the element before the last step is remembered with its path.
  std::string lastPrefix;
  pugi::xml_node lastPrefixNode;
  bool lastPrefixValid = false;

  pugi::xml_node Select(std::string_view path) {
    if (!root) return {};
    const void* slash = ::memrchr(path.data(), '/', path.size());
    if (!slash) return Resolve(path);
    size_t last = size_t(static_cast<const char*>(slash) - path.data());
    std::string_view prefix = path.substr(0, last);
    std::string_view step = path.substr(last + 1);
    if (!lastPrefixValid || !Same(prefix, lastPrefix)) {
      lastPrefix.assign(prefix);
      lastPrefixNode = Resolve(prefix);
      lastPrefixValid = true;
    }
    pugi::xml_node node = lastPrefixNode;
    // An empty last step selects the element reached so far.
    if (!node || step.empty()) return node;
    return Step(node, step);
  }
};

XmlDoc::XmlDoc() : impl_(std::make_unique<Impl>()) {}
XmlDoc::~XmlDoc() = default;
XmlDoc::XmlDoc(XmlDoc&&) noexcept = default;
XmlDoc& XmlDoc::operator=(XmlDoc&&) noexcept = default;

bool XmlDoc::Load(std::string_view bytes) {
  Release();
  if (!impl_) impl_ = std::make_unique<Impl>();
  if (bytes.empty()) return false;
  pugi::xml_parse_result result =
      impl_->document.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_utf8);
  pugi::xml_node root;
  int elements = 0;
  bool stray = false;
  if (result) {
    for (pugi::xml_node c = impl_->document.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_element) {
        root = c;
        ++elements;
      } else if (c.type() == pugi::node_cdata || c.type() == pugi::node_pcdata) {
        stray = true;
      }
    }
  }
  if (!result || elements != 1 || stray) {
    Release();
    return false;
  }
  impl_->root = root;
  return true;
}

bool XmlDoc::IsLoaded() const { return impl_ && impl_->root; }

std::ptrdiff_t XmlDoc::ChildCount(std::string_view path) const {
  if (!impl_) return 0;
  pugi::xml_node node = impl_->Select(path);
  return node ? std::ptrdiff_t(impl_->ElementChildren(node).size()) : 0;
}

Text XmlDoc::Value(std::string_view path) const {
  Text out;
  if (!impl_) return out;
  pugi::xml_node node = impl_->Select(path);
  if (node) AppendContent(node, out);
  return out;
}

void XmlDoc::Release() {
  if (!impl_) return;
  impl_->Forget();
  impl_->root = pugi::xml_node();
  impl_->document.reset();
}

}  // namespace sonaro::core
