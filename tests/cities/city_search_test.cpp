// Reading the online city search's answer from a loaded DOM document.
#include "cities/city_search.h"

#include <gtest/gtest.h>

#include "platform/oleaut/bstr.h"
#include "test_util/test_util.h"

namespace skyvane::cities {
namespace {

ComPtr<IXMLDOMDocument> Load(std::u16string_view xml) {
    ComPtr<IXMLDOMDocument> doc;
    EXPECT_EQ(CreateDOMDocument(nullptr, IID_IXMLDOMDocument, reinterpret_cast<void**>(&doc)), S_OK);
    if (!doc) return doc;
    Bstr text(xml);
    VARIANT_BOOL ok = VARIANT_FALSE;
    doc->loadXML(text, &ok);
    return doc;
}

TEST(CitySearch, AddressEndsWithTheQueryKey) {
    EXPECT_EQ(CitySearchUrl(u"127.0.0.1:8765"), u"http://127.0.0.1:8765/search/search?where=");
}

TEST(CitySearch, EveryChildGivesACityInDocumentOrder) {
    auto doc = Load(
        u"<?xml version=\"1.0\"?>\n<search ver=\"3.0\">\n"
        u"  <loc id=\"USNY0996\" type=\"1\">New York, NY</loc>\n"
        u"  <!-- element names are not checked -->\n"
        u"  <city id=\"USNY1001\">New York <b>Mills</b>, NY</city>\n"
        u"  <loc type=\"1\">Nameless code</loc>\n"
        u"</search>");
    ASSERT_TRUE(doc);
    std::vector<FoundCity> cities;
    ASSERT_EQ(ReadCitySearchAnswer(doc.Get(), cities), S_OK);
    ASSERT_EQ(cities.size(), 3u);
    EXPECT_EQ(cities[0].code, u"USNY0996");
    EXPECT_EQ(cities[0].name, u"New York, NY");
    EXPECT_EQ(cities[1].code, u"USNY1001");
    EXPECT_EQ(cities[1].name, u"New York Mills, NY");  // the text of the whole element
    EXPECT_EQ(cities[2].code, u"");
    EXPECT_EQ(cities[2].name, u"Nameless code");
}

TEST(CitySearch, NoCityIsFileNotFound) {
    std::vector<FoundCity> cities{{u"stale", u"X"}};
    auto empty = Load(u"<search ver=\"3.0\"></search>");
    EXPECT_EQ(ReadCitySearchAnswer(empty.Get(), cities), static_cast<HRESULT>(0x80070002u));
    EXPECT_TRUE(cities.empty());
    auto onlyComment = Load(u"<search><!-- nothing --></search>");
    EXPECT_EQ(ReadCitySearchAnswer(onlyComment.Get(), cities), kNoCityFoundResult);
    auto notXml = Load(u"<search><loc");  // a document that did not load has no root
    EXPECT_EQ(ReadCitySearchAnswer(notXml.Get(), cities), kNoCityFoundResult);
    EXPECT_EQ(ReadCitySearchAnswer(nullptr, cities), E_POINTER);
}

TEST(CitySearch, LeavesNoDomObjectsBehind) {
    long before = LiveDomObjectCount();
    {
        auto doc = Load(u"<search><loc id=\"RSXX0091\">Moscow, Russia</loc></search>");
        std::vector<FoundCity> cities;
        ASSERT_EQ(ReadCitySearchAnswer(doc.Get(), cities), S_OK);
        EXPECT_EQ(cities[0].name, u"Moscow, Russia");
    }
    EXPECT_EQ(LiveDomObjectCount(), before);
}

}  // namespace
}  // namespace skyvane::cities
