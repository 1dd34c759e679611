#include "providers/CProviderSource.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <sstream>
#include <vector>

#include "providers/ProviderValues.h"

namespace mailwright {
namespace {

using SyntaxError = CProviderSource::SyntaxError;

// --- Reading --------------------------------------------------------------------

// Reads typed values out of the parsed document; every failure names the place.
class Reader {
public:
    explicit Reader(const std::string& fileName) : m_fileName(fileName) {}

    [[noreturn]] void Fail(const toml::source_region& at, const std::string& what) const {
        std::ostringstream message;
        message << m_fileName << ':' << at.begin.line << ':' << at.begin.column << ": " << what;
        throw SyntaxError(message.str());
    }

    const toml::table& Table(const toml::node& node, const std::string& what) const {
        if (const toml::table* t = node.as_table()) return *t;
        Fail(node.source(), what + ": expected a table");
    }

    // A text: a TOML string, or { hex = "..." } for bytes that are not UTF-8.
    std::string Text(const toml::node& node, const std::string& what) const {
        std::string text;
        if (const auto* s = node.as_string()) {
            text = s->get();
        } else if (const toml::table* t = node.as_table(); t && t->size() == 1 && t->contains("hex")) {
            text = Hex(*t->get("hex"), what);
        } else {
            Fail(node.source(), what + ": expected a string or { hex = \"...\" }");
        }
        if (text.find('\0') != std::string::npos)
            Fail(node.source(), what + ": expected a text without NUL characters (the database ends a text there)");
        return text;
    }

