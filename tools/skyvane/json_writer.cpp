#include "skyvane/json_writer.h"

#include <cmath>
#include <cstdio>

#include "platform/kernel/nls/text_conv.h"

namespace skyvane::cli {

void JsonWriter::NewLine() {
    out_ += '\n';
    out_.append(levels_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    if (!levels_.back().empty) out_ += ',';
    levels_.back().empty = false;
    NewLine();
}

void JsonWriter::Key(std::string_view name) {
    if (!levels_.back().empty) out_ += ',';
    levels_.back().empty = false;
    NewLine();
    Quoted(name);
    out_ += ": ";
    afterKey_ = true;
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    out_ += bracket;
    levels_.push_back({});
}

void JsonWriter::Close(char bracket) {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) NewLine();
    out_ += bracket;
}

void JsonWriter::String(std::u16string_view text) { String(skyvane::ToUtf8(text)); }

void JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    Quoted(utf8);
}

void JsonWriter::Quoted(std::string_view utf8) {
    out_ += '"';
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ += escaped;
            } else {
                out_ += char(c);
            }
        }
    }
    out_ += '"';
}

void JsonWriter::Integer(int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
}

void JsonWriter::Number(double value, int decimals) {
    BeforeValue();
    if (!std::isfinite(value)) {
        out_ += "null";
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string number = text;
    // No trailing zeros: 29.90 is written 29.9, 755.00 as 755.
    if (number.find('.') != std::string::npos) {
        while (number.back() == '0') number.pop_back();
        if (number.back() == '.') number.pop_back();
    }
    if (number == "-0") number = "0";
    out_ += number;
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
}

}  // namespace skyvane::cli
