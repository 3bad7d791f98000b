#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "xml/xml_references.h"

namespace {

// The element tree as the navigation sees it, e.g. "r(a,b(c))".
std::string Outline(XmlDocument& doc) {
    std::string outline;
    bool first = true;
    while (doc.FindNext("")) {
        if (!first) {
            outline += ',';
        }
        first = false;
        std::string tag = doc.GetAttribute("id");
        outline += tag.empty() ? "?" : tag;
        doc.Enter();
        std::string children = Outline(doc);
        doc.Leave();
        if (!children.empty()) {
            outline += "(" + children + ")";
        }
    }
    return outline;
}

std::string RootText(const std::string& text) {
    XmlDocument doc;
    doc.Parse(text);
    return doc.FindNext("") ? doc.GetText() : "<no root>";
}

// --- Well-formedness -------------------------------------------------------------------------

struct WellFormedCase {
    const char* document;
    bool wellFormed;
    const char* logged;  // a fragment the problem log must hold ("" = the log must be empty)
};

void PrintTo(const WellFormedCase& c, std::ostream* os) {
    *os << c.document;
}

class WellFormedness : public testing::TestWithParam<WellFormedCase> {};

TEST_P(WellFormedness, ParseResultAndProblemLog) {
    const WellFormedCase& c = GetParam();
    XmlDocument doc;
    EXPECT_EQ(doc.Parse(c.document), c.wellFormed) << c.document;
    if (std::string(c.logged).empty()) {
        EXPECT_EQ(doc.Problems(), "") << c.document;
    } else {
        EXPECT_NE(doc.Problems().find(c.logged), std::string::npos)
            << c.document << "\nlog: " << doc.Problems();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, WellFormedness,
    testing::Values(
        WellFormedCase{"<a/>", true, ""}, WellFormedCase{"\xEF\xBB\xBF<a>x</a>", true, ""},
        WellFormedCase{"<?xml version=\"1.0\"?>\n<!-- c -->\n<a>x</a>\n<!-- after -->\n<?pi x?>\n",
                       true, ""},
        WellFormedCase{"<!DOCTYPE a [\n<!ENTITY e \"x>\">\n<!-- ] > -->\n]>\n<a/>", true, ""},
        WellFormedCase{"<a title='x>y' b=\"</a>\"/>", true, ""},
        WellFormedCase{"<a><b/><c></c></a>", true, ""}, WellFormedCase{"", false, ""},
        WellFormedCase{"just text", false, "<no_root_element/>"},
        WellFormedCase{"<!-- only a comment -->", false, "<no_root_element/>"},
        WellFormedCase{"<a/><b/>", false, "<root_has_sibling tagname=\"b\" offset=\"4\"/>"},
        WellFormedCase{"<a></A>", false, "<lone_end_tag tagname=\"A\" offset=\"3\"/>"},
        WellFormedCase{"<a></A>", false,
                       "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"7\"/>"},
        WellFormedCase{"<a><b></a>", false,
                       "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"6\"/>"},
        WellFormedCase{"<a>1 < 2</a>", false, "<first_tag_syntax offset=\"5\"/>"},
        WellFormedCase{"<a><!x></a>", false, "<exclamation_tag_syntax offset=\"3\"/>"},
        WellFormedCase{"<a><!-x></a>", false, "<comment_tag_syntax offset=\"3\"/>"},
        WellFormedCase{"<a><![cdata[x]]></a>", false, "<cdata_section_syntax offset=\"3\"/>"},
        WellFormedCase{"<a><![CDX[x]]></a>", true, ""},
        WellFormedCase{"<!DOCTYPEa><a/>", false, "<doctype_tag_syntax offset=\"0\"/>"},
        WellFormedCase{"<a><b x='1", false,
                       "<unterminated_tag_syntax type=\"start_tag\" offset=\"3\"/>"},
        WellFormedCase{"<a></a", false, "<unterminated_tag_syntax type=\"end_tag\" offset=\"3\"/>"},
        WellFormedCase{"<a><![CDATA[x", false,
                       "<unterminated_tag_syntax type=\"cdata_section\" offset=\"3\"/>"},
        WellFormedCase{"<a><?pi", false,
                       "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"3\"/>"},
        WellFormedCase{"<a><!-- x", false,
                       "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"},
        WellFormedCase{"<!DOCTYPE a [", false,
                       "<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"},
        WellFormedCase{"<a><!", false, "<unterminated_tag_syntax type=\"tag\" offset=\"3\"/>"},
        WellFormedCase{"<a><![", false, "<unterminated_tag_syntax type=\"tag\" offset=\"3\"/>"},
        WellFormedCase{"<a><![CDA", false,
                       "<unterminated_tag_syntax type=\"cdata_section\" offset=\"3\"/>"},
        WellFormedCase{"<a><!DOC", false,
                       "<unterminated_tag_syntax type=\"document_type\" offset=\"3\"/>"},
        WellFormedCase{"<a><", false, "<unterminated_tag_syntax type=\"tag\" offset=\"3\"/>"},
        WellFormedCase{"<a>", false,
                       "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"3\"/>"},
        WellFormedCase{"<a></b></a>", false, "<lone_end_tag tagname=\"b\" offset=\"3\"/>"},
        WellFormedCase{"<a x=\"&\"/><b/>", false, "tagname=\"b\""},
        WellFormedCase{"<a&\"b>", false, "<unended_start_tag tagname=\"a&amp;&quot;b\""}));

TEST(WellFormedness, TwoTopLevelElementsAreBothInTheTable) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<a id='a'/><b id='b'/>"));
    EXPECT_EQ(Outline(doc), "a,b");
}

TEST(WellFormedness, ElementsInsideAnUnendedElementMoveUpAsItsSiblings) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<r id='r'><a id='a'><b id='b'/><c id='c'><d id='d'/></r>"));
    EXPECT_EQ(Outline(doc), "r(a,b,c,d)");
    doc.Rewind();
    ASSERT_TRUE(doc.FindNext("r"));
    ASSERT_TRUE(doc.Enter());
    ASSERT_TRUE(doc.FindNext("d"));
    ASSERT_TRUE(doc.Leave());
    EXPECT_EQ(doc.GetAttribute("id"), "r");
}

