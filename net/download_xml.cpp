#include "net/download_xml.h"

#include <exception>
#include <new>

#include "net/connection_settings.h"
#include "net/device_headers.h"
#include "net/document_body.h"
#include "net/http_client.h"
#include "net/socket_error.h"
#include "net/strings.h"
#include "platform/base/log.h"
#include "platform/base/wide_format.h"
#include "platform/com/com_object.h"
#include "platform/com/runtime.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/win_time.h"

namespace skyvane::net {
namespace {

constexpr size_t kMaxSearchText = 254;  // the escaped search text must be shorter

// "Weather update failed." and why: the text for the socket's error, or the
// transfer coding that could not be read; the status when one was read.
std::u16string NavigationFailure(const NavigateResult& result, const HttpClient& client) {
    std::u16string reason = SocketErrorText(result.socketError);
    if (result.error == NavigateError::Read && result.readResult == ReadResult::UnsupportedTransferCoding) {
        const std::u16string* coding = client.GetHeader(u"Transfer-Encoding");
        reason = FormatW(kStringTransferCoding, coding ? coding->c_str() : u"");
    }
    return result.status >= 1
               ? FormatW(u"%s %s.HTTP status=%d.", kStringUpdateFailed, reason.c_str(), result.status)
               : FormatW(u"%s %s.", kStringUpdateFailed, reason.c_str());
}

// The description of a body that could not be made into text; empty when the
// inflate buffer outgrew its last doubling, which fails without one.
std::u16string DocumentFailureText(const DocumentResult& document) {
    switch (document.failure) {
        case DocumentFailure::UnknownCoding:
            return FormatW(u"%s %s.", kStringUpdateFailed,
                           FormatW(kStringContentCoding, document.coding.c_str()).c_str());
        case DocumentFailure::TooLarge:
            return FormatW(u"%s %s.", kStringUpdateFailed,
                           FormatW(kStringDocumentTooLarge, static_cast<int>(kMaxDocumentBytes >> 20)).c_str());
        case DocumentFailure::BufferTooSmall:
        case DocumentFailure::None: break;
    }
    return {};
}

}  // namespace

HRESULT DownloadXml(std::u16string_view url, std::u16string_view searchText, std::u16string& lastRequestInfo,
                    DownloadResult& result, REFCLSID source, REFIID iid, const DownloadOptions& options) {
    std::u16string target;
    try {
        lastRequestInfo = u"none";
        result = DownloadResult();
        target.assign(url);
        if (!searchText.empty()) {
            std::u16string escaped = EscapeUrl(searchText, true);
            if (escaped.size() >= kMaxSearchText) {
                SetErrorInfo(0, nullptr);
                return E_INVALIDARG;
            }
            target += escaped;
        }
    } catch (const std::bad_alloc&) {
        SKYVANE_LOG("kweather", "no memory for the address of a download");
        return ReportError(E_OUTOFMEMORY, source, iid, u"Out of memory");
    }

    try {
        HttpClient client;
        ReadConnectionSettings(client);
        NavigateRequest request;
        request.timeout = options.timeout;
        request.extraHeaders = DeviceHeaders();

        const DWORD start = GetTickCount();
        const NavigateResult navigated = client.Navigate(target, &request);
        const DWORD elapsed = GetTickCount() - start;
        result.status = navigated.status;

        if (!navigated.ok()) {
            SKYVANE_LOG("kweather", "download of %s failed: %d", ToUtf8(target).c_str(), int(navigated.error));
            return ReportError(E_FAIL, source, iid, NavigationFailure(navigated, client));
        }
        if (navigated.status != 200) return ReportError(E_FAIL, source, iid, FormatW(kStringHttpError, navigated.status));

        const HttpResponse& response = client.Response();
        result.chunked = response.chunked;
        DocumentResult document = DecodeDocument(response);
        if (document.failure != DocumentFailure::None) {
            SKYVANE_LOG("kweather", "the body of %s cannot be read: %d", ToUtf8(target).c_str(),
                        int(document.failure));
            std::u16string description = DocumentFailureText(document);
            if (description.empty()) {
                SetErrorInfo(0, nullptr);
                return E_FAIL;
            }
            return ReportError(E_FAIL, source, iid, description);
        }
        result.text = std::move(document.text);
        lastRequestInfo = FormatW(kStringRequestInfo, static_cast<int>(elapsed),
                                  static_cast<int>(response.buffer.size()), static_cast<int>(document.unpacked));
        return S_OK;
    } catch (const std::bad_alloc&) {
        SKYVANE_LOG("kweather", "a download ran out of memory");
        return ReportError(E_OUTOFMEMORY, source, iid, u"Out of memory");
    } catch (const std::exception& e) {
        SKYVANE_LOG("kweather", "a download failed: %s", e.what());
        return ReportError(E_FAIL, source, iid, u"Unknown error");
    } catch (...) {
        SKYVANE_LOG("kweather", "a download failed: an exception that is no std::exception");
        return ReportError(E_FAIL, source, iid, u"Unknown error");
    }
}

}  // namespace skyvane::net
