// Any bytes as a .reg file: parsing answers operations or an error naming a
// line inside the text, and never crashes.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tools/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<skyvane::regedit::RegOperation> ops;
    skyvane::regedit::RegError error;
    if (skyvane::regedit::ParseRegText(text, &ops, &error)) {
        for (const auto& op : ops) {
            if (op.line < 1) std::abort();
        }
    } else {
        size_t lines = 1;
        for (char c : text) lines += c == '\n';
        if (error.line < 1 || size_t(error.line) > lines || error.message.empty()) std::abort();
    }
    return 0;
}
