#pragma once
#include "cli/CommandLine.h"
#include "creation/CProviderDiscovery.h"

namespace mailwright::cli {

// Adds --nameserver, --autoconfig-url, --isp-database-url and --connect-to, which say
// where discovery looks for a domain that the database does not list; a value discovery cannot use is a usage error.
void AddDiscoveryOptions(CLI::App& command, DiscoverySettings& settings);

}  // namespace mailwright::cli