    std::int32_t Integer(const toml::node& node, const std::string& what, std::int64_t min, std::int64_t max) const {
        const auto* i = node.as_integer();
        if (!i || i->get() < min || i->get() > max)
            Fail(node.source(), what + ": expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
        return static_cast<std::int32_t>(i->get());
    }

    bool Boolean(const toml::node& node, const std::string& what) const {
        if (const auto* b = node.as_boolean()) return b->get();
        Fail(node.source(), what + ": expected true or false");
    }

    // A 32-bit switch of the record: true, false, or the number it holds.
    std::int32_t Switch(const toml::node& node, const std::string& what) const {
        if (const auto* b = node.as_boolean()) return b->get() ? 1 : 0;
        if (const auto* i = node.as_integer();
            i && i->get() >= std::numeric_limits<std::int32_t>::min() && i->get() <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(i->get());
        Fail(node.source(), what + ": expected true, false or a 32-bit integer");
    }

    std::int32_t Port(const toml::node& node, const std::string& what) const { return Integer(node, what, 1, 65535); }

    // Calls `read` for every key of the table, after checking that the required keys
    // are there and that no other key is.
    template <class Read>
    void Keys(const toml::table& table, const std::string& what, const std::vector<std::string_view>& required,
              const std::vector<std::string_view>& optional, Read read) const {
        for (std::string_view key : required)
            if (!table.contains(key)) Fail(table.source(), what + ": missing key \"" + std::string(key) + "\"");
        for (const auto& [key, node] : table) {
            const std::string_view name = key.str();  // a lambda cannot capture a structured binding in clang 14
            const auto known = [name](const std::vector<std::string_view>& keys) {
                return std::find(keys.begin(), keys.end(), name) != keys.end();
            };
            if (!known(required) && !known(optional))
                Fail(key.source(), what + ": unknown key \"" + std::string(key.str()) + "\"");
            read(key.str(), node);
        }
    }

private:
    std::string Hex(const toml::node& node, const std::string& what) const {
        const auto* s = node.as_string();
        const auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (!s || s->get().size() % 2 != 0 ||
            !std::all_of(s->get().begin(), s->get().end(), [&](char c) { return digit(c) >= 0; }))
            Fail(node.source(), what + ": expected pairs of hex digits");
        std::string bytes;
        for (std::size_t i = 0; i < s->get().size(); i += 2)
            bytes += static_cast<char>(digit(s->get()[i]) * 16 + digit(s->get()[i + 1]));
        return bytes;
    }

    const std::string& m_fileName;
};

void ReadServer(const Reader& in, const toml::node& node, const std::string& what, std::string& server,
                std::int32_t& port, std::int32_t& ssl, std::int32_t* auth) {
    const toml::table& table = in.Table(node, what);
    std::vector<std::string_view> required = {"server", "port", "ssl"};
    if (auth) required.push_back("auth");
    in.Keys(table, what, required, {}, [&](std::string_view key, const toml::node& value) {
        const std::string name = what + "." + std::string(key);
        if (key == "server") server = in.Text(value, name);
        else if (key == "port") port = in.Port(value, name);
        else if (key == "ssl") ssl = in.Switch(value, name);
        else *auth = in.Switch(value, name);
    });
}

std::vector<std::string> ReadDomains(const Reader& in, const toml::node& node) {
    const toml::array* list = node.as_array();
    if (!list || list->empty()) in.Fail(node.source(), "domains: expected a list of at least one domain");
    std::vector<std::string> domains;
    for (const toml::node& item : *list) {
        domains.push_back(in.Text(item, "domains"));
        if (domains.back().empty()) in.Fail(item.source(), "domains: expected a domain, not an empty text");
    }
    return domains;
}

// The texts in record order: the first copy, then the copy that is shown.
struct TextField {
    std::string_view key;
    std::string CProvider::*field;
    bool secondCopy;  // only layout 2 carries it
};
constexpr TextField kTexts[] = {
    {"alt_comment", &CProvider::m_altComment, false},
    {"comment", &CProvider::m_comment, true},
    {"alt_info_url", &CProvider::m_altInfoUrl, false},
    {"info_url", &CProvider::m_infoUrl, true},
    {"alt_user_name_prompt", &CProvider::m_altUserNamePrompt, false},
    {"user_name_prompt", &CProvider::m_userNamePrompt, true},
};

const TextField* FindText(std::string_view key) {
    for (const TextField& t : kTexts)
        if (t.key == key) return &t;
    return nullptr;
}

// The texts of a `source`: one string, or a list of them.
std::vector<std::string> ReadSourceTexts(const Reader& in, const toml::node& node, const std::string& what) {
    std::vector<std::string> texts;
    if (const toml::array* list = node.as_array()) {
        for (const toml::node& item : *list) texts.push_back(in.Text(item, what));
    } else if (node.is_string()) {
        texts.push_back(in.Text(node, what));
    } else {
        in.Fail(node.source(), what + ": expected a string or a list of strings");
    }
    return texts;
}

// Reads what a record says of where it comes from; a source that names nothing the maker
// could look up again is only warned about, so that a record being written still compiles.
class OriginReader {
public:
    OriginReader(const Reader& in, const std::string& fileName, std::vector<std::string>& warnings)
        : m_in(in), m_fileName(fileName), m_warnings(warnings) {}

    void Source(const toml::node& node) { m_source = &node; }
    void DomainSources(const toml::node& node) { m_domainSources = &node; }

    ProviderOrigin Finish(const toml::table& record, const CProvider& p) {
        ProviderOrigin origin;
        origin.record = p.m_name;
        origin.line = static_cast<int>(record.source().begin.line);
        m_prefix = m_fileName + ":" + std::to_string(origin.line) + ": record \"" + p.m_name + "\"";
        origin.source = References(m_source, "source", "");
        if (m_domainSources) ReadDomainSources(p, origin);
        return origin;
    }

private:
    std::vector<SourceReference> References(const toml::node* node, const std::string& what, const std::string& of) {
        const std::vector<std::string> texts = node ? ReadSourceTexts(m_in, *node, what) : std::vector<std::string>();
        if (texts.empty()) m_warnings.push_back(m_prefix + of + " names no source");
        std::vector<SourceReference> references;
        for (const std::string& text : texts) {
            if (const auto reference = SourceReference::Parse(text)) {
                references.push_back(*reference);
                continue;
            }
            m_warnings.push_back(m_prefix + of + ": source \"" + text +
                                 "\" names neither a repository file at a commit (owner/name:path@commit) nor a page "
                                 "with the day it was read (https://... (read YYYY-MM-DD))");
        }
        return references;
    }

    void ReadDomainSources(const CProvider& p, ProviderOrigin& origin) {
        const toml::table& table = m_in.Table(*m_domainSources, "domain_sources");
        for (const auto& [key, node] : table) {
            const std::string domain(key.str());
            if (std::find(p.m_domains.begin(), p.m_domains.end(), domain) == p.m_domains.end())
                m_in.Fail(key.source(), "domain_sources: \"" + domain + "\" is not one of the record's domains");
            origin.domainSources[domain] = References(&node, "domain_sources", ", domain \"" + domain + "\"");
        }
    }

    const Reader& m_in;
    const std::string& m_fileName;
    std::vector<std::string>& m_warnings;
    const toml::node* m_source = nullptr;
    const toml::node* m_domainSources = nullptr;
    std::string m_prefix;
};

CRefCountPtr<CProvider> ReadProvider(const Reader& in, const toml::table& table, OriginReader& origin) {
    CRefCountPtr<CProvider> p(new CProvider);
    const std::string what = "[[provider]]";
    if (const toml::node* layout = table.get("layout")) p->m_layout = in.Integer(*layout, "layout", 1, 2);
    in.Keys(table, what, {"name", "layout", "domains", "pop3", "smtp", "user_name_is_email", "ask_user_name"},
            {"alt_comment", "comment", "alt_info_url", "info_url", "alt_user_name_prompt", "user_name_prompt", "source",
             "domain_sources"},
            [&](std::string_view key, const toml::node& value) {
                const std::string name(key);
                if (key == "name") p->m_name = in.Text(value, name);
                else if (key == "domains") p->m_domains = ReadDomains(in, value);
                else if (key == "pop3") ReadServer(in, value, name, p->m_pop3Server, p->m_pop3Port, p->m_pop3Ssl, nullptr);
                else if (key == "smtp")
                    ReadServer(in, value, name, p->m_smtpServer, p->m_smtpPort, p->m_smtpSsl, &p->m_smtpAuth);
                else if (key == "user_name_is_email") p->m_userNameIsEmail = in.Boolean(value, name);
                else if (key == "ask_user_name") p->m_askUserName = in.Switch(value, name);
                else if (key == "source") origin.Source(value);
                else if (key == "domain_sources") origin.DomainSources(value);
                else if (const TextField* text = FindText(key)) {
                    if (text->secondCopy && p->m_layout == 1)
                        in.Fail(value.source(), name + ": layout 1 has no second copy; expected layout = 2 or alt_" + name);
                    (*p).*(text->field) = in.Text(value, name);
                }
            });
    return p;
}

// --- Writing --------------------------------------------------------------------

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) n = 1, cp = c;
        else if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07;
        else return false;
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

std::string TextValue(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    if (!IsUtf8(text)) {
        out = "{ hex = \"";
        for (char c : text) {
            const auto b = static_cast<unsigned char>(c);
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        return out + "\" }";
    }
    out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            default:
                if (b < 0x20 || b == 0x7F) out += std::string("\\u00") + kHex[b >> 4] + kHex[b & 15];
                else out += c;
        }
    }
    return out + "\"";
}

std::string SwitchValue(std::int32_t value) {
    if (value == 0) return "false";
    if (value == 1) return "true";
    return std::to_string(value);
}

void FormatProvider(std::ostream& out, const CProvider& p) {
    out << "\n[[provider]]\n";
    out << "name = " << TextValue(p.m_name) << "\n";
    out << "layout = " << p.m_layout << "\n";
    out << "domains = [";
    for (std::size_t i = 0; i < p.m_domains.size(); ++i) out << (i ? ", " : "") << TextValue(p.m_domains[i]);
    out << "]\n";
    out << "pop3 = { server = " << TextValue(p.m_pop3Server) << ", port = " << p.m_pop3Port
        << ", ssl = " << SwitchValue(p.m_pop3Ssl) << " }\n";
    out << "smtp = { server = " << TextValue(p.m_smtpServer) << ", port = " << p.m_smtpPort
        << ", ssl = " << SwitchValue(p.m_smtpSsl) << ", auth = " << SwitchValue(p.m_smtpAuth) << " }\n";
    out << "user_name_is_email = " << (p.m_userNameIsEmail ? "true" : "false") << "\n";
    out << "ask_user_name = " << SwitchValue(p.m_askUserName) << "\n";
    for (const TextField& text : kTexts) {
        if (text.secondCopy && p.m_layout == 1) continue;
        out << text.key << " = " << TextValue(p.*(text.field)) << "\n";
    }
}

}  // namespace

CProviderSource::Document CProviderSource::Read(std::string_view text, const std::string& fileName) {
    const Reader in(fileName);
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& e) {
        in.Fail(e.source(), std::string(e.description()));
    }

