// An XML document read by a tiny path language.
//
// A path is steps separated by "/". The first step selects the root element and is either "@1"
// or the root's tag name. Each later step is "@n", the n-th child element (decimal, from 1), or
// a tag name, the first child element with that name (exact bytes). An empty last step (a path
// ending in "/") selects the element reached so far, so "@1/" is the root. A step that matches
// nothing, "@0", or "@" followed by anything but digits selects nothing.
//
// The bytes are GBK and are not converted; character references come out as GBK.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "core/gbk.h"

namespace sonaro::core {

class XmlDoc {
 public:
  XmlDoc();
  ~XmlDoc();
  XmlDoc(XmlDoc&&) noexcept;
  XmlDoc& operator=(XmlDoc&&) noexcept;
  XmlDoc(const XmlDoc&) = delete;
  XmlDoc& operator=(const XmlDoc&) = delete;

  // Replaces the document with the one in bytes. An empty buffer or malformed XML (including a
  // document without exactly one root element) fails and leaves the document empty.
  bool Load(std::string_view bytes);

  bool IsLoaded() const;

  // The number of child elements of the selected element; 0 when the path selects nothing.
  std::ptrdiff_t ChildCount(std::string_view path) const;

  // The text content of the selected element: all its character data, its descendants'
  // included, in document order, with the standard entities and character references decoded
  // (CDATA sections are taken literally). Whitespace between elements is not content. Empty when
  // the path selects nothing.
  Text Value(std::string_view path) const;

  // Frees the document; the object is then empty.
  void Release();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sonaro::core
