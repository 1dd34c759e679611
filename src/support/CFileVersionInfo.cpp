#include "support/CFileVersionInfo.h"

#include <cstdlib>
#include <cstring>

#include "BuildConfig.h"
#include "support/FileSystem.h"

namespace mailwright {

void CFileVersionInfo::Reset() {
    std::memset(&m_fixed, 0, sizeof(m_fixed));
    std::memset(m_productVersion, 0, sizeof(m_productVersion));
}

bool CFileVersionInfo::ReadVersion(const std::string& fileName) {
    Reset();
    if (fileName.empty() || !FindFirstEntry(fileName)) return false;
    ReadBuildVersion();
    return true;
}

void CFileVersionInfo::ReadBuildVersion() {
    Reset();
    ParseProductVersion(MAILWRIGHT_VERSION_TEXT);
    VS_FIXEDFILEINFO info{};
    info.dwSignature = 0xFEEF04BD;
    info.dwStrucVersion = 0x10000;
    info.dwFileVersionMS = (MAILWRIGHT_VERSION_MAJOR << 16) | MAILWRIGHT_VERSION_MINOR;
    info.dwFileVersionLS = (MAILWRIGHT_VERSION_PATCH << 16) | MAILWRIGHT_VERSION_TWEAK;
    info.dwProductVersionMS = info.dwFileVersionMS;
    info.dwProductVersionLS = info.dwFileVersionLS;
    info.dwFileOS = 0x4;    // VOS__WINDOWS32
    info.dwFileType = 0x1;  // VFT_APP
    m_fixed = info;
}

void CFileVersionInfo::GetFileVersionText(std::string& text) const {
    text += std::to_string(m_fixed.dwFileVersionMS >> 16);
    text += '.';
    text += std::to_string(m_fixed.dwFileVersionMS & 0xFFFF);
}

void CFileVersionInfo::ParseProductVersion(const std::string& text) {
    std::string part;
    int index = 0;
    for (size_t i = 0; i <= text.size() && index < 4; ++i) {
        if (i == text.size() || text[i] == '.' || text[i] == ',') {
            if (part.empty() && i == text.size()) break;
            m_productVersion[index++] = static_cast<std::uint16_t>(std::strtoul(part.c_str(), nullptr, 10));
            part.clear();
        } else {
            part += text[i];
        }
    }
}

}  // namespace mailwright
