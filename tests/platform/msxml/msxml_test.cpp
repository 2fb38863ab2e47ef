// The XML DOM: loading, walking, texts and attributes, refused documents, and
// that every object and text handed out is freed.
#include "platform/msxml/msxml.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/com/com_ptr.h"
#include "platform/oleaut/variant.h"

using skyvane::Bstr;
using skyvane::ComPtr;

namespace {

// Every test checks that it left no DOM object and no BSTR behind.
class MsxmlTest : public ::testing::Test {
protected:
    void SetUp() override {
        objects_ = skyvane::LiveDomObjectCount();
        bstrs_ = skyvane::LiveBstrCount();
    }
    void TearDown() override {
        EXPECT_EQ(skyvane::LiveDomObjectCount(), objects_) << "DOM objects leaked";
        EXPECT_EQ(skyvane::LiveBstrCount(), bstrs_) << "BSTRs leaked";
    }

    static ComPtr<IXMLDOMDocument> NewDocument() {
        ComPtr<IXMLDOMDocument> doc;
        EXPECT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&doc)), S_OK);
        return doc;
    }
    // Loads and expects the given outcome.
    static ComPtr<IXMLDOMDocument> Load(std::u16string_view text, bool expectOk = true) {
        ComPtr<IXMLDOMDocument> doc = NewDocument();
        Bstr xml(text);
        VARIANT_BOOL ok = 0x7777;
        HRESULT hr = doc->loadXML(xml, &ok);
        EXPECT_EQ(hr, expectOk ? S_OK : S_FALSE);
        EXPECT_EQ(ok, expectOk ? VARIANT_TRUE : VARIANT_FALSE);
        return doc;
    }
    static ComPtr<IXMLDOMElement> Root(const ComPtr<IXMLDOMDocument>& doc) {
        ComPtr<IXMLDOMElement> root;
        EXPECT_EQ(doc->get_documentElement(&root), S_OK);
        return root;
    }
    template <class T>
    static std::u16string Text(const ComPtr<T>& node) {
        Bstr text;
        EXPECT_EQ(node->get_text(text.Out()), S_OK);
        EXPECT_NE(text.get(), nullptr);
        return text.Str();
    }
    static std::u16string TagName(const ComPtr<IXMLDOMElement>& e) {
        Bstr name;
        EXPECT_EQ(e->get_tagName(name.Out()), S_OK);
        return name.Str();
    }
    static ComPtr<IXMLDOMNode> Item(const ComPtr<IXMLDOMNodeList>& list, LONG i) {
        ComPtr<IXMLDOMNode> node;
        EXPECT_EQ(list->get_item(i, &node), S_OK);
        return node;
    }
    static std::u16string ReasonOf(const ComPtr<IXMLDOMDocument>& doc) {
        ComPtr<IXMLDOMParseError> error;
        EXPECT_EQ(doc->get_parseError(&error), S_OK);
        Bstr reason;
        EXPECT_EQ(error->get_reason(reason.Out()), S_OK);
        LONG code = 0;
        EXPECT_EQ(error->get_errorCode(&code), S_OK);
        EXPECT_NE(code, 0);
        return reason.Str();
    }

private:
    long objects_ = 0;
    long bstrs_ = 0;
};