TEST(WellFormedness, ElementsStillOpenAtTheEndMoveUpToTheDocumentLevel) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<r id='r'><a id='a'/><b id='b'>"));
    EXPECT_EQ(Outline(doc), "r,a,b");
}

TEST(WellFormedness, ProblemLogStopsGrowingNearItsLimit) {
    std::string text = "<a>";
    for (int i = 0; i < 500; ++i) {
        text += "</b>";
    }
    text += "</a>";
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_GE(doc.Problems().size(), 1000u);
    EXPECT_LT(doc.Problems().size(), 1100u);
}

TEST(WellFormedness, ParseReplacesTheDocumentAndItsLog) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<a></b>"));
    ASSERT_TRUE(doc.FindNext("a"));
    EXPECT_TRUE(doc.Parse("<c id='1'/>"));
    EXPECT_EQ(doc.Problems(), "");
    EXPECT_FALSE(doc.FindNext("a"));
    ASSERT_TRUE(doc.FindNext("c"));
    EXPECT_EQ(doc.GetAttribute("id"), "1");
}

// --- Limits of the element record ---------------------------------------------------------

std::string Nested(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += "<e>";
    }
    for (int i = 0; i < levels; ++i) {
        text += "</e>";
    }
    return text;
}

// A start tag of exactly `length` bytes, closed by an end tag.
std::string StartTagOfLength(std::size_t length) {
    const std::string head = "<a v=\"";
    const std::string tail = "\">";
    return head + std::string(length - head.size() - tail.size(), 'x') + tail + "</a>";
}

// An end tag of exactly `length` bytes ("</a", spaces, ">").
std::string EndTagOfLength(std::size_t length) {
    return "<a>text</a" + std::string(length - 4, ' ') + ">";
}

TEST(Limits, StartTagUpToFourMebibytesMinusOneIsRead) {
    XmlDocument doc;
    EXPECT_TRUE(doc.Parse(StartTagOfLength((1u << 22) - 1)));
    ASSERT_TRUE(doc.FindNext("a"));
    EXPECT_EQ(doc.GetAttribute("v").size(), (1u << 22) - 9);
}

TEST(Limits, StartTagOfFourMebibytesFailsWithAProblem) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(StartTagOfLength(1u << 22)));
    EXPECT_NE(doc.Problems().find("<start_tag_too_long tagname=\"a\" offset=\"0\"/>"),
              std::string::npos)
        << doc.Problems();
}

TEST(Limits, EndTagUpTo1023BytesIsRead) {
    XmlDocument doc;
    EXPECT_TRUE(doc.Parse(EndTagOfLength(1023)));
    ASSERT_TRUE(doc.FindNext("a"));
    EXPECT_EQ(doc.GetText(), "text");
}

