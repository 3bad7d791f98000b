// A stand-in for a USB-key maker's management library, for tests and the demo. Built once per
// brand (TEST_KEY_BRAND names the brand's section of the settings) and once with only the
// version entry points (TEST_KEY_VERSION_ONLY).
//
// The behaviour comes from the JSON file named by $NESTORA_KEY_LIBRARY_SETTINGS, read at every
// call, so a test may change it between calls:
//   { "log": "/path/calls.log",            every call appends "Entry[ serial][ detail]"
//     "<brand>": {
//       "version": "3.1.0",                GetSoftwareVersion (absent: the call fails)
//       "keyCount": 2,                     GetKeyCount (absent: the number of keys)
//       "snBuffer": "A;B;",                GetKeySN's bytes as given (absent: serials + NUL)
//       "initPin": 0,                      CheckInitPin's result (absent: 1)
//       "fail": ["GetKeySN"],              entry points that fail (return 0, write nothing)
//       "results": {"GetKeyCount": 256},   what a succeeding entry point returns (default 1)
//       "keys": [{ "serial": "SN1",
//                  "certificates": ["a"],  GetCertCN (absent: fails)
//                  "certCount": 1,         GetCertCount (absent: fails)
//                  "pinRetry": 6,          GetPINRetry (absent: fails)
//                  "keyFile": 1,           GetKeyFile (absent: fails)
//                  "defaultPin": 0,        GetKeyDefaultPIN (absent: fails)
//                  "changePin": false }]}} ChangePin's answer (absent: false)
// Without settings every call fails.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#define TEST_KEY_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using nlohmann::json;

constexpr std::size_t kVersionBufferSize = 256;
constexpr std::size_t kKeyBufferSize = 2048;

json ReadSettings() {
    const char* path = std::getenv("NESTORA_KEY_LIBRARY_SETTINGS");
    if (!path)
        return json::object();
    std::ifstream file(path);
    json settings = json::parse(file, nullptr, false);
    return settings.is_object() ? settings : json::object();
}

json BrandSettings() {
    const json settings = ReadSettings();
    const auto brand = settings.find(TEST_KEY_BRAND);
    return brand != settings.end() && brand->is_object() ? *brand : json::object();
}

void Log(const std::string& line) {
    const json settings = ReadSettings();
    const auto log = settings.find("log");
    if (log != settings.end() && log->is_string())
        std::ofstream(log->get<std::string>(), std::ios::app) << line << '\n';
}

bool Fails(const json& brand, const char* entry) {
    const auto fail = brand.find("fail");
    return fail != brand.end() && std::ranges::find(*fail, json(entry)) != fail->end();
}

std::int32_t SuccessResult(const json& brand, const char* entry) {
    const auto results = brand.find("results");
    if (results != brand.end() && results->contains(entry))
        return (*results)[entry].get<std::int32_t>();
    return 1;
}

// Whether the first `size` bytes are all zero, as the program promises for its buffers.
std::string BufferState(const char* buffer, std::size_t size) {
    return std::all_of(buffer, buffer + size, [](char c) { return c == 0; }) ? "zeroed" : "used";
}

}  // namespace

TEST_KEY_EXPORT std::int32_t load() {
    Log("load");
    return 1;
}

TEST_KEY_EXPORT std::int32_t CheckKeyEnv() {
    Log("CheckKeyEnv");
    return 1;
}

TEST_KEY_EXPORT std::int32_t GetSoftwareVersion(char* buffer) {
    Log("GetSoftwareVersion " + BufferState(buffer, kVersionBufferSize));
    const json brand = BrandSettings();
    if (Fails(brand, "GetSoftwareVersion") || !brand.contains("version"))
        return 0;
    const std::string version = brand["version"].get<std::string>();
    std::memcpy(buffer, version.c_str(), std::min(version.size() + 1, kVersionBufferSize - 1));
    return SuccessResult(brand, "GetSoftwareVersion");
}

#ifndef TEST_KEY_VERSION_ONLY

