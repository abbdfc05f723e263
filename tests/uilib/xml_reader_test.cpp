// The layout markup reader: what it takes, and where it says a malformed document goes wrong.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/text.h"
#include "uilib/xml_reader.h"

namespace lvx::uilib {
namespace {

TEST(XmlReader, ReadsElementsAttributesEntitiesAndSkipsCommentsAndDeclarations) {
  CMarkup markup;
  const std::string doc =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<!-- a comment with <tags> -->\n"
      "<Window size='1,2' title=\"a &lt;b&gt; &amp; &quot;c&quot; &apos;d&apos; &#65;&#x42;&#x1F600; \xC3\xA9\">\n"
      "  <Label text=\"line\nbreak\ttab\r\nend\"/>\n"
      "  <Box>x &amp; y<![CDATA[<raw & text>]]><Inner/></Box>\n"
      "</Window>\n<!-- trailing -->\n";
  ASSERT_EQ(markup.Load(doc), 0) << U8(markup.GetLastErrorMessage());
  const CMarkupNode& root = markup.GetRoot();
  EXPECT_EQ(std::tuple(root.name, root.line, root.column, root.attributes.size()), std::tuple(u"Window", 3, 1, 2u));
  EXPECT_EQ(*root.GetAttribute(u"size"), u"1,2");
  EXPECT_EQ(*root.GetAttribute(u"title"), u"a <b> & \"c\" 'd' AB\U0001F600 \u00E9");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(*root.children[0].GetAttribute(u"text"), u"line break tab end");
  EXPECT_EQ(root.children[1].text, u"x & y<raw & text>");
  EXPECT_EQ(root.children[1].children[0].name, u"Inner");
}

TEST(XmlReader, MalformedMarkupGivesLineAndColumn) {
  const struct {
    const char* doc;
    int line, column;
    const char16_t* reason;
  } kCases[] = {
      {"", 1, 1, u"no root element"},
      {"<!-- only a comment -->", 1, 24, u"no root element"},
      {"<a>\n  <b>\n</a>", 3, 1, u"</a> does not close <b> opened at line 2, column 3"},
      {"<a>\n <b></b>", 2, 9, u"the document ends inside <a> opened at line 1, column 1"},
      {"<a x=\"1\" x=\"2\"/>", 1, 10, u"the attribute x is given twice"},
      {"<a x=1/>", 1, 6, u"a quoted attribute value was expected"},
      {"<a x/>", 1, 5, u"'=' was expected"},
      {"<a x=\"1\"y=\"2\"/>", 1, 9, u"a space was expected"},
      {"<a x=\"<\"/>", 1, 7, u"'<' is not allowed"},
      {"<a x=\"1/>", 1, 4, u"the value of x is not closed"},
      {"<a>&bogus;</a>", 1, 4, u"unknown entity"},
      {"<a>&amp</a>", 1, 4, u"does not start an entity reference"},
      {"<a>&#xD800;</a>", 1, 4, u"not a character a document may hold"},
      {"<a>&#0;</a>", 1, 4, u"not a character"},
      {"<a>&#x110000;</a>", 1, 4, u"not a character"},
      {"<a>&#12a;</a>", 1, 4, u"bad digit"},
      {"<a/><b/>", 1, 5, u"a second root element"},
      {"text<a/>", 1, 1, u"text outside the root element"},
      {"<a/>\n  x", 2, 3, u"text outside the root element"},
      {"</a>", 1, 1, u"</a> closes no element"},
      {"<1a/>", 1, 2, u"a name was expected"},
      {"<a>\n<!-- open", 2, 1, u"the comment is not closed"},
      {"<a><![CDATA[x</a>", 1, 4, u"the CDATA section is not closed"},
      {"<!DOCTYPE a><a/>", 1, 1, u"not supported"},
      {"<a>\xC3\x28</a>", 1, 4, u"not UTF-8"},
      {"<a>\x01</a>", 1, 4, u"U+0001 is not allowed"},
      {"<a>\r\n\r\n  \xC3\xA9\xC3\xA9<</a>", 3, 6, u"a name was expected"},
      {"<a>\r\r<b></c></a>", 3, 4, u"</c> does not close <b>"},
      {"<a", 1, 1, u"the tag <a is not closed"},
      {"<a></a >x", 1, 9, u"text outside"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.doc);
    CMarkup markup;
    EXPECT_EQ(markup.Load(c.doc), -1);
    EXPECT_EQ(std::tuple(markup.ErrorLine(), markup.ErrorColumn()), std::tuple(c.line, c.column));
    const std::u16string& message = markup.GetLastErrorMessage();
    EXPECT_EQ(message.rfind(U16("line " + std::to_string(c.line) + ", column " + std::to_string(c.column) + ": "), 0), 0u)
        << U8(message);
    EXPECT_NE(message.find(c.reason), std::u16string::npos) << U8(message);
    EXPECT_TRUE(markup.GetRoot().name.empty());
  }
}

TEST(XmlReader, NestingIsBoundedInsteadOfExhaustingTheStack) {
  std::string deep;
  for (int i = 0; i < CMarkup::kMaxDepth; ++i) deep += "<a>";
  for (int i = 0; i < CMarkup::kMaxDepth; ++i) deep += "</a>";
  CMarkup markup;
  EXPECT_EQ(markup.Load(deep), 0);
  EXPECT_EQ(markup.Load("<a>" + deep + "</a>"), -1);
  EXPECT_NE(markup.GetLastErrorMessage().find(u"nested too deeply"), std::u16string::npos);
}

}  // namespace
}  // namespace lvx::uilib