TEST(Limits, EndTagOf1024BytesFailsWithAProblem) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(EndTagOfLength(1024)));
    EXPECT_NE(doc.Problems().find("<end_tag_too_long tagname=\"a\" offset=\"7\"/>"),
              std::string::npos)
        << doc.Problems();
}

TEST(Limits, NestingOf65536LevelsIsRead) {
    XmlDocument doc;
    EXPECT_TRUE(doc.Parse(Nested(65536)));
    int levels = 0;
    while (doc.FindNext("e") && doc.Enter()) {
        ++levels;
    }
    EXPECT_EQ(levels, 65536);
}

TEST(Limits, NestingDeeperThan65536LevelsFailsWithAProblem) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(Nested(65537)));
    EXPECT_NE(doc.Problems().find("<nesting_too_deep tagname=\"e\""), std::string::npos)
        << doc.Problems();
}

// --- Navigation ----------------------------------------------------------------------------

const char* const kTree =
    "<r id='r'><x id='x1'/><y id='y1'><z id='z1'/><z id='z2'/></y><x id='x2'/>"
    "<xx id='xx'/><X id='X'/></r>";

TEST(Navigation, FindNextVisitsMatchingSiblingsInOrder) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    ASSERT_TRUE(doc.FindNext("r"));
    ASSERT_TRUE(doc.Enter());
    std::vector<std::string> found;
    while (doc.FindNext("x")) {
        found.push_back(doc.GetAttribute("id"));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"x1", "x2"}));
}

TEST(Navigation, FailedFindNextKeepsThePosition) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    ASSERT_TRUE(doc.FindNext("r") && doc.Enter());
    ASSERT_TRUE(doc.FindNext("y"));
    EXPECT_FALSE(doc.FindNext("missing"));
    EXPECT_EQ(doc.GetAttribute("id"), "y1");
    ASSERT_TRUE(doc.FindNext("x"));
    EXPECT_EQ(doc.GetAttribute("id"), "x2");
}

TEST(Navigation, NamesCompareExactly) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    ASSERT_TRUE(doc.FindNext("r") && doc.Enter());
    ASSERT_TRUE(doc.FindNext("X"));
    EXPECT_EQ(doc.GetAttribute("id"), "X");
    doc.Rewind();
    ASSERT_TRUE(doc.FindNext("xx"));
    EXPECT_EQ(doc.GetAttribute("id"), "xx");
    EXPECT_FALSE(doc.FindNext("x"));
    doc.Rewind();
    EXPECT_FALSE(doc.FindNext("x id"));
    EXPECT_FALSE(doc.FindNext("x/"));
}

TEST(Navigation, EmptyNameMatchesAnyAndSlashNameMatchesNone) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    EXPECT_FALSE(doc.FindNext("/r"));
    ASSERT_TRUE(doc.FindNext(""));
    EXPECT_EQ(doc.GetAttribute("id"), "r");
    EXPECT_EQ(Outline(doc), "");
    doc.Rewind();
    EXPECT_EQ(Outline(doc), "r(x1,y1(z1,z2),x2,xx,X)");
}

TEST(Navigation, RewindStartsAgainAtTheFirstChild) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    ASSERT_TRUE(doc.FindNext("r") && doc.Enter());
    ASSERT_TRUE(doc.FindNext("x") && doc.FindNext("x"));
    EXPECT_TRUE(doc.Rewind());
    EXPECT_EQ(doc.GetAttribute("id"), "");
    ASSERT_TRUE(doc.FindNext("x"));
    EXPECT_EQ(doc.GetAttribute("id"), "x1");
}

TEST(Navigation, LeaveReturnsToTheParentAndEnterComesBackToTheChild) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    EXPECT_FALSE(doc.Leave());
    EXPECT_FALSE(doc.Enter());
    ASSERT_TRUE(doc.FindNext("r") && doc.Enter() && doc.FindNext("y") && doc.Enter());
    ASSERT_TRUE(doc.FindNext("z"));
    ASSERT_TRUE(doc.Leave());
    EXPECT_EQ(doc.GetAttribute("id"), "y1");
    ASSERT_TRUE(doc.Enter());
    ASSERT_TRUE(doc.FindNext("z"));
    EXPECT_EQ(doc.GetAttribute("id"), "z2");
    ASSERT_TRUE(doc.Leave() && doc.Leave());
    EXPECT_EQ(doc.GetAttribute("id"), "r");
    EXPECT_FALSE(doc.Leave());
}

