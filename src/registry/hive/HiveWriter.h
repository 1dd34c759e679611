#pragma once
// A key's text written as Wine writes it (server/registry.c, save_subkeys, dump_value),
// and the keys of a tree handed to a text assembler: unchanged keys as read, changed ones
// anew.
#include <string>

#include "registry/RegistryKeyNode.h"
#include "registry/hive/TextAssembler.h"

namespace mailwright::hive {

// Wine's dump_value.
void AppendValue(std::string& out, const RegistryValue& value);

std::string EscapedPath(const RegistryKeyNode& node);

// Wine writes a key with values, without subkeys, with a class, or that is a link;
// other keys appear only as part of their subkeys' paths. Lines kept need their key.
bool WineWritesKey(const RegistryKeyNode& node);

bool WriteKey(const RegistryKeyNode& node, TextAssembler& out);

}  // namespace mailwright::hive
