// kweather-probe: asks the weather service library for weather and cities the
// way the plugin does, through CoCreateInstance("KWeather.KWeatherService")
// and the service's COM interfaces only. The library must be registered in
// the device (its DllRegisterServer).
//
//   kweather-probe weather CODE [--days N] [--unit N] [--fields]
//       every record's debug text (with --fields every property instead, one
//       "Name: value" line each), blank lines between them, then the
//       statistics of the download
//   kweather-probe xml CODE [--days N] [--unit N]    the answer's XML text
//   kweather-probe find NAME                         "code<TAB>name" per city found
//   kweather-probe countries [--db FOLDER]           the country list ("[A]" for a heading)
//   kweather-probe cities COUNTRY LETTER [--db FOLDER]
//                                                    "code<TAB>name" per city
//
// On failure it prints "error 0x%08X: " and the error description on standard
// error, and exits with 1 (2 for a command line it does not understand).
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/com/runtime.h"
#include "platform/com/com_ptr.h"
#include "platform/kernel/nls/text_conv.h"
#include "weather/kweather_interfaces.h"
#include "weather/service_interfaces.h"
#include "kweather_probe/record_fields.h"

using skyvane::Bstr;
using skyvane::ComPtr;

namespace {

constexpr char kUsage[] =
    "usage: kweather-probe weather CODE [--days N] [--unit N] [--fields]\n"
    "       kweather-probe xml CODE [--days N] [--unit N]\n"
    "       kweather-probe find NAME\n"
    "       kweather-probe countries [--db FOLDER]\n"
    "       kweather-probe cities COUNTRY LETTER [--db FOLDER]\n";

// A failed call: its result, with the description from the error object.
struct Failure {
    HRESULT hr;
};

void Check(HRESULT hr) {
    if (FAILED(hr)) throw Failure{hr};
}

void Print(std::u16string_view text) {
    std::string utf8 = skyvane::ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// The debug text ends its lines with LF CR; the terminal needs only the LF.
std::u16string WithoutCarriageReturns(std::u16string text) {
    std::erase(text, u'\r');
    return text;
}

struct Options {
    std::vector<std::string> words;
    std::optional<long> days;
    std::optional<long> unit;
    std::string db;
    bool fields = false;
};

bool ParseNumber(const char* text, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == 0;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--days" || arg == "--unit" || arg == "--db") {
            if (i + 1 >= argc) return false;
            const char* value = argv[++i];
            long number = 0;
            if (arg == "--db") o.db = value;
            else if (!ParseNumber(value, number)) return false;
            else (arg == "--days" ? o.days : o.unit) = number;
        } else if (arg == "--fields") {
            o.fields = true;
        } else {
            o.words.emplace_back(arg);
        }
    }
    return !o.words.empty();
}

ComPtr<IKWeatherService4> CreateService(const Options& o) {
    CLSID clsid{};
    Check(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid));
    ComPtr<IKWeatherService4> service;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service)));
    if (o.days) Check(service->put_RequestDayCount(LONG(*o.days)));
    if (o.unit) Check(service->put_RequestUnitType(KWeatherUnitType(*o.unit)));
    if (!o.db.empty()) {
        std::string folder = o.db;
        if (folder.back() != '/' && folder.back() != '\\') folder += '/';
        Check(service->put_DatabasePath(Bstr(skyvane::FromUtf8(folder))));
    }
    return service;
}

void SetCity(IKWeatherService4* service, const std::string& code) {
    Check(service->put_RequestCityCode(Bstr(skyvane::FromUtf8(code))));
}

