#include "dialog/root_certificate_prompt.h"

#include <string>

#include "dialog/dialog_host.h"

namespace nestora {
namespace {

std::string WarningText(const platform::CertificateSummary& certificate) {
    return "您即将从一个声称代表如下机构的证书颁发机构安装证书：\n\n" + certificate.subject +
           "\n\n无法确认该证书确实来自该机构。安装后，此机构颁发的所有证书都将被信任。\n\n"
           "指纹（sha1）：" +
           certificate.thumbprint + "\n\n是否安装此证书？";
}

}  // namespace

platform::RootAdditionPrompt MakeRootAdditionPrompt(DialogHost& host) {
    return [&host](const platform::CertificateSummary& certificate) {
        const MessageBoxRequest request{WarningText(certificate), "安全警告",
                                        MessageBoxKind::YesNo};
        return host.ShowMessageBox(request) == IDYES;
    };
}

}  // namespace nestora
