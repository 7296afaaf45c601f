// SPDX-License-Identifier: MIT
#include "support/xml_check.h"

#include <expat.h>

#include <memory>
#include <sstream>

namespace kit_test {

namespace {

std::string parse_error(const std::string& bytes, bool namespaces) {
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      namespaces ? XML_ParserCreateNS(nullptr, ' ') : XML_ParserCreate(nullptr), &XML_ParserFree);
  if (!parser) return "no parser";
  if (XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) ==
      XML_STATUS_OK) {
    return "";
  }
  return std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
         std::to_string(XML_GetCurrentLineNumber(parser.get()));
}

}  // namespace

std::string xml_error(const std::string& bytes) { return parse_error(bytes, false); }

std::string xml_namespace_error(const std::string& bytes) { return parse_error(bytes, true); }

std::string xml_content_error(const std::string& bytes) {
  return xml_error("<document>" + bytes + "</document>");
}

namespace {

void XMLCALL gather_text(void* text, const XML_Char* bytes, int length) {
  static_cast<std::string*>(text)->append(bytes, static_cast<std::size_t>(length));
}
void XMLCALL tag_starts(void* text, const XML_Char*, const XML_Char**) {
  *static_cast<std::string*>(text) += ' ';
}
void XMLCALL tag_ends(void* text, const XML_Char*) { *static_cast<std::string*>(text) += ' '; }
void XMLCALL comment_met(void* text, const XML_Char*) { *static_cast<std::string*>(text) += ' '; }

}  // namespace

std::vector<std::string> words_of(const std::string& bytes) {
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                      &XML_ParserFree);
  std::string text;
  XML_SetUserData(parser.get(), &text);
  XML_SetCharacterDataHandler(parser.get(), gather_text);
  XML_SetElementHandler(parser.get(), tag_starts, tag_ends);
  XML_SetCommentHandler(parser.get(), comment_met);
  if (XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) !=
      XML_STATUS_OK) {
    return {};
  }
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace kit_test
