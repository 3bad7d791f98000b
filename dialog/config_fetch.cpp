// The configuration thread: fetch item.xml from the ConfigUrl override or the bank's default
// address and load it; when nothing could be fetched, tell the user and close the window.
#include <array>
#include <cstdint>
#include <string>

#include "dialog/bank_host.h"
#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/registry.h"
#include "res/string_table.h"
#include "xml/xml_document.h"

namespace nestora {
namespace {

// The ConfigUrl value is read into a buffer of this many bytes: at most 511 characters and
// the terminator fit.
constexpr win::DWORD kConfigUrlBufferBytes = 1024;

// Why the loader refused a body, with the XML reader's problems when it found any.
std::string DescribeRejection(const std::string& body) {
    XmlDocument reader;
    std::string why = reader.Parse(body) ? "the root element is not <checkitems>"
                                         : "the document is not well-formed XML";
    if (!reader.Problems().empty())
        why += "; the reader found: " + reader.Problems();
    return why;
}

}  // namespace

std::string CNestoraDlg::ReadConfigUrl() const {
    platform::RegKey key;
    if (m_context.registry->OpenKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                    kProgramKeyPath, platform::KEY_READ, key) != win::ERROR_SUCCESS)
        return {};
    std::array<std::uint8_t, kConfigUrlBufferBytes> buffer{};
    win::DWORD type = 0;
    win::DWORD size = buffer.size();
    if (m_context.registry->QueryValue(key, "ConfigUrl", &type, buffer.data(), &size) !=
            win::ERROR_SUCCESS ||
        (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ))
        return {};
    return platform::RegSzToUtf8(buffer.data(), size);
}

void CNestoraDlg::ConfigFetchThread() {
    std::string url = ReadConfigUrl();
    if (url.empty())
        url = DefaultConfigUrl();
    const std::string body = m_operations.httpGet(m_context, url);
    if (body.empty()) {
        m_prompts.ShowNotice(res::IDS_NETWORK_FAILED, res::IDS_DOWNLOAD_ERROR);
        m_host.PostClose();
        return;
    }
    if (!m_config.LoadFromXml(body, m_context))
        m_host.ConfigurationRejected(url + ": " + DescribeRejection(body));
}

}  // namespace nestora
