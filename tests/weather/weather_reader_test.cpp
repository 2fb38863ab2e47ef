// The response reader on whole answers: the realistic Moscow answer, the odd
// New York answer, "err" and broken documents, and the error objects that
// describe failures. Every test counts records, DOM objects and BSTRs.
#include "weather/weather_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/test_util.h"
#include "weather/kweather_interfaces.h"
#include "weather/weather_info.h"
#include "weather/foreign_dom.h"
#include "weather/record_dump.h"

using skyvane::Bstr;
using skyvane::ComPtr;

namespace skyvane::weather {
namespace {

constexpr DATE kOct22 = 40838.0;  // 22 October 2011
constexpr double kMinute = 1.0 / 1440;

std::u16string ReadDocument(const char* name) {
    std::ifstream in(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return skyvane::FromUtf8(bytes.str());
}

struct ErrorObject {
    GUID guid{};
    std::u16string source;
    std::u16string description;
};

// The calling thread's error object (taken, so that it is cleared).
ErrorObject TakeError() {
    ErrorObject e;
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, &info), S_OK);
    if (!info) return e;
    info->GetGUID(&e.guid);
    Bstr source, description;
    info->GetSource(source.Out());
    info->GetDescription(description.Out());
    e.source = source.Str();
    e.description = description.Str();
    return e;
}

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Local time stands at 22 October 2011 17:00 for alerts and maps.
        ASSERT_TRUE(skyvane::testclock::Enable(root_.path() + "/clock"));
        SYSTEMTIME now{2011, 10, 6, 22, 17, 0, 0, 0};
        ASSERT_TRUE(skyvane::testclock::SetLocalTime(now));
        ASSERT_TRUE(skyvane::testclock::Freeze(true));
        SetErrorInfo(0, nullptr);
        records_ = LiveWeatherInfoCount();
        dom_ = skyvane::LiveDomObjectCount();
        bstrs_ = skyvane::LiveBstrCount();
    }
    void TearDown() override {
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(LiveWeatherInfoCount(), records_) << "records leaked";
        EXPECT_EQ(skyvane::LiveDomObjectCount(), dom_) << "DOM objects leaked";
        EXPECT_EQ(skyvane::LiveBstrCount(), bstrs_) << "BSTRs leaked";
        skyvane::testclock::Disable();
    }

    static ComPtr<IXMLDOMDocument> Load(const std::u16string& text) {
        ComPtr<IXMLDOMDocument> doc;
        EXPECT_EQ(LoadWeatherDocument(Bstr(text), &doc), S_OK);
        return doc;
    }
    // Every record of a document, in the enumerator's order.
    static std::vector<ComPtr<IKWeatherInfo8>> Records(const ComPtr<IXMLDOMDocument>& doc) {
        std::vector<ComPtr<IKWeatherInfo8>> out;
        ComPtr<IEnumUnknown> records;
        EXPECT_EQ(BuildWeatherRecords(doc.Get(), &records), S_OK);
        if (!records) return out;
        records->Reset();
        ComPtr<IUnknown> item;
        ULONG fetched = 0;
        while (records->Next(1, &item, &fetched) == S_OK) {
            ComPtr<IKWeatherInfo8> info;
            EXPECT_EQ(item.As(info), S_OK);
            out.push_back(info);
        }
        return out;
    }
    static std::vector<ComPtr<IKWeatherInfo8>> Records(const std::u16string& text) { return Records(Load(text)); }

    static KWeatherType Type(const ComPtr<IKWeatherInfo8>& r) {
        KWeatherType t = KWUnknown;
        EXPECT_EQ(r->get_Type(&t), S_OK);
        return t;
    }
    template <class T, class R>
    static T Get(const ComPtr<IKWeatherInfo8>& r, HRESULT (STDMETHODCALLTYPE R::*get)(T*)) {
        T v{};
        EXPECT_EQ(((*r).*get)(&v), S_OK);
        return v;
    }
    template <class R>
    static std::u16string Text(const ComPtr<IKWeatherInfo8>& r, HRESULT (STDMETHODCALLTYPE R::*get)(BSTR*)) {
        Bstr b;
        EXPECT_EQ(((*r).*get)(b.Out()), S_OK);
        return b.Str();
    }
    static std::vector<std::pair<int, int>> Archive(const ComPtr<IKWeatherInfo8>& r) {
        std::vector<std::pair<int, int>> out;
        r->BeginArchive(nullptr);
        INT hours = 0, value = 0;
        while (r->get_NextArchive(&hours, &value) == S_OK) out.emplace_back(hours, value);
        return out;
    }

