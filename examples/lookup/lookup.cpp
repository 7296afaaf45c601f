// SPDX-License-Identifier: MIT
// Loads an XML file with the varnel tree library and prints the value a key
// gives: an attribute of that name, or the text of an element so named.
//
//   lookup FILE KEY
//
// Exit status 0 with the value printed; 1 when the file cannot be loaded
// (the loader has said why) or holds no element; 2 for a wrong command line.
#include <cstdio>

#include "runtime/text.h"
#include "tree/dom.h"
#include "tree/loader.h"
#include "tree/search.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lookup FILE KEY\n");
    return 2;
  }
  kit::Dom dom;
  if (!kit::load_xml(dom, argv[1])) return 1;
  // find_value gives the key itself when no element holds a value for it.
  const auto value = kit::find_value(dom, argv[2]);
  if (!value) {
    std::fprintf(stderr, "%s holds no element\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", value->c_str());
  return 0;
}
