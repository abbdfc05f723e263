// A small XML reader for the layout markup: UTF-8 with or without a byte-order mark, elements,
// attributes, character data, the five predefined entities and numeric character references,
// comments, CDATA sections and processing instructions (skipped). Document type declarations are
// refused. The document is read into a tree of nodes in one pass; the first fault stops it with a
// message that gives the line and column where it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lvx::uilib {

struct CMarkupNode {
  std::u16string name;
  std::vector<std::pair<std::u16string, std::u16string>> attributes;  // in document order
  std::vector<CMarkupNode> children;
  std::u16string text;  // the character data directly inside, joined
  int line = 0;         // of the element's '<', 1-based
  int column = 0;       // in characters, 1-based

  const std::u16string* GetAttribute(std::u16string_view attribute) const;
};

class CMarkup {
 public:
  // Deeper nesting is refused: the layouts are shallow, and the tree is destroyed recursively.
  static constexpr int kMaxDepth = 128;

  // 0, or -1 with the message (see GetLastErrorMessage) and the root left empty.
  int Load(const uint8_t* data, size_t size);
  int Load(std::string_view utf8) { return Load(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()); }

  const CMarkupNode& GetRoot() const { return root_; }
  // "line 3, column 14: <reason>", empty after a successful load.
  const std::u16string& GetLastErrorMessage() const { return error_; }
  int ErrorLine() const { return errorLine_; }
  int ErrorColumn() const { return errorColumn_; }

 private:
  CMarkupNode root_;
  std::u16string error_;
  int errorLine_ = 0;
  int errorColumn_ = 0;
};

}  // namespace lvx::uilib