private:
    skyvane::test::ScopedDeviceRoot root_;
    long records_ = 0, dom_ = 0, bstrs_ = 0;
};

using I = IKWeatherInfo8;

TEST_F(ReaderTest, FullAnswerYieldsEveryRecordInOrder) {
    auto records = Records(ReadDocument("weather_moscow.xml"));
    // The root's children in document order (loc, cc, dayf, hh, alerts, pa,
    // ta, wa), then the maps.
    std::vector<KWeatherType> expected = {KWLocal, KWCurrent};
    for (int d = 0; d < 10; ++d) {
        expected.push_back(KWDay);
        expected.push_back(KWNight);
    }
    expected.insert(expected.end(), 48, KWHBH);
    expected.insert(expected.end(), {KWAlert, KWAlert, KWPressureArchive, KWTempArchive, KWWindchillArchive, KWMap,
                                     KWMap, KWMap, KWMap});
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(Type(records[i]), expected[i]) << "record " << i;

    const auto& loc = records[0];
    EXPECT_EQ(Text(loc, &I::get_LocationName), u"Moscow, Russia");
    EXPECT_DOUBLE_EQ(Get(loc, &I::get_Date), (16 * 60 + 55) * kMinute);

    // The current conditions come before the forecast block: no update location.
    const auto& cc = records[1];
    EXPECT_EQ(Get(cc, &I::get_TempLow), 3.0);
    EXPECT_EQ(Get(cc, &I::get_Date), -1.0);
    EXPECT_DOUBLE_EQ(Get(cc, &I::get_ForecastDate), kOct22 + (16 * 60 + 30) * kMinute);
    EXPECT_EQ(Text(cc, &I::get_USLoc), u"");
    EXPECT_EQ(Get(cc, &I::get_GMT), 4);

    // "10/22/11 4:50 PM Local Time" with d 0 and 1: 22 and 23 October at
    // midnight, issued 22 October 16:50.
    const DATE issued = kOct22 + (16 * 60 + 50) * kMinute;
    for (int i = 0; i < 4; ++i) {
        const auto& r = records[2 + i];
        EXPECT_EQ(Get(r, &I::get_Date), kOct22 + i / 2) << i;
        EXPECT_DOUBLE_EQ(Get(r, &I::get_ForecastDate), issued);
        EXPECT_EQ(Text(r, &I::get_SuppliedString), u"10/22/11 4:50 PM Local Time");
        EXPECT_EQ(Text(r, &I::get_USLoc), u"Moscow, Russia");
    }
    EXPECT_EQ(Get(records[21], &I::get_Date), kOct22 + 9);
    // Today's high is no longer given in the afternoon.
    EXPECT_EQ(Get(records[2], &I::get_TempHigh), 999999.0);
    EXPECT_EQ(Get(records[2], &I::get_Icon), 44);
    EXPECT_EQ(Get(records[3], &I::get_Icon), 11);
    EXPECT_EQ(Text(records[3], &I::get_Text), u"Light Rain");

    // Hours: dated by "dt", issued at the block's base date, no update location.
    const auto& firstHour = records[22];
    EXPECT_DOUBLE_EQ(Get(firstHour, &I::get_Date), kOct22 + 17.0 / 24);
    EXPECT_DOUBLE_EQ(Get(firstHour, &I::get_ForecastDate), issued);
    EXPECT_EQ(Text(firstHour, &I::get_USLoc), u"");
    EXPECT_EQ(Text(firstHour, &I::get_SuppliedString), u"10/22/11 4:50 PM Local Time");
    EXPECT_DOUBLE_EQ(Get(records[69], &I::get_Date), kOct22 + 2 + 16.0 / 24);

    EXPECT_EQ(Text(records[70], &I::get_AlertType), u"Wind Advisory");

    // Archives come after the forecast block: they carry its update location.
    const auto& pa = records[72];
    EXPECT_EQ(Text(pa, &I::get_USLoc), u"Moscow, Russia");
    auto entries = Archive(pa);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], std::make_pair(1, 1012));
    EXPECT_EQ(entries[7], std::make_pair(22, 1010));
    EXPECT_EQ(Archive(records[74])[0], std::make_pair(1, -1));

    // Maps 3, 10, 7, 5 come out last as 10, 7, 5, 3.
    const int mapOrder[] = {10, 7, 5, 3};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Get(records[75 + i], &I::get_MapIdx), mapOrder[i]);
    EXPECT_EQ(Text(records[75], &I::get_MapName), u"Russia Temperatures");
    EXPECT_DOUBLE_EQ(Get(records[75], &I::get_Date), kOct22 + 17.0 / 24);  // read "now"
}

