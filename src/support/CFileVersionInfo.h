#pragma once
#include <cstdint>
#include <string>

namespace mailwright {

// The fixed part of a version resource (52 bytes).
struct VS_FIXEDFILEINFO {
    std::uint32_t dwSignature;
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The version information of one of the program's files. Every file the build makes
// carries the project's version, so the version comes from the build itself; a file
// that does not exist has none.
class CFileVersionInfo {
public:
    CFileVersionInfo() { Reset(); }
    virtual ~CFileVersionInfo() = default;

    virtual void Reset();

    // Reads the version of an existing file of the program; false when there is none.
    bool ReadVersion(const std::string& fileName);

    // The version the build gave the program, wherever its files lie.
    void ReadBuildVersion();

    // Appends "major.minor" of the fixed file version.
    void GetFileVersionText(std::string& text) const;

    // Takes a fixed information record as the version resource's (tests, and files of other versions).
    void SetFixedInfo(const VS_FIXEDFILEINFO& info) { m_fixed = info; }
    const VS_FIXEDFILEINFO& GetFixedInfo() const { return m_fixed; }
    std::uint16_t GetProductVersion(int index) const { return m_productVersion[index]; }

    // Fills the four product version numbers from a text such as "1.2.3.4" or "1, 2, 3, 4".
    void ParseProductVersion(const std::string& text);

private:
    VS_FIXEDFILEINFO m_fixed;
    std::uint16_t m_productVersion[4];
};

}  // namespace mailwright
