// The loaded configuration as JSON, with the field names of item.xml's model.
#pragma once

#include <nlohmann/json.hpp>

#include "config/check_config.h"

namespace config {

// {"base", "sections", "items", "components", "appInfo"} in that order.
nlohmann::ordered_json ConfigToJson(const CheckConfig& config);

}  // namespace config
