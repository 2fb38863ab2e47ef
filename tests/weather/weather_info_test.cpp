// The weather record: initial values, accessor rules, loading each kind from
// one element, the archive list, the debug text, the interface levels,
// aggregation and late binding. Every test counts records and BSTRs.
#include "weather/weather_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/runtime.h"
#include "platform/msxml/msxml.h"
#include "platform/oleaut/variant.h"
#include "test_util/test_util.h"
#include "weather/weather_response.h"

using skyvane::Bstr;
using skyvane::ComPtr;

namespace skyvane::weather {
namespace {

class WeatherInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorInfo(0, nullptr);
        records_ = LiveWeatherInfoCount();
        bstrs_ = skyvane::LiveBstrCount();
        dom_ = skyvane::LiveDomObjectCount();
    }
    void TearDown() override {
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(LiveWeatherInfoCount(), records_) << "records leaked";
        EXPECT_EQ(skyvane::LiveDomObjectCount(), dom_) << "DOM objects leaked";
        EXPECT_EQ(skyvane::LiveBstrCount(), bstrs_) << "BSTRs leaked";
    }

    static ComPtr<IKWeatherInfo8> NewRecord() {
        ComPtr<IKWeatherInfo8> r;
        EXPECT_EQ(KWeatherInfo::Create(nullptr, IID_PPV_ARGS(&r)), S_OK);
        return r;
    }
    // The root element of a small document.
    static ComPtr<IXMLDOMElement> Element(std::u16string_view xml) {
        ComPtr<IXMLDOMDocument> doc;
        EXPECT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&doc)), S_OK);
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(doc->loadXML(Bstr(xml), &ok), S_OK);
        ComPtr<IXMLDOMElement> root;
        EXPECT_EQ(doc->get_documentElement(&root), S_OK);
        return root;
    }
    static ComPtr<IKWeatherInfo8> Loaded(std::u16string_view xml, KWeatherType type) {
        auto r = NewRecord();
        EXPECT_EQ(r->LoadFromXMLNode(Element(xml).Get(), type), S_OK);
        return r;
    }
    template <class Getter>
    static std::u16string Text(const ComPtr<IKWeatherInfo8>& r, Getter get) {
        BSTR b = reinterpret_cast<BSTR>(0xdeadbeef);
        EXPECT_EQ(((*r).*get)(&b), S_OK);
        return Bstr::Attach(b).Str();
    }
    template <class Getter>
    static bool IsNullText(const ComPtr<IKWeatherInfo8>& r, Getter get) {
        BSTR b = reinterpret_cast<BSTR>(0xdeadbeef);
        EXPECT_EQ(((*r).*get)(&b), S_OK);
        Bstr owned = Bstr::Attach(b == reinterpret_cast<BSTR>(0xdeadbeef) ? nullptr : b);
        return b == nullptr;
    }
    template <class T, class Getter>
    static T Value(const ComPtr<IKWeatherInfo8>& r, Getter get) {
        T v{};
        EXPECT_EQ(((*r).*get)(&v), S_OK);
        return v;
    }
    static std::u16string DebugInfo(const ComPtr<IKWeatherInfo8>& r) { return Text(r, &IKWeatherInfo8::get_DebugInfo); }

private:
    // Error objects look class names up in the registry: a device of its own.
    skyvane::test::ScopedDeviceRoot root_;
    long records_ = 0, bstrs_ = 0, dom_ = 0;
};

using I = IKWeatherInfo8;
// Getters and setters of one type, from whichever level declares them.
using DateGet = HRESULT (STDMETHODCALLTYPE I::*)(DATE*);
using IntGet = HRESULT (STDMETHODCALLTYPE I::*)(INT*);
using LongGet = HRESULT (STDMETHODCALLTYPE I::*)(LONG*);
using TextGet = HRESULT (STDMETHODCALLTYPE I::*)(BSTR*);
using TextPut = HRESULT (STDMETHODCALLTYPE I::*)(BSTR);

