// Fuzzes the reader of city weather files: any bytes either give a typed
// failure and no records, or records that written out again and read back
// are the same.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "plugin/store_format.h"

using namespace skyvane::plugin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StoreParse parsed = ParseStore(std::span(data, size));
    if (!parsed.ok()) {
        if (!parsed.contents.records.empty()) std::abort();
        return 0;
    }
    std::vector<uint8_t> again = SerializeStore(parsed.contents.name, parsed.contents.code,
                                                parsed.contents.lastUpdate, parsed.contents.records);
    StoreParse reread = ParseStore(again);
    if (!reread.ok() || reread.contents.records.size() != parsed.contents.records.size()) std::abort();
    // Compared as bytes: a NaN read from the file is still the same NaN.
    if (SerializeStore(u"", u"", 0, parsed.contents.records) != SerializeStore(u"", u"", 0, reread.contents.records))
        std::abort();
    return 0;
}
