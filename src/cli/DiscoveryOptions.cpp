#include "cli/DiscoveryOptions.h"

namespace mailwright::cli {
namespace {

// A CLI11 check of one setting: its problem, or the empty text.
template <std::string DiscoverySettings::*Field>
CLI::Validator SettingCheck(const char* name) {
    return CLI::Validator(
        [](std::string& value) {
            DiscoverySettings settings;
            settings.*Field = value;
            return CProviderDiscovery::ProblemOf(settings);
        },
        "", name);
}

}  // namespace

void AddDiscoveryOptions(CLI::App& command, DiscoverySettings& settings) {
    command
        .add_option("--nameserver", settings.nameserver,
                    "The DNS server asked for the domain's mail servers (default: the system's resolvers)")
        ->type_name("IP[:PORT]")
        ->check(SettingCheck<&DiscoverySettings::nameserver>("nameserver"));
    command
        .add_option("--autoconfig-url", settings.autoconfigUrl,
                    "The address of the domain's clientConfig file, {domain} standing for the domain (default: "
                    "https://autoconfig.{domain}/mail/config-v1.1.xml, then "
                    "https://{domain}/.well-known/autoconfig/mail/config-v1.1.xml)")
        ->type_name("URL")
        ->check(SettingCheck<&DiscoverySettings::autoconfigUrl>("autoconfig-url"));
    command
        .add_option("--isp-database-url", settings.ispDatabaseUrl,
                    std::string("The address of the ISP database's file for a domain, {domain} standing for the "
                                "domain (default: ") +
                        DiscoverySettings::kIspDatabaseUrl + ")")
        ->type_name("URL")
        ->check(SettingCheck<&DiscoverySettings::ispDatabaseUrl>("isp-database-url"));
    command
        .add_option("--connect-to", settings.connectTo,
                    "Connect probes of HOST:PORT to ADDRESS:PORT instead, still checking the certificate for HOST "
                    "(for tests; may be given more than once)")
        ->type_name("HOST:PORT:ADDRESS:PORT")
        ->check(CLI::Validator(
            [](std::string& value) {
                DiscoverySettings settings;
                settings.connectTo = {value};
                return CProviderDiscovery::ProblemOf(settings);
            },
            "", "connect-to"));
}

}  // namespace mailwright::cli