TEST_F(WeatherInfoTest, AFreshRecordHoldsTheNotAvailableValues) {
    auto r = NewRecord();
    EXPECT_EQ(Value<KWeatherType>(r, &I::get_Type), KWUnknown);
    EXPECT_EQ(Value<double>(r, &I::get_TempLow), 999999.0);
    EXPECT_EQ(Value<double>(r, &I::get_TempHigh), 999999.0);
    EXPECT_EQ(Value<double>(r, &I::get_CCPressure), 999999.0);
    EXPECT_EQ(Value<double>(r, &I::get_CCWindChill), 999999.0);
    EXPECT_EQ(Value<double>(r, &I::get_CCHeatIndex), 999999.0);
    for (DateGet get : std::initializer_list<DateGet>{&I::get_Date, &I::get_Sunrise, &I::get_Sunset, &I::get_ForecastDate, &I::get_MoonRise,
                     &I::get_MoonSet})
        EXPECT_EQ(Value<DATE>(r, get), -1.0);
    EXPECT_EQ(Value<DATE>(r, &I::get_AlertEnd), 0.0);
    EXPECT_EQ(Value<INT>(r, &I::get_GMT), -255);
    EXPECT_EQ(Value<INT>(r, &I::get_MapIdx), 0);
    for (IntGet get : std::initializer_list<IntGet>{&I::get_Icon, &I::get_Humidity, &I::get_WindSpeed, &I::get_WindPorivy, &I::get_WindDirection,
                     &I::get_CCTempFeelsLike, &I::get_CCVisibility, &I::get_CCUVIndex, &I::get_CCTochkaRosy,
                     &I::get_CCMoonIcon, &I::get_Icon2})
        EXPECT_EQ(Value<INT>(r, get), -1);
    for (LongGet get : std::initializer_list<LongGet>{&I::get_VeroyatnostOsadkov, &I::get_MoonPhaseIndex})
        EXPECT_EQ(Value<LONG>(r, get), -1);
    for (TextGet get : std::initializer_list<TextGet>{&I::get_SuppliedString, &I::get_LocationName, &I::get_Text, &I::get_WindText,
                     &I::get_CCPressureText, &I::get_CCUVText, &I::get_CCMoonText, &I::get_Description,
                     &I::get_AlertType, &I::get_Bulletin, &I::get_USLoc, &I::get_MoonPhaseText, &I::get_MapURL,
                     &I::get_MapName})
        EXPECT_TRUE(IsNullText(r, get));
    EXPECT_EQ(r->BeginArchive(nullptr), S_FALSE);
    INT hours = 77, value = 77;
    EXPECT_EQ(r->get_NextArchive(&hours, &value), S_FALSE);
    EXPECT_EQ(hours, 77);  // nothing written at the end
    EXPECT_EQ(value, 77);
}

TEST_F(WeatherInfoTest, SettersFollowTheirRules) {
    auto r = NewRecord();
    // Type cannot be set, before or after a load.
    EXPECT_EQ(r->put_Type(KWDay), E_NOTIMPL);
    EXPECT_EQ(Value<KWeatherType>(r, &I::get_Type), KWUnknown);
    ASSERT_EQ(r->LoadFromXMLNode(Element(u"<cc/>").Get(), KWCurrent), S_OK);
    EXPECT_EQ(r->put_Type(KWMap), E_NOTIMPL);
    EXPECT_EQ(Value<KWeatherType>(r, &I::get_Type), KWCurrent);

    // SuppliedString: NULL keeps the text.
    EXPECT_EQ(r->put_SuppliedString(Bstr(u"10/22/11 4:50 PM Local Time")), S_OK);
    EXPECT_EQ(r->put_SuppliedString(nullptr), S_OK);
    EXPECT_EQ(Text(r, &I::get_SuppliedString), u"10/22/11 4:50 PM Local Time");
    // USLoc: NULL is refused and keeps the text.
    EXPECT_EQ(r->put_USLoc(Bstr(u"Moscow")), S_OK);
    EXPECT_EQ(r->put_USLoc(nullptr), E_POINTER);
    EXPECT_EQ(Text(r, &I::get_USLoc), u"Moscow");
    // LocationName, MapURL, MapName: NULL empties.
    for (auto [put, get] : {std::pair<TextPut, TextGet>{&I::put_LocationName, &I::get_LocationName},
                            std::pair<TextPut, TextGet>{&I::put_MapURL, &I::get_MapURL},
                            std::pair<TextPut, TextGet>{&I::put_MapName, &I::get_MapName}}) {
        EXPECT_EQ(((*r).*put)(Bstr(u"x")), S_OK);
        EXPECT_EQ(((*r).*put)(nullptr), S_OK);
        EXPECT_TRUE(IsNullText(r, get));
    }
    // Null out-pointers.
    EXPECT_EQ(r->get_TempLow(nullptr), E_POINTER);
    EXPECT_EQ(r->get_Text(nullptr), E_POINTER);
    EXPECT_EQ(r->get_DebugInfo(nullptr), E_POINTER);
    INT one = 0;
    EXPECT_EQ(r->get_NextArchive(nullptr, &one), E_POINTER);
    EXPECT_EQ(r->get_NextArchive(&one, nullptr), E_POINTER);
}

