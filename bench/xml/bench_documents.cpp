#include "bench/xml/bench_documents.h"

#include <string>

namespace bench {
namespace {

std::string Hex32(std::size_t seed) {
    static const char digits[] = "0123456789abcdef";
    std::string hex(32, '0');
    std::size_t x = seed * 2654435761u + 12345;
    for (char& c : hex) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        c = digits[(x >> 33) & 15];
    }
    return hex;
}

void AppendConfigSections(std::string& out, std::size_t block) {
    const std::string n = std::to_string(block);
    out += "  <config type=\"registry\">\n";
    for (int i = 0; i < 4; ++i) {
        out += "    <entry name=\"Value" + std::to_string(i) +
               "\" type=\"reg_dword\" value=\"1\" mask=\"255\">HKEY_CURRENT_USER\\Software\\"
               "Microsoft\\Internet Explorer\\Main\\Block" +
               n + "</entry>\n";
    }
    out += "  </config>\n  <config type=\"dns\">\n";
    out += "    <entry name=\"网银主站 " + n + "\" ip=\"10.0." + std::to_string(block % 256) +
           ".1\">ebank" + n + ".example.com</entry>\n";
    out += "  </config>\n  <config type=\"trust\">\n";
    out += "    <entry>https://*.bank" + n + ".example.com</entry>\n";
    out += "    <entry>https://pay.example.com/?a=1&amp;b=" + n + "</entry>\n";
    out += "  </config>\n";
}

void AppendItem(std::string& out, std::size_t block) {
    const std::string n = std::to_string(block);
    out += "  <item name=\"安全控件 " + n +
           "\" type=\"control\" tips=\"请安装安全控件以保护密码输入 &amp; 交易\" "
           "image=\"img/ctl.png\" class=\"CPwdCtl\" selectedid=\"" +
           std::to_string(block % 7) + "\">\n";
    out += "    <detect type=\"clsid\">{4A3F1B2C-5D6E-7F80-91A2-B3C4D5E6F7" +
           std::to_string(10 + block % 90) + "}</detect>\n";
    out += "    <detect type=\"file\">%SystemRoot%\\System32\\ctl" + n + ".dll</detect>\n";
    out += "    <file local=\"%SystemRoot%\\System32\\ctl" + n + ".dll\" remote=\"ctl" + n +
           ".dll\" version=\"1.0.3." + n + "\" md5=\"" + Hex32(block) +
           "\" install=\"1\">control library</file>\n";
    out += "    <installer condition=\"NT6\" command=\"/S /D=%ProgramFiles%\" md5=\"" +
           Hex32(block + 1) + "\">setup/ctl_" + n + ".exe</installer>\n";
    out +=
        "    <uninstaller type=\"reg\" bit=\"32\">regsvr32 /u /s ctl" + n + ".dll</uninstaller>\n";
    out += "  </item>\n";
}

}  // namespace

std::string MakeItemDocument(std::size_t bytes) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<checkitems base=\"https://ebank.example.com/cfg/\">\n";
    out.reserve(bytes + 4096);
    for (std::size_t block = 0; out.size() < bytes; ++block) {
        AppendConfigSections(out, block);
        AppendItem(out, block);
    }
    out += "  <appinfo imperative=\"0\" version=\"1.0.0.4\" remote=\"setup/nestora.exe\" md5=\"" +
           Hex32(7) + "\" installer=\"\"/>\n</checkitems>\n";
    return out;
}

std::string MakeDenseDocument(std::size_t bytes) {
    std::string out = "<d>";
    out.reserve(bytes + 64);
    for (std::size_t i = 0; out.size() < bytes; ++i) {
        out += "<r i=\"" + std::to_string(i % 1000) + "\"><a/><b c=\"x\"/><t>v</t></r>";
    }
    out += "</d>";
    return out;
}

}  // namespace bench
