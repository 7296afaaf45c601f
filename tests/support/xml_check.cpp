#include "support/xml_check.h"

#include <expat.h>

#include <memory>

namespace kit_test {

std::string xml_error(const std::string& bytes) {
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                      &XML_ParserFree);
  if (!parser) return "no parser";
  if (XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) ==
      XML_STATUS_OK) {
    return "";
  }
  return std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
         std::to_string(XML_GetCurrentLineNumber(parser.get()));
}

std::string xml_content_error(const std::string& bytes) {
  return xml_error("<document>" + bytes + "</document>");
}

}  // namespace kit_test