TEST_F(WeatherInfoTest, LoadFromXMLNodeChecksTypeFirstThenTheNode) {
    auto r = NewRecord();
    auto cc = Element(u"<cc><tmp>3</tmp></cc>");
    EXPECT_EQ(r->LoadFromXMLNode(cc.Get(), KWUnknown), E_INVALIDARG);
    EXPECT_EQ(Value<double>(r, &I::get_TempLow), 999999.0);  // nothing changed

    EXPECT_EQ(r->LoadFromXMLNode(nullptr, KWDay), E_NOINTERFACE);
    EXPECT_EQ(Value<KWeatherType>(r, &I::get_Type), KWDay);  // the type is stored first

    // A text node is a node but not an element.
    ComPtr<IXMLDOMNode> text;
    ASSERT_EQ(cc->get_firstChild(&text), S_OK);
    ComPtr<IXMLDOMNode> inner;
    ASSERT_EQ(text->get_firstChild(&inner), S_OK);
    EXPECT_EQ(r->LoadFromXMLNode(inner.Get(), KWCurrent), E_NOINTERFACE);

    // An object that is no DOM node at all, and a document, which is a node
    // but not an element.
    auto other = NewRecord();
    EXPECT_EQ(r->LoadFromXMLNode(other.Get(), KWCurrent), E_NOINTERFACE);
    ComPtr<IXMLDOMDocument> doc;
    ASSERT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&doc)), S_OK);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(doc->loadXML(Bstr(u"<cc><tmp>3</tmp></cc>"), &ok), S_OK);
    EXPECT_EQ(r->LoadFromXMLNode(doc.Get(), KWCurrent), E_NOINTERFACE);
    EXPECT_EQ(Value<double>(r, &I::get_TempLow), 999999.0);

    // The failure is described for the caller.
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    GUID guid{};
    EXPECT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_EQ(guid, IID_IKWeatherInfo);
}

