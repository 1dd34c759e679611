#pragma once
#include <memory>
#include <string>

#include "registry/RegistryKeyNode.h"

namespace mailwright {

// The keys of one of Wine's registry files (user.reg, system.reg) and the text they were
// read from. Writing gives Wine's own text: keys that did not change keep their lines
// as read, changed keys are written the way Wine writes them, so a hive read and written
// without a change is the same file.
class WineHive {
public:
    WineHive();
    WineHive(const WineHive&) = delete;
    WineHive& operator=(const WineHive&) = delete;

    // Reads hive text. Anything that is not Wine's format fails, with `error` naming the
    // line and what was wrong; the hive is then empty.
    bool Parse(std::string text, std::string& error);

    // The header that a hive read from no text is written with: the branch it holds
    // (as Wine names it, e.g. REGISTRY\Machine) and the prefix's architecture.
    void SetNewHeader(const std::string& branch, const std::string& arch);

    RegistryKeyNode& Root() { return *m_root; }
    // "win32", "win64", or empty when the hive does not say.
    const std::string& Arch() const { return m_arch; }
    bool HasText() const { return !m_text.empty(); }

    // The hive's text with every change. It becomes the text that unchanged keys refer to.
    const std::string& Render();

private:
    void RenderKey(RegistryKeyNode& node, std::string& out) const;

    std::string m_text;
    std::string m_spare;
    size_t m_headerLength = 0;
    std::string m_arch;
    std::unique_ptr<RegistryKeyNode> m_root;
};

// Writes one key's lines as Wine does (a blank line, the key line, #time, #class, #link,
// the values); the key's path is given as Wine writes it.
void RenderWineKey(const RegistryKeyNode& node, const std::string& escapedPath, std::string& out);

}  // namespace mailwright
