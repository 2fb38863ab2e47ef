// DownloadXml as the tests call it: the result, the statistics text and the
// description the error object carries afterwards.
#pragma once

#include <string>
#include <string_view>

#include "net/download_xml.h"
#include "platform/base/wide_string.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/oleaut/bstr.h"

namespace skyvane::test {

// Any identifiers do for the error object's source in these tests.
inline const CLSID kDownloadSource = {0xF9FCC6F4, 0x43CE, 0x4431, {0x82, 0x34, 0xED, 0x64, 0x89, 0x82, 0x71, 0x3C}};
inline const IID kDownloadIid = {0x8572774D, 0x6C86, 0x4624, {0x98, 0xE4, 0x1B, 0x27, 0x22, 0x79, 0x1C, 0xE8}};

// http://127.0.0.1:port followed by rest.
inline std::u16string LoopbackUrl(uint16_t port, std::string_view rest) {
    return W("http://127.0.0.1:" + std::to_string(port) + std::string(rest));
}

struct Download {
    HRESULT hr = E_UNEXPECTED;
    std::u16string info = u"sentinel";
    net::DownloadResult result;
    std::u16string description;  // of the error object, "<none>" when there is none
};

inline Download Fetch(std::u16string_view url, std::u16string_view search = {}, DWORD timeout = 10000) {
    Download d;
    SetErrorInfo(0, nullptr);
    net::DownloadOptions options;
    options.timeout = timeout;
    d.hr = net::DownloadXml(url, search, d.info, d.result, kDownloadSource, kDownloadIid, options);
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        Bstr text;
        error->GetDescription(text.Out());
        d.description = text.Str();
    } else {
        d.description = u"<none>";
    }
    return d;
}

}  // namespace skyvane::test
