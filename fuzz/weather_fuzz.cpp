// Feeds arbitrary bytes through Load document and Build records. The first
// byte chooses the text's form: UTF-8 (even) or raw UTF-16 units (odd, so that
// lone surrogates and NULs reach the DOM). Each loaded document is read twice,
// directly and through wrappers that offer only the DOM interfaces; the two
// lists of records must agree property for property, and every record, DOM
// object and BSTR must be freed afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/msxml/msxml.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "weather/foreign_dom.h"
#include "weather/record_dump.h"
#include "weather/weather_info.h"
#include "weather/weather_reader.h"

using skyvane::ComPtr;

namespace {

std::vector<std::u16string> Dumps(IUnknown* document) {
    std::vector<std::u16string> out;
    ComPtr<IEnumUnknown> records;
    HRESULT hr = skyvane::weather::BuildWeatherRecords(document, &records);
    if (FAILED(hr)) {
        if (records) __builtin_trap();  // no half-built result
        ComPtr<IErrorInfo> info;
        GetErrorInfo(0, &info);
        skyvane::Bstr description;
        if (info) info->GetDescription(description.Out());
        out.push_back(u"failed: " + description.Str());
        return out;
    }
    ComPtr<IUnknown> item;
    while (records->Next(1, &item, nullptr) == S_OK) {
        ComPtr<IKWeatherInfo8> record;
        if (FAILED(item.As(record))) __builtin_trap();
        out.push_back(skyvane::weather::test::DumpRecord(record.Get()));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A device root and a frozen clock of its own: error objects look up
    // class names in the registry, and maps are dated "now".
    static std::string root = (std::filesystem::temp_directory_path() / "skyvane-weather-fuzz").string();
    std::filesystem::create_directories(root);
    setenv("SKYVANE_ROOT", root.c_str(), 1);
    skyvane::testclock::Enable(root + "/clock");
    skyvane::testclock::Freeze(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::u16string text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    } else {
        text = skyvane::FromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    }

    const long records = skyvane::weather::LiveWeatherInfoCount();
    const long dom = skyvane::LiveDomObjectCount();
    const long bstrs = skyvane::LiveBstrCount();
    {
        skyvane::Bstr xml(text);
        ComPtr<IXMLDOMDocument> doc;
        HRESULT hr = skyvane::weather::LoadWeatherDocument(xml, &doc);
        if (SUCCEEDED(hr) != bool(doc)) __builtin_trap();
        if (doc) {
            auto direct = Dumps(doc.Get());
            auto viaInterfaces = Dumps(skyvane::weather::test::ForeignDocumentOf(doc).Get());
            if (direct != viaInterfaces) __builtin_trap();
        }
    }
    SetErrorInfo(0, nullptr);
    if (skyvane::weather::LiveWeatherInfoCount() != records || skyvane::LiveDomObjectCount() != dom ||
        skyvane::LiveBstrCount() != bstrs)
        __builtin_trap();
    return 0;
}