TEST_F(WeatherInfoTest, CurrentConditionsRecord) {
    auto r = Loaded(u"<cc><lsup>10/22/11 4:30 PM Local Time</lsup><obst>Moscow, RS</obst><tmp>3</tmp>"
                    u"<flik>-1</flik><t>Light Rain</t><icon>11</icon><i2>12</i2>"
                    u"<bar><r>1012.9</r><d>rising</d></bar>"
                    u"<wind><s>14</s><gust>N/A</gust><d>250</d><t>WSW</t></wind><hmid>87</hmid><vis>9.7</vis>"
                    u"<uv><i>0</i><t>Low</t></uv><dewp>1</dewp><moon><icon>25</icon><t>Waning</t></moon>"
                    u"<GMT>4</GMT><sR>7:58 AM</sR><sS>5:09 PM</sS><WINDCHILL>-1.7</WINDCHILL>"
                    u"<HEATINDEX>58.7</HEATINDEX></cc>",
                    KWCurrent);
    EXPECT_EQ(Value<KWeatherType>(r, &I::get_Type), KWCurrent);
    EXPECT_EQ(Text(r, &I::get_SuppliedString), u"10/22/11 4:30 PM Local Time");
    EXPECT_DOUBLE_EQ(Value<DATE>(r, &I::get_ForecastDate), 40838.0 + (16 * 60 + 30) / 1440.0);
    EXPECT_EQ(Value<DATE>(r, &I::get_Date), -1.0);
    EXPECT_EQ(Value<double>(r, &I::get_TempLow), 3.0);
    EXPECT_EQ(Value<double>(r, &I::get_TempHigh), 3.0);
    EXPECT_EQ(Value<INT>(r, &I::get_CCTempFeelsLike), -1);
    EXPECT_EQ(Text(r, &I::get_Text), u"Light Rain");
    EXPECT_EQ(Value<INT>(r, &I::get_Icon), 11);
    EXPECT_EQ(Value<INT>(r, &I::get_Icon2), 12);
    EXPECT_EQ(Value<double>(r, &I::get_CCPressure), double(1012.9f));
    EXPECT_EQ(Text(r, &I::get_CCPressureText), u"rising");
    EXPECT_EQ(Value<INT>(r, &I::get_WindSpeed), 14);
    EXPECT_EQ(Value<INT>(r, &I::get_WindPorivy), -1);
    EXPECT_EQ(Value<INT>(r, &I::get_WindDirection), 250);
    EXPECT_EQ(Text(r, &I::get_WindText), u"WSW");
    EXPECT_EQ(Value<INT>(r, &I::get_Humidity), 87);
    EXPECT_EQ(Value<INT>(r, &I::get_CCVisibility), 9);  // truncated
    EXPECT_EQ(Value<INT>(r, &I::get_CCUVIndex), 0);
    EXPECT_EQ(Text(r, &I::get_CCUVText), u"Low");
    EXPECT_EQ(Value<INT>(r, &I::get_CCTochkaRosy), 1);
    EXPECT_EQ(Value<INT>(r, &I::get_CCMoonIcon), -1);  // the moon block is never read
    EXPECT_TRUE(IsNullText(r, &I::get_CCMoonText));
    EXPECT_EQ(Value<INT>(r, &I::get_GMT), 4);
    EXPECT_DOUBLE_EQ(Value<DATE>(r, &I::get_Sunrise), (7 * 60 + 58) / 1440.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(r, &I::get_Sunset), (17 * 60 + 9) / 1440.0);
    EXPECT_EQ(Value<double>(r, &I::get_CCWindChill), -1.0);  // truncated toward zero
    EXPECT_EQ(Value<double>(r, &I::get_CCHeatIndex), 58.0);

    // Not-available texts and numbers of the feed.
    auto na = Loaded(u"<cc><tmp>N/A</tmp><flik>N/A</flik><vis>Unlimited</vis><GMT>N/A</GMT>"
                     u"<WINDCHILL>N/A</WINDCHILL><bar><r>N/A</r></bar></cc>",
                     KWCurrent);
    EXPECT_EQ(Value<double>(na, &I::get_TempLow), 999999.0);
    EXPECT_EQ(Value<double>(na, &I::get_TempHigh), 999999.0);
    EXPECT_EQ(Value<INT>(na, &I::get_CCTempFeelsLike), -1);
    EXPECT_EQ(Value<INT>(na, &I::get_CCVisibility), 999999);
    EXPECT_EQ(Value<INT>(na, &I::get_GMT), -1);  // a failed read, not the initial -255
    EXPECT_EQ(Value<double>(na, &I::get_CCWindChill), 999999.0);
    EXPECT_EQ(Value<double>(na, &I::get_CCPressure), 999999.0);
}

