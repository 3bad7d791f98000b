// The addresses on the bank's e-banking host: the configuration file and the two e-banking
// sites. The host is built in (NESTORA_DEFAULT_BANK_HOST) and may be replaced at run time by
// the environment variable NESTORA_BANK_HOST (host or host:port).
#pragma once

#include <string>

namespace nestora {

std::string BankHost();
// https://HOST/cfg/item.xml
std::string DefaultConfigUrl();
// https://HOST/corporbank/ and https://HOST/perbank/
std::string CorporateBankUrl();
std::string PersonalBankUrl();

}  // namespace nestora
