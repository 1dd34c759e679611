// Keys written as Wine writes them: the key line, #time, #class, #link, the values in
// Wine's forms (kept lines as they were read), and the tree depth first in name order.
#include "registry/hive/HiveWriter.h"

#include <cstdio>
#include <vector>

#include "registry/WineHive.h"
#include "registry/hive/HiveCharacters.h"
#include "registry/hive/HiveKeyLine.h"

namespace mailwright::hive {

namespace {

// The bytes as Wine's dump_value writes them: past column 76 a backslash, a line break
// and two blanks; `count` is the column the data starts at.
void AppendHexData(std::string& out, const std::vector<std::uint8_t>& data, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        count += 2;
        if (i + 1 < data.size()) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out += '\n';
}

}  // namespace

// Wine's dump_value.
void AppendValue(std::string& out, const RegistryValue& value) {
    char buffer[32];
    size_t count;
    if (!value.name.empty()) {
        out += '"';
        count = 1 + AppendEscaped(out, value.name, "\"\"");
        out += "\"=";
        count += 2;
    } else {
        out += "@=";
        count = 2;
    }
    const auto& data = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            if (data.size() < 2 || data.size() % 2 || data[data.size() - 1] || data[data.size() - 2]) break;
            if (value.type != REG_SZ) {
                std::snprintf(buffer, sizeof(buffer), "str(%x):", static_cast<unsigned>(value.type));
                out += buffer;
            }
            out += '"';
            std::u16string text = UnitsOf(data);
            text.pop_back();  // the terminator
            AppendEscaped(out, text, "\"\"");
            out += "\"\n";
            return;
        }
        case REG_DWORD:
            if (data.size() != 4) break;
            std::snprintf(buffer, sizeof(buffer), "dword:%08x\n",
                          static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                (static_cast<unsigned>(data[3]) << 24)));
            out += buffer;
            return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
        count += 4;
    } else {
        const int written = std::snprintf(buffer, sizeof(buffer), "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
        count += static_cast<size_t>(written);
    }
    AppendHexData(out, data, count);
}

std::string EscapedPath(const RegistryKeyNode& node) {
    std::vector<const RegistryKeyNode*> chain;
    for (const RegistryKeyNode* at = &node; at->Parent(); at = at->Parent()) chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path += "\\\\";
        AppendEscaped(path, (*it)->Name(), "[]");
    }
    return path;
}

// Wine writes a key with values, without subkeys, with a class, or that is a link;
// other keys appear only as part of their subkeys' paths. Lines kept need their key.
bool WineWritesKey(const RegistryKeyNode& node) {
    return !node.Values().empty() || node.SubKeys().empty() || node.ClassName() || node.isLink ||
           !node.KeptLines().empty();
}

bool WriteKey(const RegistryKeyNode& node, TextAssembler& out) {
    if (!node.changed && node.textLength > 0) {
        if (!out.Copy(node.textOffset, node.textLength)) return false;
    } else if (node.changed && WineWritesKey(node)) {
        std::string lines;
        RenderWineKey(node, EscapedPath(node), lines);
        if (!out.Add(lines)) return false;
    }
    for (const RegistryKeyNode* subkey : node.SubKeys())
        if (!WriteKey(*subkey, out)) return false;
    return true;
}

}  // namespace mailwright::hive

namespace mailwright {

void RenderWineKey(const RegistryKeyNode& node, const std::string& escapedPath, std::string& out) {
    char buffer[64];
    const auto modified = static_cast<std::int64_t>(node.Modified());
    std::snprintf(buffer, sizeof(buffer), "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>((modified - hive::kTicks1601To1970) / hive::kTicksPerSecond),
                  static_cast<unsigned>(node.Modified() >> 32), static_cast<unsigned>(node.Modified()));
    out += "\n[";
    out += escapedPath;
    out += buffer;
    if (node.ClassName()) {
        out += "#class=\"";
        hive::AppendEscaped(out, *node.ClassName(), "\"\"");
        out += "\"\n";
    }
    if (node.isLink) out += "#link\n";
    for (const RegistryValue& value : node.Values()) {
        if (value.keptText.empty()) hive::AppendValue(out, value);
        else out += value.keptText;
    }
    out += node.KeptLines();
}

}  // namespace mailwright