TEST_F(WeatherInfoTest, DayNightAndHourRecordsReadTheirParts) {
    const std::u16string_view day =
        u"<day d=\"0\" t=\"Saturday\" dt=\"Oct 22\"><hi>75F</hi><low>3</low><sunr>7:58 AM</sunr>"
        u"<suns>5:09 PM</suns><moonr>2:14 AM</moonr><moons>4:38 PM</moons><moonp>25</moonp>"
        u"<moonpt>Waning Crescent</moonpt><ui>2</ui>"
        u"<part p=\"d\"><icon>26</icon><t>Cloudy</t><desc>Cloudy day.</desc><ppcp>10</ppcp><hmid>85</hmid>"
        u"<wind><s>14</s><gust>30</gust><d>315</d><t>NW</t></wind><uvidx>1</uvidx><uvtxt>Low</uvtxt></part>"
        u"<part p=\"n\"><icon>11</icon><t>Light Rain</t><ppcp>60</ppcp></part>"
        u"<part><icon>99</icon></part></day>";
    auto d = Loaded(day, KWDay);
    EXPECT_EQ(Value<double>(d, &I::get_TempHigh), 75.0);  // no conversion outside hour records
    EXPECT_EQ(Value<double>(d, &I::get_TempLow), 3.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(d, &I::get_Sunrise), (7 * 60 + 58) / 1440.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(d, &I::get_Sunset), (17 * 60 + 9) / 1440.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(d, &I::get_MoonRise), (2 * 60 + 14) / 1440.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(d, &I::get_MoonSet), (16 * 60 + 38) / 1440.0);
    EXPECT_EQ(Value<LONG>(d, &I::get_MoonPhaseIndex), 25);
    EXPECT_EQ(Text(d, &I::get_MoonPhaseText), u"Waning Crescent");
    EXPECT_EQ(Value<INT>(d, &I::get_Icon), 26);
    EXPECT_EQ(Text(d, &I::get_Text), u"Cloudy");
    EXPECT_EQ(Text(d, &I::get_Description), u"Cloudy day.");
    EXPECT_EQ(Value<LONG>(d, &I::get_VeroyatnostOsadkov), 10);
    EXPECT_EQ(Value<INT>(d, &I::get_WindPorivy), 30);
    EXPECT_EQ(Value<INT>(d, &I::get_CCUVIndex), 1);  // the part's uvidx comes after the day's ui

    auto n = Loaded(day, KWNight);
    EXPECT_EQ(Value<INT>(n, &I::get_Icon), 11);
    EXPECT_EQ(Text(n, &I::get_Text), u"Light Rain");
    EXPECT_EQ(Value<LONG>(n, &I::get_VeroyatnostOsadkov), 60);
    EXPECT_TRUE(IsNullText(n, &I::get_Description));
    EXPECT_EQ(Value<INT>(n, &I::get_CCUVIndex), 2);  // only the day-level ui
    EXPECT_EQ(Value<double>(n, &I::get_TempHigh), 75.0);

    // An hour reads every part with a "p", the later overwriting; "F" converts.
    auto h = Loaded(day, KWHBH);
    EXPECT_DOUBLE_EQ(Value<double>(h, &I::get_TempHigh), 215.0 / 9);
    EXPECT_EQ(Value<double>(h, &I::get_TempLow), 3.0);
    EXPECT_EQ(Value<INT>(h, &I::get_Icon), 11);
    EXPECT_EQ(Text(h, &I::get_Description), u"Cloudy day.");  // not overwritten: the night part has none
    EXPECT_EQ(Value<LONG>(h, &I::get_VeroyatnostOsadkov), 60);
}

