// Text for vpedrive's JSON lines.
#pragma once

#include <string>

namespace Corvinex {
namespace Vpedrive {

// The text as a quoted JSON string in pure ASCII: quote, backslash and control characters are
// escaped, every other character outside ASCII is written as \uXXXX (UTF-16 code units).
std::string JsonString(const std::wstring& text);

// Builds one JSON object member by member: {"a":..., "b":...}.
class CJsonObject {
public:
    CJsonObject& Add(const char* name, const std::wstring& text);
    CJsonObject& Add(const char* name, long long number);
    CJsonObject& Add(const char* name, bool value);
    // Adds an already formatted JSON value (array or object).
    CJsonObject& AddRaw(const char* name, const std::string& json);
    CJsonObject& Add(const char*, const char*) = delete;
    CJsonObject& Add(const char*, std::nullptr_t) = delete;
    std::string Text() const { return "{" + m_members + "}"; }

private:
    void Name(const char* name);
    std::string m_members;
};

} // namespace Vpedrive
} // namespace Corvinex
