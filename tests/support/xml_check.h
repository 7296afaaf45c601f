// SPDX-License-Identifier: MIT
// Well-formedness check of an XML document through Expat.
#pragma once

#include <string>
#include <vector>

namespace kit_test {

// "" when the bytes are a well-formed document, else Expat's message with
// the line number.
std::string xml_error(const std::string& bytes);

// The same with namespace processing, as namespace-aware readers parse: a
// prefix must then be bound, and no name may hold a second ":".
std::string xml_namespace_error(const std::string& bytes);

// The same for element content without a declaration (a tree written from
// below its root): well-formed once wrapped in one root element.
std::string xml_content_error(const std::string& bytes);

// The words of a well-formed document's character data in document order,
// every tag and comment separating words; empty for a document Expat refuses.
std::vector<std::string> words_of(const std::string& bytes);

}  // namespace kit_test