TEST(Navigation, EnterAnElementWithoutChildrenFindsNothing) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(kTree));
    ASSERT_TRUE(doc.FindNext("r") && doc.Enter() && doc.FindNext("x") && doc.Enter());
    EXPECT_FALSE(doc.FindNext(""));
    EXPECT_EQ(doc.GetText(), "");
    EXPECT_FALSE(doc.Enter());
    ASSERT_TRUE(doc.Leave());
    EXPECT_EQ(doc.GetAttribute("id"), "x1");
}

// A search that continues after the last match of another name sees only what follows it.
TEST(Navigation, SearchWithoutRewindContinuesAfterTheLastMatch) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse("<c><u id='u0'/><i id='i1'/><u id='u1'/><i id='i2'/><u id='u2'/></c>"));
    ASSERT_TRUE(doc.FindNext("c") && doc.Enter());
    while (doc.FindNext("i")) {
    }
    std::vector<std::string> found;
    while (doc.FindNext("u")) {
        found.push_back(doc.GetAttribute("id"));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"u2"}));
}

TEST(Navigation, NothingCurrentReadsEmpty) {
    XmlDocument doc;
    EXPECT_EQ(doc.GetAttribute("a"), "");
    EXPECT_EQ(doc.GetText(), "");
    EXPECT_FALSE(doc.FindNext(""));
    ASSERT_TRUE(doc.Parse("<a x='1'>t</a>"));
    EXPECT_EQ(doc.GetAttribute("x"), "");
    EXPECT_EQ(doc.GetText(), "");
}

// --- Attributes ----------------------------------------------------------------------------

struct AttributeCase {
    const char* document;
    const char* name;
    const char* value;
};

void PrintTo(const AttributeCase& c, std::ostream* os) {
    *os << c.document << " " << c.name;
}

class Attributes : public testing::TestWithParam<AttributeCase> {};

TEST_P(Attributes, ValueOfTheRootElement) {
    const AttributeCase& c = GetParam();
    XmlDocument doc;
    doc.Parse(c.document);
    ASSERT_TRUE(doc.FindNext("")) << c.document;
    EXPECT_EQ(doc.GetAttribute(c.name), c.value) << c.document;
}

INSTANTIATE_TEST_SUITE_P(
    Tags, Attributes,
    testing::Values(
        AttributeCase{"<a x=\"1\"/>", "x", "1"}, AttributeCase{"<a x='it\"s'/>", "x", "it\"s"},
        AttributeCase{"<a x = \"1\" />", "x", "1"},
        AttributeCase{"<a\nx=\"1\"\ty='2'>t</a>", "y", "2"},
        AttributeCase{"<a x=bare y=2>t</a>", "x", "bare"},
        AttributeCase{"<a x=b/c=d y=2>t</a>", "x", "b/c=d"},
        AttributeCase{"<a x=b/>t</a>", "x", "b/"},
        AttributeCase{"<a checked y=\"2\"/>", "checked", "checked"},
        AttributeCase{"<a checked y=\"2\"/>", "y", "2"}, AttributeCase{"<a x=\"1\"/>", "y", ""},
        AttributeCase{"<a x=\"\"/>", "x", ""}, AttributeCase{"<a X=\"1\"/>", "x", ""},
        AttributeCase{"<a xy=\"1\" x=\"2\"/>", "x", "2"},
        AttributeCase{"<a x=\"1\" x=\"2\"/>", "x", "1"},
        AttributeCase{"<a y=\"x\" x=\"2\"/>", "x", "2"},
        AttributeCase{"<a y=x x=\"2\"/>", "x", "2"}, AttributeCase{"<a x=\"a>b\"/>", "x", "a>b"},
        AttributeCase{"<a x=\"&lt;&amp;&#65;\"/>", "x", "<&A"},
        AttributeCase{"<a / x=\"1\">t</a>", "x", ""}, AttributeCase{"<a?x=\"1\"?>t</a>", "x", ""},
        AttributeCase{"<a x=\"1\"/>", "a", ""}));

TEST(Attributes, SlashEndingAnUnquotedValueDoesNotMakeTheTagEmpty) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse("<a x=b/>text</a>"));
    ASSERT_TRUE(doc.FindNext("a"));
    EXPECT_EQ(doc.GetText(), "text");
    EXPECT_TRUE(doc.Parse("<a x=\"b\"/>"));
    EXPECT_TRUE(doc.Parse("<a x/>"));
}

// --- Text ----------------------------------------------------------------------------------

