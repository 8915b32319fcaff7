#include "tools/vpedrive/json_text.h"

#include <cstdio>
#include <cstring>

namespace Corvinex {
namespace Vpedrive {

std::string JsonString(const std::wstring& text) {
    std::string json = "\"";
    for (wchar_t ch : text) {
        switch (ch) {
        case L'"':
            json += "\\\"";
            break;
        case L'\\':
            json += "\\\\";
            break;
        case L'\n':
            json += "\\n";
            break;
        case L'\r':
            json += "\\r";
            break;
        case L'\t':
            json += "\\t";
            break;
        case L'\b':
            json += "\\b";
            break;
        case L'\f':
            json += "\\f";
            break;
        default:
            if (ch < 0x20 || ch >= 0x7F) {
                char escaped[8];
                snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(ch));
                json += escaped;
            } else {
                json += static_cast<char>(ch);
            }
        }
    }
    return json + "\"";
}

void CJsonObject::Name(const char* name) {
    if (!m_members.empty())
        m_members += ",";
    m_members += JsonString(std::wstring(name, name + strlen(name)));
    m_members += ":";
}

CJsonObject& CJsonObject::Add(const char* name, const std::wstring& text) {
    Name(name);
    m_members += JsonString(text);
    return *this;
}

CJsonObject& CJsonObject::Add(const char* name, long long number) {
    Name(name);
    m_members += std::to_string(number);
    return *this;
}

CJsonObject& CJsonObject::Add(const char* name, bool value) {
    Name(name);
    m_members += value ? "true" : "false";
    return *this;
}

CJsonObject& CJsonObject::AddRaw(const char* name, const std::string& json) {
    Name(name);
    m_members += json;
    return *this;
}

} // namespace Vpedrive
} // namespace Corvinex
