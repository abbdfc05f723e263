#include "uilib/xml_reader.h"

#include <algorithm>
#include <tuple>

#include "platform/text.h"
#include "platform/utf.h"

namespace lvx::uilib {
namespace {

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameStart(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(char32_t c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
// The characters a document may hold at all.
bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

std::u16string Hex(uint32_t v) {
  static const char digits[] = "0123456789ABCDEF";
  std::u16string s;
  for (int shift = 12; shift >= 0; shift -= 4) s.push_back(char16_t(digits[(v >> shift) & 0xF]));
  if (v > 0xFFFF) s.insert(s.begin(), char16_t(digits[(v >> 16) & 0xF]));
  return s;
}

// One pass over the decoded document. Positions are indexes into the code points; line and column
// are worked out only for elements and for the fault.
class Parser {
 public:
  Parser(std::u32string text, std::vector<size_t> lineStarts, CMarkupNode* root)
      : s_(std::move(text)), lines_(std::move(lineStarts)), root_(root) {}

  int Run();
  size_t faultAt = 0;
  std::u16string reason;

  std::pair<int, int> Position(size_t at) const {
    auto it = std::upper_bound(lines_.begin(), lines_.end(), at);
    size_t line = size_t(it - lines_.begin());
    return {int(line), int(at - lines_[line - 1] + 1)};
  }

 private:
  int Fail(size_t at, std::u16string why) {
    faultAt = at;
    reason = std::move(why);
    return -1;
  }
  bool StartsWith(std::u32string_view prefix) const { return s_.compare(p_, prefix.size(), prefix) == 0; }
  void SkipSpace() {
    while (p_ < s_.size() && IsSpace(s_[p_])) ++p_;
  }
  int Name(std::u16string* out);
  int Reference(std::u16string* out);
  int StartTag();
  int EndTag();
  int Text();
  int SkipPast(std::u32string_view end, size_t from, const char16_t* what);
  std::u16string Where(const CMarkupNode& node) const {
    return u"<" + node.name + u"> opened at line " + U16(std::to_string(node.line)) + u", column " +
           U16(std::to_string(node.column));
  }

  std::u32string s_;
  std::vector<size_t> lines_;
  size_t p_ = 0;
  CMarkupNode* root_;
  std::vector<CMarkupNode*> open_;
  bool rootDone_ = false;
};

int Parser::Name(std::u16string* out) {
  if (p_ >= s_.size() || !IsNameStart(s_[p_])) return Fail(p_, u"a name was expected here");
  out->clear();
  while (p_ < s_.size() && IsNameChar(s_[p_])) AppendUtf16(*out, s_[p_++]);
  return 0;
}

// At '&': appends the character it stands for.
int Parser::Reference(std::u16string* out) {
  const size_t start = p_++;
  size_t end = s_.find(U';', p_);
  if (end == std::u32string::npos || end - p_ > 12) return Fail(start, u"'&' does not start an entity reference ending in ';'");
  std::u32string_view body(s_.data() + p_, end - p_);
  p_ = end + 1;
  static const struct { std::u32string_view name; char16_t c; } kNamed[] = {
      {U"lt", u'<'}, {U"gt", u'>'}, {U"amp", u'&'}, {U"quot", u'"'}, {U"apos", u'\''}};
  for (const auto& named : kNamed) {
    if (body == named.name) {
      out->push_back(named.c);
      return 0;
    }
  }
  if (body.size() < 2 || body[0] != '#') return Fail(start, u"unknown entity");
  const bool hex = body[1] == 'x';
  body.remove_prefix(hex ? 2 : 1);
  uint32_t v = 0;
  for (char32_t c : body) {
    int digit = c >= '0' && c <= '9' ? int(c - '0')
                : hex && c >= 'a' && c <= 'f' ? int(c - 'a' + 10)
                : hex && c >= 'A' && c <= 'F' ? int(c - 'A' + 10)
                                             : -1;
    if (digit < 0) return Fail(start, u"bad digit in a character reference");
    v = v * (hex ? 16 : 10) + uint32_t(digit);
    if (v > 0x10FFFF) break;
  }
  if (body.empty() || !IsXmlChar(v)) return Fail(start, u"the character reference is not a character a document may hold");
  AppendUtf16(*out, v);
  return 0;
}

int Parser::SkipPast(std::u32string_view end, size_t from, const char16_t* what) {
  size_t at = s_.find(end, p_);
  if (at == std::u32string::npos) return Fail(from, std::u16string(what) + u" is not closed");
  p_ = at + end.size();
  return 0;
}

int Parser::StartTag() {
  const size_t start = p_++;
  if (rootDone_) return Fail(start, u"a second root element");
  if (int(open_.size()) >= CMarkup::kMaxDepth) return Fail(start, u"elements are nested too deeply");
  CMarkupNode* node = open_.empty() ? root_ : &open_.back()->children.emplace_back();
  std::tie(node->line, node->column) = Position(start);
  if (Name(&node->name) != 0) return -1;
  for (;;) {
    const size_t beforeSpace = p_;
    SkipSpace();
    if (p_ >= s_.size()) return Fail(start, u"the tag <" + node->name + u" is not closed");
    if (s_[p_] == '>' || StartsWith(U"/>")) break;
    if (p_ == beforeSpace) return Fail(p_, u"a space was expected before the attribute");
    const size_t attributeAt = p_;
    std::u16string name, value;
    if (Name(&name) != 0) return -1;
    if (node->GetAttribute(name)) return Fail(attributeAt, u"the attribute " + name + u" is given twice");
    SkipSpace();
    if (p_ >= s_.size() || s_[p_] != '=') return Fail(p_, u"'=' was expected after the attribute name");
    ++p_;
    SkipSpace();
    if (p_ >= s_.size() || (s_[p_] != '"' && s_[p_] != '\'')) return Fail(p_, u"a quoted attribute value was expected");
    const char32_t quote = s_[p_++];
    for (;;) {
      if (p_ >= s_.size()) return Fail(attributeAt, u"the value of " + name + u" is not closed");
      const char32_t c = s_[p_];
      if (c == quote) break;
      if (c == '<') return Fail(p_, u"'<' is not allowed in an attribute value");
      if (c == '&') {
        if (Reference(&value) != 0) return -1;
        continue;
      }
      // Line breaks (CR LF as one) and tabs in values read as spaces.
      if (c == '\r' && p_ + 1 < s_.size() && s_[p_ + 1] == '\n') ++p_;
      AppendUtf16(value, IsSpace(c) ? U' ' : c);
      ++p_;
    }
    ++p_;
    node->attributes.emplace_back(std::move(name), std::move(value));
  }
  if (s_[p_] == '/') {
    p_ += 2;
    if (open_.empty()) rootDone_ = true;
  } else {
    ++p_;
    open_.push_back(node);
  }
  return 0;
}

int Parser::EndTag() {
  const size_t start = p_;
  p_ += 2;
  std::u16string name;
  if (Name(&name) != 0) return -1;
  SkipSpace();
  if (p_ >= s_.size() || s_[p_] != '>') return Fail(p_, u"'>' was expected to end </" + name);
  ++p_;
  if (open_.empty()) return Fail(start, u"</" + name + u"> closes no element");
  if (open_.back()->name != name)
    return Fail(start, u"</" + name + u"> does not close " + Where(*open_.back()));
  open_.pop_back();
  if (open_.empty()) rootDone_ = true;
  return 0;
}

int Parser::Text() {
  std::u16string text;
  const size_t start = p_;
  while (p_ < s_.size() && s_[p_] != '<') {
    if (s_[p_] == '&') {
      if (Reference(&text) != 0) return -1;
    } else {
      AppendUtf16(text, s_[p_++]);
    }
  }
  if (open_.empty()) {
    for (size_t i = start; i < p_; ++i)
      if (!IsSpace(s_[i])) return Fail(i, u"text outside the root element");
    return 0;
  }
  open_.back()->text += text;
  return 0;
}

int Parser::Run() {
  while (p_ < s_.size()) {
    const size_t start = p_;
    int rc;
    if (s_[p_] != '<') {
      rc = Text();
    } else if (StartsWith(U"<!--")) {
      p_ += 4;
      rc = SkipPast(U"-->", start, u"the comment");
    } else if (StartsWith(U"<?")) {
      p_ += 2;
      rc = SkipPast(U"?>", start, u"the processing instruction");
    } else if (StartsWith(U"<![CDATA[")) {
      if (open_.empty()) return Fail(start, u"a CDATA section outside the root element");
      p_ += 9;
      size_t end = s_.find(U"]]>", p_);
      if (end == std::u32string::npos) return Fail(start, u"the CDATA section is not closed");
      for (size_t i = p_; i < end; ++i) AppendUtf16(open_.back()->text, s_[i]);
      p_ = end + 3;
      rc = 0;
    } else if (StartsWith(U"<!")) {
      return Fail(start, u"declarations such as <!DOCTYPE are not supported");
    } else if (StartsWith(U"</")) {
      rc = EndTag();
    } else {
      rc = StartTag();
    }
    if (rc != 0) return rc;
  }
  if (!open_.empty()) return Fail(s_.size(), u"the document ends inside " + Where(*open_.back()));
  if (!rootDone_) return Fail(s_.size(), u"the document has no root element");
  return 0;
}

}  // namespace

const std::u16string* CMarkupNode::GetAttribute(std::u16string_view attribute) const {
  for (const auto& [key, value] : attributes)
    if (key == attribute) return &value;
  return nullptr;
}

int CMarkup::Load(const uint8_t* data, size_t size) {
  root_ = CMarkupNode();
  error_.clear();
  errorLine_ = errorColumn_ = 0;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    data += 3;
    size -= 3;
  }
  // Decode first, so that the parser sees characters and a bad byte is reported where it is.
  std::u32string text;
  text.reserve(size);
  std::vector<size_t> lineStarts{0};
  std::u16string fault;
  for (size_t i = 0; i < size && fault.empty();) {
    uint32_t cp = 0;
    size_t length = os::utf::DecodeUtf8(data + i, size - i, &cp);
    if (length == 0)
      fault = u"the bytes here are not UTF-8";
    else if (!IsXmlChar(cp))
      fault = u"the character U+" + Hex(cp) + u" is not allowed in a document";
    if (!fault.empty()) break;
    text.push_back(char32_t(cp));
    if (cp == '\n' || (cp == '\r' && !(i + 1 < size && data[i + 1] == '\n'))) lineStarts.push_back(text.size());
    i += length;
  }
  const size_t decoded = text.size();
  Parser parser(std::move(text), std::move(lineStarts), &root_);
  size_t faultAt = decoded;
  if (fault.empty()) {
    if (parser.Run() == 0) return 0;
    fault = parser.reason;
    faultAt = parser.faultAt;
  }
  std::tie(errorLine_, errorColumn_) = parser.Position(faultAt);
  error_ = u"line " + U16(std::to_string(errorLine_)) + u", column " + U16(std::to_string(errorColumn_)) + u": " + fault;
  root_ = CMarkupNode();
  return -1;
}

}  // namespace lvx::uilib
