// The download through which the weather service and the city search fetch
// XML: one HTTP exchange with the device description headers, through the
// proxy when the connection settings call for one, with gzip bodies inflated
// and the text cleaned up for the XML reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::net {

struct DownloadOptions {
    DWORD timeout = 60000;  // for each connect, send and receive
};

struct DownloadResult {
    std::u16string text;  // the XML text on success
    bool chunked = false;  // the response's body came in chunks
    int32_t status = -1;   // the last HTTP status read, -1 when none
};

// Downloads url, with the search text (when not empty) escaped as a whole and
// appended. Results: S_OK; E_INVALIDARG when the escaped search text has 254
// characters or more (no request is made); E_OUTOFMEMORY; E_FAIL with a
// description set through the error object for source/iid (none when a packed
// body outgrows the last doubling of its buffer). lastRequestInfo becomes
// "none" at the start and the download statistics on success.
HRESULT DownloadXml(std::u16string_view url, std::u16string_view searchText, std::u16string& lastRequestInfo,
                    DownloadResult& result, REFCLSID source, REFIID iid, const DownloadOptions& options = {});

}  // namespace skyvane::net