TEST_F(WeatherInfoTest, LocalAlertAndMapRecords) {
    auto loc = Loaded(u"<loc id=\"RSXX0091\"><dnam>Moscow, Russia</dnam><tm>4:55 PM</tm><tmp>3</tmp>"
                      u"<sunr>7:58 AM</sunr><suns>5:09 PM</suns><zone>4</zone></loc>",
                      KWLocal);
    EXPECT_EQ(Text(loc, &I::get_LocationName), u"Moscow, Russia");
    EXPECT_DOUBLE_EQ(Value<DATE>(loc, &I::get_Date), (16 * 60 + 55) / 1440.0);
    EXPECT_EQ(Value<double>(loc, &I::get_TempHigh), 3.0);
    EXPECT_DOUBLE_EQ(Value<DATE>(loc, &I::get_Sunset), (17 * 60 + 9) / 1440.0);

    auto alert = Loaded(u"<WatchesWarnings Type=\"Wind Advisory\" Bulletin=\"...WIND...\" "
                        u"StartTime=\"11:10:22:18:00:00\" EndTime=\"11:10:23:06:00:00\"/>",
                        KWAlert);
    EXPECT_EQ(Value<INT>(alert, &I::get_Icon), 50);
    EXPECT_EQ(Text(alert, &I::get_AlertType), u"Wind Advisory");
    EXPECT_EQ(Text(alert, &I::get_Bulletin), u"...WIND...");
    EXPECT_DOUBLE_EQ(Value<DATE>(alert, &I::get_Date), 40838.75);
    EXPECT_DOUBLE_EQ(Value<DATE>(alert, &I::get_AlertEnd), 40839.25);
    // Another element as an alert: only the icon.
    auto other = Loaded(u"<Advisory Type=\"x\" StartTime=\"11:10:22:18:00:00\"/>", KWAlert);
    EXPECT_EQ(Value<INT>(other, &I::get_Icon), 50);
    EXPECT_TRUE(IsNullText(other, &I::get_AlertType));
    EXPECT_EQ(Value<DATE>(other, &I::get_Date), -1.0);

    auto map = Loaded(u"<MAP id=\"7\" name=\"Europe Radar\">http://maps.example/radar.jpg</MAP>", KWMap);
    EXPECT_EQ(Value<INT>(map, &I::get_MapIdx), 7);
    EXPECT_EQ(Text(map, &I::get_MapName), u"Europe Radar");
    EXPECT_EQ(Text(map, &I::get_MapURL), u"http://maps.example/radar.jpg");
    EXPECT_GT(Value<DATE>(map, &I::get_Date), 40000.0);  // the time of reading
    // No name: the id stands in; no text: no address.
    auto bare = Loaded(u"<MAP id=\"12\"></MAP>", KWMap);
    EXPECT_EQ(Text(bare, &I::get_MapName), u"12");
    EXPECT_TRUE(IsNullText(bare, &I::get_MapURL));
    // A UTF-8 name read as the code page is mended; a name that cannot have
    // come that way is kept as read.
    auto mojibake = Loaded(u"<MAP id=\"1\" name=\"Z\u00C3\u00BCrich Radar\">u</MAP>", KWMap);
    EXPECT_EQ(Text(mojibake, &I::get_MapName), u"Z\u00FCrich Radar");
    auto cyrillic = Loaded(u"<MAP id=\"1\" name=\"\u041C\u043E\u0441\u043A\u0432\u0430\">u</MAP>", KWMap);
    EXPECT_EQ(Text(cyrillic, &I::get_MapName), u"\u041C\u043E\u0441\u043A\u0432\u0430");
    auto latin1 = Loaded(u"<MAP id=\"1\" name=\"Z\u00FCrich\">u</MAP>", KWMap);
    EXPECT_EQ(Text(latin1, &I::get_MapName), u"Z\u00FCrich");
}

TEST_F(WeatherInfoTest, ArchiveListReplaysAfterBeginArchive) {
    auto pa = Loaded(u"<pa><p1 v=\"30.1\"/><p2 v=\"N/A\"/><p9999 v=\"29\"/><x3 v=\"1\"/><p4/><p5 v=\"-2.9\"/></pa>",
                     KWPressureArchive);
    EXPECT_EQ(pa->BeginArchive(nullptr), S_OK);
    INT hours = 0, value = 0;
    ASSERT_EQ(pa->get_NextArchive(&hours, &value), S_OK);
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(value, 30);
    ASSERT_EQ(pa->get_NextArchive(&hours, &value), S_OK);
    EXPECT_EQ(hours, 5);
    EXPECT_EQ(value, -2);
    EXPECT_EQ(pa->get_NextArchive(&hours, &value), S_FALSE);
    EXPECT_EQ(pa->get_NextArchive(&hours, &value), S_FALSE);  // stays at the end
    EXPECT_EQ(pa->BeginArchive(Bstr(u"ignored")), S_OK);
    ASSERT_EQ(pa->get_NextArchive(&hours, &value), S_OK);
    EXPECT_EQ(hours, 1);

    // The element must carry the archive's own name; a reload clears the list.
    auto wrong = Loaded(u"<ta><t1 v=\"3\"/></ta>", KWPressureArchive);
    EXPECT_EQ(wrong->BeginArchive(nullptr), S_FALSE);
    ASSERT_EQ(pa->LoadFromXMLNode(Element(u"<ta><t1 v=\"3\"/></ta>").Get(), KWTempArchive), S_OK);
    ASSERT_EQ(pa->get_NextArchive(&hours, &value), S_OK);
    EXPECT_EQ(hours, 1);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(pa->get_NextArchive(&hours, &value), S_FALSE);

    // Another kind of record has no list.
    auto day = Loaded(u"<day><p1 v=\"3\"/></day>", KWDay);
    EXPECT_EQ(day->BeginArchive(nullptr), S_FALSE);
    EXPECT_EQ(day->get_NextArchive(&hours, &value), S_FALSE);
}

