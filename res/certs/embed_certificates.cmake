# Writes a C++ source holding certificate files as a table of named byte arrays.
# -DOUTPUT=<file.cpp> -DRESOURCES=<name>=<path>|<name>=<path>|...
string(REPLACE "|" ";" resources "${RESOURCES}")
set(arrays "")
set(rows "")
set(index 0)
foreach(resource ${resources})
  string(FIND "${resource}" "=" separator)
  string(SUBSTRING "${resource}" 0 ${separator} name)
  math(EXPR start "${separator} + 1")
  string(SUBSTRING "${resource}" ${start} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  if(digits EQUAL 0)
    message(FATAL_ERROR "empty certificate file: ${path}")
  endif()
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const std::uint8_t kBytes${index}[${size}] = {\n    ${bytes}};\n\n")
  string(APPEND rows "    {\"${name}\", kBytes${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from the certificate files by embed_certificates.cmake; do not edit.
#include \"res/certs/certificate_resource_table.h\"

namespace res {
namespace {

${arrays}}  // namespace

const CertificateResource kCertificateResources[] = {
${rows}};
const std::size_t kCertificateResourceCount = ${index};

}  // namespace res
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
