#include "config/config.h"

#include "base/paths.h"
#include "base/registry.h"

namespace Corvinex {

CConfig::CConfig() {}

CConfig::~CConfig() {
    m_strKeyPath.Empty();
}

void CConfig::SetKeyPath(const CWideString& path) {
    m_strKeyPath = path;
}

CWideString CConfig::GetKeyPath() const {
    return m_strKeyPath;
}

CWideString CConfig::FullPath(const CWideString& subKey) const {
    CWideString path = EnsureTrailingSlash(m_strKeyPath);
    path.Append(subKey.c_str());
    return path;
}

uint32_t CConfig::GetDwordValue(HKEY root, const CWideString& subKey, const CWideString& name) {
    uint32_t value = 0;
    if (ReadDwordValue(root, FullPath(subKey), name, &value) != kRegistryDone) {
        return 0;
    }
    return value;
}

bool CConfig::IsDwordValueSet(HKEY root, const CWideString& subKey, const CWideString& name) {
    return GetDwordValue(root, subKey, name) != 0;
}

void CConfig::SetDwordValue(HKEY root, const CWideString& subKey, const CWideString& name,
                            uint32_t value) {
    WriteDwordValue(root, FullPath(subKey), name, value);
}

CWideString CConfig::GetStringValue(HKEY root, const CWideString& subKey, const CWideString& name) {
    CWideString text(L"");
    ReadStringValue(root, FullPath(subKey), name, &text);
    return text;
}

void CConfig::SetStringValue(HKEY root, const CWideString& subKey, const CWideString& name,
                             const CWideString& text) {
    WriteStringValue(root, FullPath(subKey), name, text);
}

} // namespace Corvinex