TEST_F(WeatherInfoTest, NeverFilledPropertiesStayNotAvailable) {
    auto r = Loaded(u"<cc><IconEx>5</IconEx><GolfIndex>3</GolfIndex><cl>x</cl><moon><icon>2</icon></moon></cc>",
                    KWCurrent);
    for (LongGet get : std::initializer_list<LongGet>{&I::get_IconEx, &I::get_GolfIndex, &I::get_CC, &I::get_PPCP, &I::get_PSNow, &I::get_ppcp3h,
                     &I::get_ppcp6h, &I::get_ppcp24h, &I::get_max6h, &I::get_min24h, &I::get_min6h})
        EXPECT_EQ(Value<LONG>(r, get), -1);
    for (TextGet get : std::initializer_list<TextGet>{&I::get_GolfText, &I::get_ShortText, &I::get_StationIndex, &I::get_cl, &I::get_CCMoonText})
        EXPECT_TRUE(IsNullText(r, get));
    EXPECT_EQ(Value<INT>(r, &I::get_CCMoonIcon), -1);
}

TEST_F(WeatherInfoTest, DebugInfoHasItsExactForm) {
    EXPECT_EQ(DebugInfo(NewRecord()),
              u"Info = KWUnknown\n\rDate:NA\n\rMade at:NA\n\rSunrise:NA Sunset:NA\n\rTempLow:NA TempHIGH:NA\n\r"
              u"CURRENT:Temp feels like:-1; Text:(Icon:-1);\n\rText:;Pressure:0.000000\n\r"
              u"Wind speed:-1; Text:;\n\rPoryvu do:-1;Direction:-1\n\r"
              u"Humidity:-1;Veroyatn.Osakdov:-1;visibility:-1;Tochka rosy:-1UV Index:-1; UV Text:");

    auto cc = Loaded(u"<cc><lsup>10/22/11 4:30 PM Local Time</lsup><tmp>3</tmp><flik>-1</flik><t>Light Rain</t>"
                     u"<icon>11</icon><bar><r>1012.5</r><d>rising</d></bar>"
                     u"<wind><s>14</s><gust>N/A</gust><d>250</d><t>WSW</t></wind><hmid>87</hmid><vis>9.0</vis>"
                     u"<uv><i>0</i><t>Low</t></uv><dewp>1</dewp><sR>7:58 AM</sR><sS>5:09 PM</sS></cc>",
                     KWCurrent);
    EXPECT_EQ(DebugInfo(cc),
              u"Info = KWCurrent\n\rDate:NA\n\rMade at:10/22/2011 4:30:00 PM\n\r"
              u"Sunrise:7:58:00 AM Sunset:5:09:00 PM\n\rTempLow:3.000000 TempHIGH:3.000000\n\r"
              u"CURRENT:Temp feels like:-1; Text:Light Rain(Icon:11);\n\rText:rising;Pressure:1012.500000\n\r"
              u"Wind speed:14; Text:WSW;\n\rPoryvu do:-1;Direction:250\n\r"
              u"Humidity:87;Veroyatn.Osakdov:-1;visibility:9;Tochka rosy:1UV Index:0; UV Text:Low");

    // The location name leads without a line end; a whole date shows alone;
    // kinds past KWHBH have no heading.
    auto loc = NewRecord();
    ASSERT_EQ(loc->LoadFromXMLNode(Element(u"<loc><dnam>Moscow</dnam></loc>").Get(), KWLocal), S_OK);
    ASSERT_EQ(loc->put_Date(40838.0), S_OK);
    EXPECT_EQ(DebugInfo(loc).substr(0, 37), u"Info = KWLocal\n\rMoscowDate:10/22/2011");
    auto map = Loaded(u"<MAP id=\"1\"/>", KWMap);
    EXPECT_EQ(DebugInfo(map).substr(0, 5), u"Date:");
}

