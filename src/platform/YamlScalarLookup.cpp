#include "platform/YamlScalarLookup.h"

#include <yaml.h>

#include <memory>

namespace mailwright {
namespace {

struct DocumentDeleter {
    void operator()(yaml_document_t* document) const {
        yaml_document_delete(document);
        delete document;
    }
};
using Document = std::unique_ptr<yaml_document_t, DocumentDeleter>;

Document Parse(std::string_view text) {
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) return nullptr;
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    auto document = std::make_unique<yaml_document_t>();
    const bool loaded = yaml_parser_load(&parser, document.get()) != 0;
    yaml_parser_delete(&parser);
    if (!loaded) return nullptr;
    return Document(document.release());
}

std::string_view ScalarText(const yaml_node_t* node) {
    return {reinterpret_cast<const char*>(node->data.scalar.value), node->data.scalar.length};
}

const yaml_node_t* ValueOf(yaml_document_t* document, const yaml_node_t* mapping, std::string_view key) {
    if (!mapping || mapping->type != YAML_MAPPING_NODE) return nullptr;
    for (yaml_node_pair_t* pair = mapping->data.mapping.pairs.start; pair < mapping->data.mapping.pairs.top; ++pair) {
        const yaml_node_t* name = yaml_document_get_node(document, pair->key);
        if (name && name->type == YAML_SCALAR_NODE && ScalarText(name) == key)
            return yaml_document_get_node(document, pair->value);
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> YamlScalarLookup::Find(std::string_view text, std::initializer_list<std::string_view> keys) {
    const Document document = Parse(text);
    if (!document) return std::nullopt;
    const yaml_node_t* node = yaml_document_get_root_node(document.get());
    for (std::string_view key : keys) node = ValueOf(document.get(), node, key);
    if (!node || node->type != YAML_SCALAR_NODE) return std::nullopt;
    return std::string(ScalarText(node));
}

}  // namespace mailwright
