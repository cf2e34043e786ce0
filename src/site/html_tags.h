#pragma once
// The start tags of a page, with their attributes, for the site check.
// Works on the page's bytes in either encoding: every byte that shapes the
// markup ('<', '>', quotes, '=', blanks) is below 0x40 and so never the second
// byte of a Shift-JIS character. No Qt here.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::site {

struct Attribute {
  std::string name;   // lower case
  std::string value;  // as written, quotes removed, "&amp;" and the like not decoded
  std::size_t value_offset = 0;
};

struct Tag {
  std::string name;        // lower case
  std::size_t offset = 0;  // of the '<'
  std::size_t close = 0;   // of the "/>" or '>' that ends it
  std::vector<Attribute> attributes;
  const Attribute* Find(std::string_view name) const;
};

// Start tags in order. Comments, and the content of script and style
// elements, are skipped; a tag left open at the end of the page is dropped.
std::vector<Tag> ScanTags(std::string_view bytes);

// "&amp;" "&lt;" "&gt;" "&quot;" "&#39;" and numeric references below 0x80 decoded.
std::string DecodeBasicEntities(std::string_view value);

// An address with a scheme ("http:", "mailto:") or a network path ("//host"):
// nothing a local file of the site answers.
bool HasUrlScheme(std::string_view address);

}  // namespace hemlo::site
