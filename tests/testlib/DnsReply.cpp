#include "testlib/DnsReply.h"

namespace mailwright::testing {
namespace {

void PutShort(std::string& out, unsigned value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// The header and question of a reply to the query, with the answer count.
std::string ReplyHead(const TestDnsServer::Query& query, int rcode, unsigned answers) {
    std::string reply = query.bytes.substr(0, 2);                // the query's id
    reply += static_cast<char>(0x81);                             // a response; recursion desired
    reply += static_cast<char>(0x80 | (rcode & 0x0F));            // recursion available
    PutShort(reply, 1);
    PutShort(reply, answers);
    PutShort(reply, 0);
    PutShort(reply, 0);
    reply += DnsReply::EncodeName(query.name);
    PutShort(reply, query.type);
    PutShort(reply, 1);
    return reply;
}

// The start of an answer record for the question's name, up to its data length.
void PutRecordHead(std::string& reply, unsigned type) {
    reply += "\xC0\x0C";  // the question's name
    PutShort(reply, type);
    PutShort(reply, 1);
    reply += std::string("\0\0\x0E\x10", 4);  // an hour
}

}  // namespace

std::string DnsReply::SrvAnswer(const TestDnsServer::Query& query, const std::vector<Srv>& records) {
    std::string reply = ReplyHead(query, 0, static_cast<unsigned>(records.size()));
    for (const Srv& srv : records) {
        PutRecordHead(reply, kTypeSrv);
        const std::string target = EncodeName(srv.target);
        PutShort(reply, static_cast<unsigned>(6 + target.size()));
        PutShort(reply, static_cast<unsigned>(srv.priority));
        PutShort(reply, static_cast<unsigned>(srv.weight));
        PutShort(reply, static_cast<unsigned>(srv.port));
        reply += target;
    }
    return reply;
}

std::string DnsReply::AddressAnswer(const TestDnsServer::Query& query, const std::vector<std::string>& addresses) {
    std::string reply = ReplyHead(query, 0, static_cast<unsigned>(addresses.size()));
    for (const std::string& address : addresses) {
        PutRecordHead(reply, kTypeA);
        PutShort(reply, 4);
        std::size_t from = 0;
        for (int part = 0; part < 4; ++part) {
            const std::size_t dot = address.find('.', from);
            reply += static_cast<char>(std::stoi(address.substr(from, dot - from)));
            from = dot + 1;
        }
    }
    return reply;
}

std::string DnsReply::EncodeName(const std::string& name) {
    std::string encoded;
    std::size_t from = 0;
    while (from < name.size()) {
        std::size_t dot = name.find('.', from);
        if (dot == std::string::npos) dot = name.size();
        encoded += static_cast<char>(dot - from);
        encoded += name.substr(from, dot - from);
        from = dot + 1;
    }
    return encoded + '\0';
}

std::string DnsReply::Answer(const TestDnsServer::Query& query, const std::vector<Mx>& exchangers) {
    std::string reply = ReplyHead(query, 0, static_cast<unsigned>(exchangers.size()));
    for (const Mx& mx : exchangers) {
        reply += "\xC0\x0C";  // the question's name
        PutShort(reply, kTypeMx);
        PutShort(reply, 1);
        reply += std::string("\0\0\x0E\x10", 4);  // an hour
        const std::string host = EncodeName(mx.host);
        PutShort(reply, static_cast<unsigned>(2 + host.size()));
        PutShort(reply, static_cast<unsigned>(mx.preference));
        reply += host;
    }
    return reply;
}

std::string DnsReply::Error(const TestDnsServer::Query& query, int rcode) { return ReplyHead(query, rcode, 0); }

}  // namespace mailwright::testing