TEST_F(ReaderTest, OddAnswerKeepsItsOrderAndSkipsWhatIsNotRead) {
    // How each record reads its element is the record's own affair (the
    // record tests); here: which records the odd answer makes, in which order,
    // and what the reader itself gives them.
    auto records = Records(ReadDocument("weather_newyork_odd.xml"));
    // cc, pa (hbhf skipped), 3 days × 2, 3 hours, loc, 2 alerts (an
    // "Advisory" skipped), ta, 5 maps ("Legend" is not one).
    const KWeatherType expected[] = {KWCurrent, KWPressureArchive, KWDay,   KWNight, KWDay,   KWNight, KWDay,
                                     KWNight,   KWHBH,             KWHBH,   KWHBH,   KWLocal, KWAlert, KWAlert,
                                     KWTempArchive, KWMap,         KWMap,   KWMap,   KWMap,   KWMap};
    ASSERT_EQ(records.size(), std::size(expected));
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(Type(records[i]), expected[i]) << "record " << i;

    // The archive before the forecast block has no update location, the one
    // after it has the block's.
    EXPECT_EQ(Text(records[1], &I::get_USLoc), u"");
    EXPECT_EQ(Text(records[14], &I::get_USLoc), u"New York, NY");

    // A day without its night part still gives a night record of day-level fields.
    const auto& night1 = records[5];
    EXPECT_EQ(Get(night1, &I::get_TempHigh), 66.0);
    EXPECT_EQ(Get(night1, &I::get_Icon), -1);
    EXPECT_EQ(Get(night1, &I::get_CCUVIndex), 4);
    EXPECT_EQ(Get(records[4], &I::get_Icon), 30);

    // A day without "d" counts as offset -1; an hour without "dt" keeps no date.
    EXPECT_EQ(Get(records[6], &I::get_Date), kOct22 - 1);
    EXPECT_EQ(Get(records[10], &I::get_Date), -1.0);

    // An alert without attributes: empty texts, dated at the reading time.
    EXPECT_EQ(Text(records[12], &I::get_AlertType), u"Coastal Flood Statement");
    EXPECT_EQ(Text(records[13], &I::get_AlertType), u"");
    EXPECT_DOUBLE_EQ(Get(records[13], &I::get_Date), kOct22 + 17.0 / 24);
    EXPECT_DOUBLE_EQ(Get(records[13], &I::get_AlertEnd), kOct22 + 17.0 / 24);
}

TEST_F(ReaderTest, TheUpdateLocationLastsAcrossBlocks) {
    auto records = Records(std::u16string(
        u"<weather><dayf><lsup>10/22/11 4:50 PM Local Time</lsup><us>Moscow</us></dayf>"
        u"<hh><lsup>bad stamp</lsup><day d=\"0\"/></hh><cc/><dayf><us>Tver</us></dayf><wa/></weather>"));
    ASSERT_EQ(records.size(), 4u);
    // The second block has its own base date (unreadable here) but the old location.
    EXPECT_EQ(Text(records[0], &I::get_USLoc), u"Moscow");
    EXPECT_EQ(Get(records[0], &I::get_Date), -1.0);
    EXPECT_EQ(Get(records[0], &I::get_ForecastDate), -1.0);
    EXPECT_EQ(Text(records[0], &I::get_SuppliedString), u"bad stamp");
    EXPECT_EQ(Text(records[2], &I::get_USLoc), u"Moscow");
    EXPECT_EQ(Text(records[3], &I::get_USLoc), u"Tver");
}