TEST_F(MsxmlTest, ChildNodesSkipWhiteSpaceAndOnlyElementsAnswerTheElementInterface) {
    auto doc = Load(u"<?xml version=\"1.0\"?>\n<weather ver=\"2.0\">\n  <head/>\n  <!-- note -->\n"
                    u"  <cc>x</cc>\n  tail\n</weather>\n");
    auto root = Root(doc);
    EXPECT_EQ(TagName(root), u"weather");

    ComPtr<IXMLDOMNodeList> children;
    ASSERT_EQ(root->get_childNodes(&children), S_OK);
    LONG length = -1;
    ASSERT_EQ(children->get_length(&length), S_OK);
    EXPECT_EQ(length, 4);  // head, the comment, cc, the text "tail"; no white-space nodes

    const DOMNodeType expected[] = {NODE_ELEMENT, NODE_COMMENT, NODE_ELEMENT, NODE_TEXT};
    for (LONG i = 0; i < length; ++i) {
        auto node = Item(children, i);
        DOMNodeType type = NODE_INVALID;
        EXPECT_EQ(node->get_nodeType(&type), S_OK);
        EXPECT_EQ(type, expected[i]) << i;
        ComPtr<IXMLDOMElement> element;
        EXPECT_EQ(node.As(element), expected[i] == NODE_ELEMENT ? S_OK : E_NOINTERFACE) << i;
    }
    // Out of range, in both directions, and backwards after forwards.
    ComPtr<IXMLDOMNode> none;
    EXPECT_EQ(children->get_item(4, &none), S_FALSE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(children->get_item(-1, &none), S_FALSE);
    ComPtr<IXMLDOMElement> first;
    ASSERT_EQ(Item(children, 0).As(first), S_OK);
    EXPECT_EQ(TagName(first), u"head");

    // The list's own cursor.
    int seen = 0;
    ComPtr<IXMLDOMNode> next;
    while (children->nextNode(&next) == S_OK) ++seen;
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(children->reset(), S_OK);
    EXPECT_EQ(children->nextNode(&next), S_OK);
    EXPECT_NE(next, nullptr);

    // The text an element holds is its first child, a text node, followed by
    // the element's other children.
    auto mixed = Load(u"<t>one<i>two</i>three</t>");
    ComPtr<IXMLDOMNodeList> parts;
    ASSERT_EQ(Root(mixed)->get_childNodes(&parts), S_OK);
    LONG count = 0;
    ASSERT_EQ(parts->get_length(&count), S_OK);
    ASSERT_EQ(count, 3);
    const std::pair<DOMNodeType, std::u16string_view> mixedExpected[] = {
        {NODE_TEXT, u"one"}, {NODE_ELEMENT, u"two"}, {NODE_TEXT, u"three"}};
    for (LONG i = 0; i < count; ++i) {
        auto node = Item(parts, i);
        DOMNodeType type = NODE_INVALID;
        EXPECT_EQ(node->get_nodeType(&type), S_OK);
        EXPECT_EQ(type, mixedExpected[i].first) << i;
        EXPECT_EQ(Text(node), mixedExpected[i].second) << i;
        VARIANT_BOOL has = VARIANT_TRUE;
        EXPECT_EQ(node->hasChildNodes(&has), i == 1 ? S_OK : S_FALSE) << i;
    }
    ComPtr<IXMLDOMNode> held, afterHeld;
    ASSERT_EQ(Root(mixed)->get_firstChild(&held), S_OK);
    Bstr heldName;
    EXPECT_EQ(held->get_nodeName(heldName.Out()), S_OK);
    EXPECT_EQ(heldName.Str(), u"#text");
    ASSERT_EQ(held->get_nextSibling(&afterHeld), S_OK);
    ComPtr<IXMLDOMElement> i;
    ASSERT_EQ(afterHeld.As(i), S_OK);
    EXPECT_EQ(TagName(i), u"i");

    // The same node reached through firstChild / nextSibling.
    ComPtr<IXMLDOMNode> walk, after;
    ASSERT_EQ(root->get_firstChild(&walk), S_OK);
    ASSERT_EQ(walk->get_nextSibling(&after), S_OK);
    Bstr name;
    EXPECT_EQ(after->get_nodeName(name.Out()), S_OK);
    EXPECT_EQ(name.Str(), u"#comment");
}

TEST_F(MsxmlTest, TextIsTheTrimmedConcatenationOfAllDescendants) {
    auto doc = Load(u"<r><a>  Light Rain \r\n</a><b>one<i>two</i><![CDATA[ <three> ]]>four</b>"
                    u"<c>&lt;&amp;&#x41;&#1052;</c><d></d><e>  </e></r>");
    auto root = Root(doc);
    ComPtr<IXMLDOMNodeList> children;
    ASSERT_EQ(root->get_childNodes(&children), S_OK);
    EXPECT_EQ(Text(Item(children, 0)), u"Light Rain");
    EXPECT_EQ(Text(Item(children, 1)), u"onetwo <three> four");
    EXPECT_EQ(Text(Item(children, 2)), u"<&A\u041C");
    EXPECT_EQ(Text(Item(children, 3)), u"");
    EXPECT_EQ(Text(Item(children, 4)), u"");
    // Line ends inside the text are normalised to LF as XML requires.
    EXPECT_EQ(Text(root), u"Light Rain \nonetwo <three> four<&A\u041C");
    EXPECT_EQ(Text(doc), Text(root));
}

TEST_F(MsxmlTest, NonAsciiTextSurvivesBothConversions) {
    // Cyrillic, a character outside the basic plane (as a pair and as a
    // reference), and an encoding declaration that must not matter.
    auto doc = Load(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r n=\"Z\u00FCrich\">"
                    u"\u041C\u043E\u0441\u043A\u0432\u0430 \U0001F600 &#x1F600;</r>");
    auto root = Root(doc);
    EXPECT_EQ(Text(root), u"\u041C\u043E\u0441\u043A\u0432\u0430 \U0001F600 \U0001F600");
    skyvane::Variant v;
    ASSERT_EQ(root->getAttribute(Bstr(u"n"), &v), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(v.bstrVal), u"Z\u00FCrich");

    // A lone surrogate in the text cannot be encoded: it reads back as U+FFFD.
    std::u16string lone = u"<r>a";
    lone.push_back(char16_t(0xD800));
    lone += u"b</r>";
    auto doc2 = Load(lone);
    EXPECT_EQ(Text(Root(doc2)), u"a\uFFFDb");
}

TEST_F(MsxmlTest, AttributesAreStringsOnlyWhenPresentAndNamesAreCaseSensitive) {
    auto doc = Load(u"<WatchesWarnings Type=\"Wind Advisory\" empty=\"\" v=\"30.1\"/>");
    auto root = Root(doc);
    EXPECT_EQ(TagName(root), u"WatchesWarnings");

    skyvane::Variant v;
    EXPECT_EQ(root->getAttribute(Bstr(u"Type"), &v), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(v.bstrVal), u"Wind Advisory");

    skyvane::Variant lower;
    lower.vt = VT_I4;  // a sentinel the call must replace
    EXPECT_EQ(root->getAttribute(Bstr(u"type"), &lower), S_FALSE);
    EXPECT_EQ(lower.vt, VT_NULL);

    skyvane::Variant empty;
    EXPECT_EQ(root->getAttribute(Bstr(u"empty"), &empty), S_OK);
    ASSERT_EQ(empty.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(empty.bstrVal), u"");

    // A name with a NUL in it names nothing, even when its start would match.
    skyvane::Variant nul;
    EXPECT_EQ(root->getAttribute(Bstr(std::u16string_view(u"v\0x", 3)), &nul), S_FALSE);
    EXPECT_EQ(root->getAttribute(nullptr, &nul), E_INVALIDARG);
    EXPECT_EQ(root->getAttribute(Bstr(u"v"), nullptr), E_INVALIDARG);
}

TEST_F(MsxmlTest, TextsThatAreNotWellFormedAreRefusedWithAReason) {
    struct Case {
        std::u16string_view text;
        const char* what;
    } cases[] = {
        {u"<weather><cc><tmp>3</tmp></cc>", "unclosed root"},
        {u"<a><b></a></b>", "crossed tags"},
        {u"<a/><b/>", "two roots"},
        {u"text<a/>", "text before the root"},
        {u"<a/>text", "text after the root"},
        {u"", "empty"},
        {u"   \n", "white space only"},
        {u"<!-- only a comment -->", "no element"},
        {u"<a b=\"1></a>", "unterminated attribute"},
        {u"<1a/>", "bad name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = Load(c.text, false);
        EXPECT_FALSE(ReasonOf(doc).empty());
        ComPtr<IXMLDOMElement> root;
        EXPECT_EQ(doc->get_documentElement(&root), S_FALSE);
        EXPECT_EQ(root, nullptr);
    }
    // A NULL text is the empty text.
    auto doc = NewDocument();
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(doc->loadXML(nullptr, &ok), S_FALSE);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(MsxmlTest, ParseErrorGivesLineAndPositionAndIsClearedByAGoodLoad) {
    auto doc = Load(u"<a>\n  <b>\n  </c>\n</a>", false);
    ComPtr<IXMLDOMParseError> error;
    ASSERT_EQ(doc->get_parseError(&error), S_OK);
    LONG line = 0, pos = 0;
    EXPECT_EQ(error->get_line(&line), S_OK);
    EXPECT_EQ(error->get_linepos(&pos), S_OK);
    EXPECT_EQ(line, 3);
    EXPECT_GE(pos, 3);
    EXPECT_LE(pos, 6);

    Bstr good(u"<a/>");
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(doc->loadXML(good, &ok), S_OK);
    ComPtr<IXMLDOMParseError> cleared;
    ASSERT_EQ(doc->get_parseError(&cleared), S_OK);
    LONG code = -1;
    EXPECT_EQ(cleared->get_errorCode(&code), S_FALSE);
    EXPECT_EQ(code, 0);
    Bstr reason;
    EXPECT_EQ(cleared->get_reason(reason.Out()), S_FALSE);
    EXPECT_EQ(reason.get(), nullptr);
}

TEST_F(MsxmlTest, NodesAndViewsOutliveTheirDocumentAndAReload) {
    ComPtr<IXMLDOMElement> old;
    skyvane::XmlDocumentView view;
    {
        auto doc = Load(u"<old><x>kept</x></old>");
        old = Root(doc);
        view = skyvane::XmlDocumentView::Of(doc.Get());
        ASSERT_TRUE(view);
        Bstr again(u"<new/>");
        VARIANT_BOOL ok = VARIANT_FALSE;
        ASSERT_EQ(doc->loadXML(again, &ok), S_OK);
        EXPECT_EQ(TagName(Root(doc)), u"new");
        // A refused text leaves the document empty, the old nodes intact.
        Bstr bad(u"<broken>");
        EXPECT_EQ(doc->loadXML(bad, &ok), S_FALSE);
        ComPtr<IXMLDOMElement> none;
        EXPECT_EQ(doc->get_documentElement(&none), S_FALSE);
    }
    EXPECT_EQ(TagName(old), u"old");
    EXPECT_EQ(Text(old), u"kept");
    // The direct view still reads the first text.
    EXPECT_STREQ(view.Root().NameData(), "old");
    std::vector<skyvane::XmlChild> children;
    view.Root().AppendChildren(children);
    ASSERT_EQ(children.size(), 1u);
    std::string scratch;
    EXPECT_STREQ(children[0].name, "x");
    EXPECT_EQ(children[0].Text(scratch), "kept");

    // Only a document of this DOM with a root element has a view.
    EXPECT_FALSE(skyvane::XmlDocumentView::Of(NewDocument().Get()));
    EXPECT_FALSE(skyvane::XmlDocumentView::Of(old.Get()));
    EXPECT_FALSE(skyvane::XmlDocumentView::Of(nullptr));
}

TEST_F(MsxmlTest, DeepNestingDoesNotExhaustTheStack) {
    constexpr int depth = 200000;
    std::u16string text;
    for (int i = 0; i < depth; ++i) text += u"<a>";
    text += u"deep";
    for (int i = 0; i < depth; ++i) text += u"</a>";
    auto doc = Load(text);
    EXPECT_EQ(Text(Root(doc)), u"deep");
}

TEST_F(MsxmlTest, DocumentSettingsAndCreation) {
    auto doc = NewDocument();
    VARIANT_BOOL async = 0;
    EXPECT_EQ(doc->get_async(&async), S_OK);
    EXPECT_EQ(async, VARIANT_TRUE);
    EXPECT_EQ(doc->put_async(VARIANT_FALSE), S_OK);
    EXPECT_EQ(doc->get_async(&async), S_OK);
    EXPECT_EQ(async, VARIANT_FALSE);

    // The document is one object behind its node and document interfaces.
    ComPtr<IXMLDOMNode> asNode;
    ASSERT_EQ(doc.As(asNode), S_OK);
    EXPECT_TRUE(skyvane::IsSameObject(asNode.Get(), doc.Get()));
    ComPtr<IXMLDOMElement> notElement;
    EXPECT_EQ(doc.As(notElement), E_NOINTERFACE);

    // The DOM cannot be aggregated.
    ComPtr<IUnknown> inner;
    EXPECT_EQ(skyvane::CreateDOMDocument(doc.Get(), IID_IUnknown, reinterpret_cast<void**>(&inner)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
}

}  // namespace
