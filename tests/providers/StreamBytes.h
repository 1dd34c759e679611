#pragma once
// Hand-built stream bytes for the database tests: each item spelled out, so that
// a test can damage exactly one of them.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace mailwright::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Raw32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 24)};
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A value item of any width with the given value bytes.
inline Bytes Sized(std::int32_t width, const Bytes& value) { return Join({Raw32(width), value}); }
inline Bytes Value(std::int32_t v) { return Sized(4, Raw32(v)); }
inline Bytes Flag(bool b) { return Sized(1, {static_cast<std::uint8_t>(b ? 1 : 0)}); }
inline Bytes Text(const std::string& s) {
    return Join({Bytes{0x01}, Raw32(static_cast<std::int32_t>(s.size())), Bytes(s.begin(), s.end())});
}

// The items of one layout-2 record listing "example.com", tag first.
enum RecordItem {
    kTag, kLayout, kName, kPop3Server, kSmtpServer, kAltComment, kComment, kAltInfoUrl, kInfoUrl,
    kSmtpAuth, kPop3Ssl, kSmtpSsl, kSmtpPort, kPop3Port, kDomainCount, kDomain, kUserNameIsEmail,
    kAskUserName, kAltPrompt, kPrompt
};

inline std::vector<Bytes> RecordItems() {
    return {Value(50),          Value(2),         Text("Example"),   Text("pop.example.com"),
            Text("smtp.example.com"), Text("alt comment"), Text("comment"), Text("alt url"),
            Text("url"),         Value(1),         Value(1),          Value(0),
            Value(587),          Value(995),       Value(1),          Text("example.com"),
            Flag(false),         Value(1),         Text("alt prompt"), Text("prompt")};
}

inline Bytes Database(const std::vector<Bytes>& records, std::int32_t version = 1) {
    Bytes out = Join({Value(version), Value(static_cast<std::int32_t>(records.size()))});
    for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

}  // namespace mailwright::testing