TEST_F(ReaderTest, AnErrDocumentFailsBothStepsWithString102) {
    ComPtr<IXMLDOMDocument> doc;
    EXPECT_EQ(LoadWeatherDocument(Bstr(ReadDocument("weather_err.xml")), &doc), E_FAIL);
    EXPECT_EQ(doc, nullptr);
    ErrorObject e = TakeError();
    EXPECT_EQ(e.description, u"Weather service returned error. Error is Invalid location2");
    EXPECT_EQ(e.guid, CLSID_KWeatherService);
    EXPECT_FALSE(e.source.empty());

    // Build records meets the "err" after other records: nothing is returned
    // and the records already made are freed (counted in TearDown).
    ComPtr<IXMLDOMDocument> raw;
    ASSERT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&raw)), S_OK);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(raw->loadXML(Bstr(u"<weather><cc/><dayf><day d=\"0\"/></dayf><err>Key expired</err></weather>"), &ok),
              S_OK);
    ComPtr<IEnumUnknown> records;
    EXPECT_EQ(BuildWeatherRecords(raw.Get(), &records), E_FAIL);
    EXPECT_EQ(records, nullptr);
    e = TakeError();
    EXPECT_EQ(e.description, u"Weather service returned error. Error is Key expired");
    EXPECT_EQ(e.guid, CLSID_KWeatherService);
}

TEST_F(ReaderTest, TextsThatAreNotWellFormedFailWithString5) {
    const std::u16string prefix = u"Weather service returned wrong XML response. Error is ";
    for (const std::u16string& text : {ReadDocument("weather_truncated.xml"), std::u16string(u"<a><b></a>"),
                                       std::u16string(u""), std::u16string(u"Service Unavailable")}) {
        ComPtr<IXMLDOMDocument> doc;
        EXPECT_EQ(LoadWeatherDocument(Bstr(text), &doc), E_FAIL);
        EXPECT_EQ(doc, nullptr);
        ErrorObject e = TakeError();
        ASSERT_GT(e.description.size(), prefix.size()) << skyvane::ToUtf8(e.description);
        EXPECT_EQ(e.description.substr(0, prefix.size()), prefix);
        EXPECT_EQ(e.guid, CLSID_KWeatherService);
    }
    ComPtr<IXMLDOMDocument> doc;
    EXPECT_EQ(LoadWeatherDocument(nullptr, &doc), E_INVALIDARG);
    EXPECT_EQ(TakeError().guid, IID_IKWeatherService);

    // A document that loads the text but cannot give its root element is no
    // answer: its failure, or string 5 when it has no element to give.
    ComPtr<IXMLDOMDocument> raw;
    ASSERT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&raw)), S_OK);
    const Bstr text(u"<weather><cc/></weather>");
    EXPECT_EQ(LoadAnswerInto(test::ForeignDocumentOf(raw, E_OUTOFMEMORY).Get(), text), E_OUTOFMEMORY);
    EXPECT_EQ(TakeError().description, u"Unknown error");
    EXPECT_EQ(LoadAnswerInto(test::ForeignDocumentOf(raw, S_FALSE).Get(), text), E_FAIL);
    EXPECT_EQ(TakeError().description, prefix + u"The answer has no root element");
}

