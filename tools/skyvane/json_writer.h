// A small JSON writer for `skyvane show --json`: objects, arrays, texts
// (UTF-8, escaped as RFC 8259 asks), numbers and null, indented by two
// blanks so that a person can read it too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skyvane::cli {

class JsonWriter {
public:
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // The name of the next member of the object being written.
    void Key(std::string_view name);

    void String(std::u16string_view text);
    void String(std::string_view utf8);
    void Integer(int64_t value);
    // A number with at most `decimals` digits after the point.
    void Number(double value, int decimals);
    void Bool(bool value);
    void Null();

    // The document written so far, ending with a line feed.
    std::string Text() const { return out_ + "\n"; }

private:
    void Open(char bracket);
    void Close(char bracket);
    // Before a value: the separator and indentation an array member needs.
    void BeforeValue();
    void NewLine();
    void Quoted(std::string_view utf8);

    std::string out_;
    struct Level {
        bool empty = true;
    };
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace skyvane::cli