    Document document;
    in.Keys(root, "top level", {"format_version", "provider"}, {}, [&](std::string_view key, const toml::node& value) {
        if (key == "format_version") {
            document.database.SetVersion(in.Integer(value, "format_version", 1, std::numeric_limits<std::int32_t>::max()));
            return;
        }
        const toml::array* providers = value.as_array();
        if (!providers || providers->empty() || !providers->is_array_of_tables())
            in.Fail(value.source(), "provider: expected [[provider]] tables");
        for (const toml::node& node : *providers) {
            const toml::table& table = *node.as_table();
            OriginReader origin(in, fileName, document.warnings);
            CRefCountPtr<CProvider> provider = ReadProvider(in, table, origin);
            // The rule a downloaded database must pass, so that the maker finds out first.
            if (const auto impossible = FindImpossibleValue(*provider))
                in.Fail(table.source(), "[[provider]]: " + impossible->Describe());
            document.origins.push_back(origin.Finish(table, *provider));
            document.database.Add(provider);
        }
    });
    return document;
}

CProviderDatabase CProviderSource::Parse(std::string_view text, const std::string& fileName) {
    return Read(text, fileName).database;
}

std::string CProviderSource::Format(const CProviderDatabase& database) {
    std::ostringstream out;
    out << "# Provider database source: \"mailwright-cli providers compile\" makes providers.lst of it.\n";
    out << "format_version = " << database.GetVersion() << "\n";
    for (const CRefCountPtr<CProvider>& provider : database.GetProviders()) FormatProvider(out, *provider);
    return out.str();
}

}  // namespace mailwright