TEST_F(ReaderTest, BuildRecordsChecksItsDocument) {
    ComPtr<IEnumUnknown> records;
    EXPECT_EQ(BuildWeatherRecords(nullptr, &records), E_INVALIDARG);
    EXPECT_EQ(TakeError().guid, IID_IKWeatherService);
    ComPtr<IKWeatherInfo> notADocument;
    ASSERT_EQ(KWeatherInfo::Create(nullptr, IID_PPV_ARGS(&notADocument)), S_OK);
    EXPECT_EQ(BuildWeatherRecords(notADocument.Get(), &records), E_INVALIDARG);
    auto doc = Load(u"<weather/>");
    EXPECT_EQ(BuildWeatherRecords(doc.Get(), nullptr), E_POINTER);

    // No known children, and no document element at all: empty, and S_OK.
    for (const ComPtr<IXMLDOMDocument>& empty :
         {Load(u"<weather ver=\"2.0\"><head/><CC/><Dayf/></weather>"), ComPtr<IXMLDOMDocument>()}) {
        ComPtr<IXMLDOMDocument> d = empty;
        if (!d) {
            ASSERT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&d)), S_OK);
        }
        ASSERT_EQ(BuildWeatherRecords(d.Get(), &records), S_OK);
        ASSERT_NE(records, nullptr);
        ComPtr<IUnknown> item;
        ULONG fetched = 7;
        EXPECT_EQ(records->Next(1, &item, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
    }
}

TEST_F(ReaderTest, TheEnumeratorKeepsTheRecordsAlive) {
    ComPtr<IEnumUnknown> records;
    {
        auto doc = Load(ReadDocument("weather_moscow.xml"));
        ASSERT_EQ(BuildWeatherRecords(doc.Get(), &records), S_OK);
    }
    ComPtr<IEnumUnknown> clone;
    ASSERT_EQ(records->Skip(78), S_OK);
    ASSERT_EQ(records->Clone(&clone), S_OK);
    records.Reset();
    ComPtr<IUnknown> item;
    ASSERT_EQ(clone->Next(1, &item, nullptr), S_OK);
    ComPtr<IKWeatherInfo8> lastMap;
    ASSERT_EQ(item.As(lastMap), S_OK);
    INT idx = 0;
    EXPECT_EQ(lastMap->get_MapIdx(&idx), S_OK);
    EXPECT_EQ(idx, 3);
    EXPECT_EQ(clone->Next(1, &item, nullptr), S_FALSE);
}

TEST_F(ReaderTest, ThePathThroughTheDomInterfacesMakesTheSameRecords) {
    // Any DOM with the listed operations can stand in: the same answers read
    // through wrappers that offer only the public interfaces give the same
    // records, property for property.
    for (const std::u16string& text :
         {ReadDocument("weather_moscow.xml"), ReadDocument("weather_newyork_odd.xml"),
          std::u16string(u"<w><dayf><lsup>1/2/12 3:04 am</lsup><us>x</us><day d=\"2\"><hi>1</hi>"
                         u"<part p=\"n\"><t>a<b>b</b></t><wind><s>5</s></wind></part></day></dayf>"
                         u"<MAPS><MAP id=\"2\"/><MAP name=\"n\">u</MAP></MAPS><loc><tm>0:00</tm></loc></w>")}) {
        auto doc = Load(text);
        auto direct = Records(doc);
        auto viaInterfaces = Records(test::ForeignDocumentOf(doc));
        ASSERT_EQ(direct.size(), viaInterfaces.size());
        for (size_t i = 0; i < direct.size(); ++i)
            EXPECT_EQ(skyvane::ToUtf8(test::DumpRecord(direct[i].Get())),
                      skyvane::ToUtf8(test::DumpRecord(viaInterfaces[i].Get())))
                << "record " << i;
    }

    // An "err" element reads alike on both paths.
    ComPtr<IXMLDOMDocument> raw;
    ASSERT_EQ(skyvane::CreateDOMDocument(nullptr, IID_PPV_ARGS(&raw)), S_OK);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(raw->loadXML(Bstr(u"<error><cc/><err type=\"1\">Invalid <b>key</b></err></error>"), &ok), S_OK);
    ComPtr<IEnumUnknown> records;
    EXPECT_EQ(BuildWeatherRecords(raw.Get(), &records), E_FAIL);
    std::u16string direct = TakeError().description;
    EXPECT_EQ(BuildWeatherRecords(test::ForeignDocumentOf(raw).Get(), &records), E_FAIL);
    EXPECT_EQ(TakeError().description, direct);
    EXPECT_EQ(direct, u"Weather service returned error. Error is Invalid key1");
}

}  // namespace
}  // namespace skyvane::weather