namespace {

const json* FindKey(const json& brand, const char* serial) {
    const auto keys = brand.find("keys");
    if (keys == brand.end())
        return nullptr;
    for (const json& key : *keys) {
        if (key.value("serial", std::string()) == serial)
            return &key;
    }
    return nullptr;
}

// A per-key value: written and a success when the key has `field`, a failure otherwise.
std::int32_t AnswerKeyValue(const char* entry, const char* field, const char* serial,
                            std::int32_t* value) {
    Log(std::string(entry) + " " + serial);
    const json brand = BrandSettings();
    const json* key = FindKey(brand, serial);
    if (Fails(brand, entry) || !key || !key->contains(field))
        return 0;
    *value = (*key)[field].get<std::int32_t>();
    return SuccessResult(brand, entry);
}

// Writes `texts` into `buffer`, each ended by NUL, the list ended by an empty text.
void WriteTextList(const json& texts, char* buffer) {
    std::size_t offset = 0;
    for (const json& text : texts) {
        const std::string value = text.get<std::string>();
        if (offset + value.size() + 2 > kKeyBufferSize)
            break;
        std::memcpy(buffer + offset, value.c_str(), value.size() + 1);
        offset += value.size() + 1;
    }
    buffer[offset] = '\0';
}

std::int32_t AnswerKeyText(const char* entry, const char* field, const char* serial, char* buffer) {
    Log(std::string(entry) + " " + serial);
    const json brand = BrandSettings();
    const json* key = FindKey(brand, serial);
    if (Fails(brand, entry) || !key || !key->contains(field))
        return 0;
    WriteTextList((*key)[field], buffer);
    return SuccessResult(brand, entry);
}

}  // namespace

TEST_KEY_EXPORT std::int32_t GetKeyCount(std::int32_t* count) {
    Log("GetKeyCount");
    const json brand = BrandSettings();
    if (Fails(brand, "GetKeyCount"))
        return 0;
    const std::size_t keys = brand.contains("keys") ? brand["keys"].size() : 0;
    *count = brand.value("keyCount", static_cast<std::int32_t>(keys));
    return SuccessResult(brand, "GetKeyCount");
}

TEST_KEY_EXPORT std::int32_t GetKeySN(char* buffer) {
    Log("GetKeySN " + BufferState(buffer, kKeyBufferSize));
    const json brand = BrandSettings();
    if (Fails(brand, "GetKeySN"))
        return 0;
    std::string bytes;
    if (brand.contains("snBuffer")) {
        bytes = brand["snBuffer"].get<std::string>();
    } else if (brand.contains("keys")) {
        for (const json& key : brand["keys"])
            bytes += key.value("serial", std::string()) + '\0';
    }
    std::memcpy(buffer, bytes.data(), std::min(bytes.size(), kKeyBufferSize));
    return SuccessResult(brand, "GetKeySN");
}

TEST_KEY_EXPORT std::int32_t GetCertCN(const char* serial, char* buffer) {
    return AnswerKeyText("GetCertCN", "certificates", serial, buffer);
}

TEST_KEY_EXPORT std::int32_t GetCertCount(const char* serial, std::int32_t* value) {
    Log("GetCertCount preset " + std::to_string(*value));
    return AnswerKeyValue("GetCertCount", "certCount", serial, value);
}

TEST_KEY_EXPORT std::int32_t GetWebURL(const char* serial, char* buffer) {
    Log(std::string("GetWebURL ") + serial);
    const json brand = BrandSettings();
    if (Fails(brand, "GetWebURL"))
        return 0;
    std::strcpy(buffer, "https://bank.example/key");
    return SuccessResult(brand, "GetWebURL");
}

TEST_KEY_EXPORT std::int32_t GetPINRetry(const char* serial, std::int32_t* value) {
    return AnswerKeyValue("GetPINRetry", "pinRetry", serial, value);
}

TEST_KEY_EXPORT std::int32_t GetKeyFile(const char* serial, std::int32_t* value) {
    return AnswerKeyValue("GetKeyFile", "keyFile", serial, value);
}

TEST_KEY_EXPORT std::int32_t GetKeyDefaultPIN(const char* serial, std::int32_t* value) {
    return AnswerKeyValue("GetKeyDefaultPIN", "defaultPin", serial, value);
}

TEST_KEY_EXPORT std::int32_t CheckInitPin() {
    Log("CheckInitPin");
    const json brand = BrandSettings();
    return brand.value("initPin", 1);
}

TEST_KEY_EXPORT std::int32_t ChangePin(const char* serial) {
    Log(std::string("ChangePin ") + serial);
    const json brand = BrandSettings();
    const json* key = FindKey(brand, serial);
    if (Fails(brand, "ChangePin") || !key || !key->value("changePin", false))
        return 0;
    return SuccessResult(brand, "ChangePin");
}

#endif