struct TextCase {
    const char* document;
    const char* text;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.document;
}

class Text : public testing::TestWithParam<TextCase> {};

TEST_P(Text, OfTheRootElement) {
    EXPECT_EQ(RootText(GetParam().document), GetParam().text) << GetParam().document;
}

INSTANTIATE_TEST_SUITE_P(
    Contents, Text,
    testing::Values(TextCase{"<a/>", ""}, TextCase{"<a></a>", ""},
                    TextCase{"<a>plain</a>", "plain"},
                    TextCase{"<a>\n  kept  \n</a>", "\n  kept  \n"},
                    TextCase{"<a> x &amp; y </a>", " x & y "},
                    TextCase{"<a>one<!--c-->two<![CDATA[&lt;<b>]]>three</a>", "onetwo&lt;<b>three"},
                    TextCase{"<a> one <!--c--> two </a>", " one  two "},
                    TextCase{"<a><![CDATA[x]]>  \n <!--c--></a>", "x"},
                    TextCase{"<a>1<![CDX[x]]>2<![C]]>3</a>", "1X[x23"},
                    TextCase{"<a>x<?pi?>y</a>", "xy"}, TextCase{"<a>x<b/>y</a>", ""},
                    TextCase{"<a><b>x</b></a>", ""}, TextCase{"<a><!-- only --></a>", ""},
                    TextCase{"<a>x</b>y</a>", "xy"}, TextCase{"<a>unended", ""}));

// --- References ----------------------------------------------------------------------------

class References : public testing::TestWithParam<TextCase> {};

TEST_P(References, DecodeInText) {
    const std::string document = std::string("<a>") + GetParam().document + "</a>";
    EXPECT_EQ(RootText(document), GetParam().text) << GetParam().document;
}

TEST_P(References, DecodeInAttributeValues) {
    const std::string document = std::string("<a v=\"") + GetParam().document + "\"/>";
    XmlDocument doc;
    doc.Parse(document);
    ASSERT_TRUE(doc.FindNext("a"));
    EXPECT_EQ(doc.GetAttribute("v"), GetParam().text) << GetParam().document;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, References,
    testing::Values(TextCase{"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
                    TextCase{"&AMP;&Lt;&GT;&QUOT;&APOS;", "&<>\"'"},
                    TextCase{"&#65;&#x41;&#X41;&#0065;", "AAAA"},
                    TextCase{"&#x20AC;&#8364;&euro;", "\u20AC\u20AC\u20AC"},
                    TextCase{"&#x1F600;", "\U0001F600"}, TextCase{"&nbsp;&copy;", "\u00A0\u00A9"},
                    TextCase{"&aacute;&Aacute;&AACUTE;", "\u00E1\u00C1\u00E1"},
                    TextCase{"&dagger;&Dagger;&rarr;&rArr;", "\u2020\u2021\u2192\u21D2"},
                    TextCase{"&#0;&#x0;", "&#0;&#x0;"}, TextCase{"&bogus;", "&bogus;"},
                    TextCase{"&#12a;&#x;&#;&;", "&#12a;&#x;&#;&;"},
                    TextCase{"&#x110000;&#xD800;", "&#x110000;&#xD800;"},
                    TextCase{"fish & chips; to go", "fish & chips; to go"},
                    TextCase{"&#00000065;", "A"}, TextCase{"&#000000065;", "&#000000065;"},
                    TextCase{"&amp", "&amp"}, TextCase{"&&amp;&", "&&&"},
                    TextCase{"&\xC3\xA9;", "&\xC3\xA9;"}));

TEST(References, EveryNamedReferenceIsKnownInItsOwnSpellingAndInCapitals) {
    const char* const names[] = {"AElig", "aelig", "Yuml", "yuml",   "thetasym", "upsih",
                                 "piv",   "zwnj",  "lrm",  "rsaquo", "OElig",    "oelig"};
    for (const char* name : names) {
        std::string upper(name);
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_NE(xml_detail::LookupNamedReference(name), 0u) << name;
        EXPECT_NE(xml_detail::LookupNamedReference(upper), 0u) << upper;
    }
    EXPECT_EQ(xml_detail::LookupNamedReference("AElig"), 0xC6u);
    EXPECT_EQ(xml_detail::LookupNamedReference("aelig"), 0xE6u);
    EXPECT_EQ(xml_detail::LookupNamedReference("AELIG"), 0xE6u);
    EXPECT_EQ(xml_detail::LookupNamedReference("notaname"), 0u);
}

}  // namespace
