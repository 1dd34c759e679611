#include "support/EmbeddedResource.h"

namespace mailwright {

std::optional<std::span<const std::uint8_t>> FindEmbeddedResource(std::string_view type, int id) {
    for (const EmbeddedResource* r = g_embeddedResources; r->type; ++r) {
        if (r->id == id && type == r->type) return std::span<const std::uint8_t>(r->data, r->size);
    }
    return std::nullopt;
}

}  // namespace mailwright