TEST_F(WeatherInfoTest, EveryLevelIsOneObjectWithOnePointer) {
    auto r = Loaded(u"<cc/>", KWCurrent);
    const IID* levels[] = {&IID_IKWeatherInfo,  &IID_IKWeatherInfo2, &IID_IKWeatherInfo3, &IID_IKWeatherInfo4,
                           &IID_IKWeatherInfo5, &IID_IKWeatherInfo6, &IID_IKWeatherInfo7, &IID_IDispatch};
    for (const IID* iid : levels) {
        void* p = nullptr;
        ASSERT_EQ(r->QueryInterface(*iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void*>(r.Get()));
        static_cast<IUnknown*>(p)->Release();
    }
    ComPtr<IKWeatherInfo3> level3;
    ASSERT_EQ(r.As(level3), S_OK);
    KWeatherType type = KWUnknown;
    EXPECT_EQ(level3->get_Type(&type), S_OK);
    EXPECT_EQ(type, KWCurrent);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(r.As(support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IKWeatherInfo5), S_OK);
    ComPtr<IKWeatherResponse> none;
    EXPECT_EQ(r.As(none), E_NOINTERFACE);
}

TEST_F(WeatherInfoTest, LateBoundCallsReachTheMembersByNameAndDispid) {
    auto r = Loaded(u"<pa><p3 v=\"1011\"/></pa>", KWPressureArchive);
    ComPtr<IDispatch> disp;
    ASSERT_EQ(r.As(disp), S_OK);

    LPOLESTR name = const_cast<LPOLESTR>(u"nextarchive");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 46);

    // One argument, DISPATCH_PROPERTYGET or DISPATCH_METHOD.
    auto call = [&](DISPID member, WORD flags, VARIANT arg, VARIANT* result) {
        DISPPARAMS params{&arg, nullptr, 1, 0};
        return disp->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    };
    auto byReference = [](VARTYPE vt, void* target) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BYREF | vt;
        v.byref = target;
        return v;
    };
    // NextArchive: iHoursBack by reference, the value as the result.
    INT hours = 0;
    skyvane::Variant result;
    ASSERT_EQ(call(46, DISPATCH_PROPERTYGET, byReference(VT_I4, &hours), &result), S_OK);
    EXPECT_EQ(hours, 3);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 1011);

    // A VARIANT by reference that leads to another one (here to itself) is
    // refused, as an [in, out] and as an [in] argument.
    VARIANT loop = byReference(VT_VARIANT, nullptr);
    loop.pvarVal = &loop;
    skyvane::Variant refused;
    EXPECT_EQ(call(46, DISPATCH_PROPERTYGET, loop, &refused), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call(47, DISPATCH_METHOD, loop, nullptr), DISP_E_TYPEMISMATCH);

    // Date comes back as a date.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    skyvane::Variant date;
    ASSERT_EQ(disp->Invoke(4, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &date, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(date.vt, VT_DATE);
    EXPECT_EQ(date.date, -1.0);

    // The Type setter fails as an exception carrying E_NOTIMPL.
    skyvane::Variant value = skyvane::Variant::I4(KWDay);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS putParams{&value, &put, 1, 1};
    EXCEPINFO excep{};
    EXPECT_EQ(disp->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &putParams, nullptr, &excep,
                           nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_NOTIMPL);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
}

TEST_F(WeatherInfoTest, TheResponseShellProducesNothing) {
    ComPtr<IKWeatherResponse> response;
    ASSERT_EQ(KWeatherResponse::Create(nullptr, IID_PPV_ARGS(&response)), S_OK);
    IUnknown* out = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(response->GetWeatherInfo(40838.0, &out), S_OK);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(response->GetWeatherInfo(40838.0, nullptr), S_OK);
    ComPtr<IDispatch> disp;
    ASSERT_EQ(response.As(disp), S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(u"GetWeatherInfo");
    DISPID id = 0;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 1);
}

}  // namespace
}  // namespace skyvane::weather
