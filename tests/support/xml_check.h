// Well-formedness check of an XML document through Expat.
#pragma once

#include <string>

namespace kit_test {

// "" when the bytes are a well-formed document, else Expat's message with
// the line number.
std::string xml_error(const std::string& bytes);

}  // namespace kit_test
