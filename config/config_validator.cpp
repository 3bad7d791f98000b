#include "config/config_validator.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "config/check_config.h"
#include "config/config_json.h"
#include "config/http_get_text.h"
#include "platform/context.h"
#include "platform/internet.h"
#include "platform/text.h"
#include "xml/xml_document.h"

namespace config {
namespace {

// The user agent of every session the program opens.
constexpr char kUserAgent[] = "Mozilla/5.0";

std::optional<std::string> ReadLocalFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) {
        return std::nullopt;
    }
    return std::move(bytes).str();
}

std::optional<std::string> ReadDocumentFile(const std::string& path, std::ostream& err) {
    std::optional<std::string> bytes = ReadLocalFile(path);
    if (!bytes) {
        err << "cannot read the file " << path << "\n";
        return std::nullopt;
    }
    if (bytes->empty()) {
        err << "the file " << path << " is empty\n";
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> FetchDocument(const std::string& url, platform::Context& context,
                                         std::ostream& err) {
    std::unique_ptr<platform::InternetSession> session = context.internet->OpenSession(kUserAgent);
    std::string body = session ? HttpGetText(*session, url) : std::string();
    if (body.empty()) {
        err << "nothing could be fetched from " << url
            << " (no connection, a status other than 200, or an empty or incomplete body)\n";
        return std::nullopt;
    }
    return body;
}

const char* WhyUnusable(bool wellFormed) {
    return wellFormed ? "the root element is not <checkitems>"
                      : "the document is not well-formed XML";
}

}  // namespace

bool IsWebAddress(const std::string& source) {
    const std::string lower = platform::AsciiLower(source.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

int ValidateConfig(const std::string& source, platform::Context& context, std::ostream& out,
                   std::ostream& err) {
    // The program loads only a non-empty body.
    std::optional<std::string> document =
        IsWebAddress(source) ? FetchDocument(source, context, err) : ReadDocumentFile(source, err);
    if (!document) {
        return 1;
    }
    XmlDocument reader;
    const bool wellFormed = reader.Parse(*document);
    CheckConfig config;
    const bool usable = config.LoadFromXml(*document, context);

    nlohmann::ordered_json json = {{"usable", usable}};
    json.update(ConfigToJson(config));
    json["problems"] = reader.Problems();
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    if (!usable) {
        err << "not usable: " << WhyUnusable(wellFormed) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace config
