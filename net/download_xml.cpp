#include "net/download_xml.h"

#include <new>

#include "net/connection_settings.h"
#include "net/device_headers.h"
#include "net/gzip.h"
#include "net/http_client.h"
#include "net/socket_error.h"
#include "net/strings.h"
#include "platform/com/runtime.h"
#include "platform/com/com_object.h"
#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "platform/kernel/win_time.h"

namespace skyvane::net {
namespace {

constexpr size_t kMaxSearchText = 254;  // the escaped search text must be shorter
constexpr int kInflateAttempts = 5;
constexpr size_t kInflateGrowth = 10;  // the first output buffer is this many times the response
// Inflated text beyond this fails like a buffer that stayed too small, so a
// small hostile body cannot make the client exhaust memory.
constexpr size_t kMaxInflatedBytes = 64u << 20;

// Walks the head's lines (without the final CR LF) for the two markers.
void ScanHead(std::string_view head, bool* gzip, bool* chunked) {
    if (head.size() >= 2) head.remove_suffix(2);
    size_t pos = 0;
    while (pos <= head.size()) {
        size_t eol = head.find("\r\n", pos);
        std::string_view line = head.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        if (line.find("Content-Encoding: gzip") != std::string_view::npos) *gzip = true;
        if (line.find("Transfer-Encoding: chunked") != std::string_view::npos) *chunked = true;
        if (eol == std::string_view::npos) break;
        pos = eol + 2;
    }
}

std::string UpToNul(std::string_view bytes) { return std::string(bytes.substr(0, bytes.find('\0'))); }

}  // namespace

void CleanXmlText(std::string& text) {
    static constexpr std::string_view kLatin1 = "encoding=\"ISO-8859-1\"";
    for (size_t at; (at = text.find(kLatin1)) != std::string::npos;) text.erase(at, kLatin1.size());
    size_t first = text.find('<');
    if (first != std::string::npos && first > 0) text.erase(0, first);
}

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
        return ReportError(E_OUTOFMEMORY, source, iid, u"Out of memory");
    }

    try {
        HttpClient client;
        ReadConnectionSettings(client);
        NavigateRequest request;
        request.timeout = options.timeout;
        request.extraHeaders = DeviceHeaders();

        const DWORD start = GetTickCount();
        bool ok = false;
        try {
            ok = client.Navigate(target, &request);
        } catch (const std::bad_alloc&) {
            ok = false;  // a navigation that cannot allocate fails like any other
            client.Close();
        }
        const DWORD elapsed = GetTickCount() - start;
        const int32_t status = client.StatusCode();
        result.status = status;

        if (!ok) {
            std::u16string socketText = SocketErrorText(client.LastError());
            std::u16string message =
                status >= 1 ? FormatW(u"%s %s.HTTP status=%d.", kStringUpdateFailed, socketText.c_str(), status)
                            : FormatW(u"%s %s.", kStringUpdateFailed, socketText.c_str());
            SKYVANE_LOG("kweather", "download of %s failed", ToUtf8(target).c_str());
            return ReportError(E_FAIL, source, iid, message);
        }
        if (status != 200) return ReportError(E_FAIL, source, iid, FormatW(kStringHttpError, status));

        const HttpResponse& response = client.Response();
        bool gzip = false;
        ScanHead(response.Head(), &gzip, &result.chunked);
        const size_t responseSize = response.buffer.size();
        size_t unpacked = responseSize;
        std::string text;
        if (gzip) {
            std::string_view body = response.Body();
            std::optional<size_t> header = GzipHeaderLength(body);
            unpacked = responseSize * kInflateGrowth;
            if (header) {
                InflateResult inflated =
                    InflateRaw(body.substr(*header), unpacked, kInflateAttempts, kMaxInflatedBytes);
                if (inflated.status == InflateStatus::BufferTooSmall) {
                    SetErrorInfo(0, nullptr);
                    return E_FAIL;
                }
                if (inflated.status == InflateStatus::Ok) {
                    unpacked = inflated.bufferSize;
                    text = UpToNul(inflated.output());
                }
            }
            // A corrupt gzip body gives an empty text, which the XML reader rejects.
        } else {
            text = UpToNul(response.Body());
        }
        CleanXmlText(text);
        result.text = FromAnsi(text);
        lastRequestInfo = FormatW(kStringRequestInfo, static_cast<int>(elapsed), static_cast<int>(responseSize),
                                  static_cast<int>(unpacked));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return ReportError(E_OUTOFMEMORY, source, iid, u"Out of memory");
    } catch (...) {
        return ReportError(E_FAIL, source, iid, u"Unknown error");
    }
}

}  // namespace skyvane::net