int Weather(IKWeatherService4* service, bool fields) {
    ComPtr<IUnknown> unknown;
    Check(service->get_Weather(&unknown));
    ComPtr<IEnumUnknown> records;
    Check(unknown.As(records));
    bool first = true;
    for (ComPtr<IUnknown> item; records->Next(1, &item, nullptr) == S_OK;) {
        ComPtr<IKWeatherInfo8> record;
        Check(item.As(record));
        Bstr text;
        if (!fields) Check(record->get_DebugInfo(text.Out()));
        if (!first) Print(u"\n");
        first = false;
        std::u16string debug = fields ? skyvane::probe::RecordFields(record.Get()) : WithoutCarriageReturns(text.Str());
        if (!debug.empty() && debug.back() != u'\n') debug += u'\n';
        Print(debug);
    }
    Bstr info;
    Check(service->get_LastRequestInfo(info.Out()));
    if (!first) Print(u"\n");
    Print(info.Str() + u"\n");
    return 0;
}

int Xml(IKWeatherService4* service) {
    Bstr xml;
    Check(service->get_WeatherAsXML(xml.Out()));
    std::u16string text = xml.Str();
    if (!text.empty() && text.back() != u'\n') text += u'\n';
    Print(text);
    return 0;
}

int Find(IKWeatherService4* service, const std::string& name) {
    ComPtr<IUnknown> unknown;
    Check(service->get_FindCityCode(Bstr(skyvane::FromUtf8(name)), &unknown));
    ComPtr<IEnumUnknown> cities;
    Check(unknown.As(cities));
    for (ComPtr<IUnknown> item; cities->Next(1, &item, nullptr) == S_OK;) {
        ComPtr<IKWeatherCity> city;
        Check(item.As(city));
        Bstr cityName, code;
        Check(city->get_Name(cityName.Out()));
        Check(city->get_Code(code.Out()));
        Print(code.Str() + u"\t" + cityName.Str() + u"\n");
    }
    return 0;
}

int Countries(IKWeatherService4* service) {
    HRESULT hr = service->BeginCountry(Bstr(u"_"));
    Check(hr);
    if (hr != S_OK) return 0;
    for (LONG last = 0; !last;) {
        Bstr name;
        LONG isLetter = 0;
        Check(service->get_Country(name.Out()));
        Check(service->get_CountryIsLetter(&isLetter));
        Print(isLetter ? u"[" + name.Str() + u"]\n" : name.Str() + u"\n");
        Check(service->CountryNext(&last));
    }
    return 0;
}

int Cities(IKWeatherService4* service, const std::string& country, const std::string& letter) {
    HRESULT hr = service->BeginCityByCountry(Bstr(skyvane::FromUtf8(country)), Bstr(skyvane::FromUtf8(letter)));
    Check(hr);
    if (hr != S_OK) return 0;
    for (LONG last = 0; !last;) {
        Bstr name, code;
        Check(service->get_City(name.Out()));
        Check(service->get_CityCode(code.Out()));
        // Entries past the last city of the letter are left empty.
        if (!name.Empty() || !code.Empty()) Print(code.Str() + u"\t" + name.Str() + u"\n");
        Check(service->CityNext(&last));
    }
    return 0;
}

int Run(const Options& o) {
    const std::string& command = o.words[0];
    const size_t args = o.words.size() - 1;
    ComPtr<IKWeatherService4> service;
    if ((command == "weather" || command == "xml") && args == 1) {
        service = CreateService(o);
        SetCity(service.Get(), o.words[1]);
        return command == "weather" ? Weather(service.Get(), o.fields) : Xml(service.Get());
    }
    if (command == "find" && args == 1) return Find(CreateService(o).Get(), o.words[1]);
    if (command == "countries" && args == 0) return Countries(CreateService(o).Get());
    if (command == "cities" && args == 2) return Cities(CreateService(o).Get(), o.words[1], o.words[2]);
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fputs("error: the COM runtime did not start\n", stderr);
        return 1;
    }
    int status;
    try {
        status = Run(options);
    } catch (const Failure& failure) {
        std::u16string description;
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            Bstr text;
            if (SUCCEEDED(info->GetDescription(text.Out()))) description = text.Str();
        }
        std::fflush(stdout);
        std::fprintf(stderr, "error 0x%08X: %s\n", unsigned(failure.hr), skyvane::ToUtf8(description).c_str());
        status = 1;
    }
    std::fflush(stdout);
    CoUninitialize();
    return status;
}
