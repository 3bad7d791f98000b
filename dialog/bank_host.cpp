#include "dialog/bank_host.h"

#include <cstdlib>

#ifndef NESTORA_DEFAULT_BANK_HOST
#error "NESTORA_DEFAULT_BANK_HOST must name the bank's e-banking host"
#endif

namespace nestora {
namespace {

std::string BankAddress(const char* path) {
    return "https://" + BankHost() + path;
}

}  // namespace

std::string BankHost() {
    if (const char* host = std::getenv("NESTORA_BANK_HOST"); host && *host)
        return host;
    return NESTORA_DEFAULT_BANK_HOST;
}

std::string DefaultConfigUrl() {
    return BankAddress("/cfg/item.xml");
}
std::string CorporateBankUrl() {
    return BankAddress("/corporbank/");
}
std::string PersonalBankUrl() {
    return BankAddress("/perbank/");
}

}  // namespace nestora
