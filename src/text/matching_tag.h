#pragma once
// The partner of the tag at the caret, on the command view's bytes (CP932 or
// the UTF-8 view, CRLF). '<', '>', '/', '"' and '\'' are never trail bytes of
// a double-byte character, and tag names follow a '<' directly, so tags are
// found on the bytes. Tags inside comments, <!...> and <?...> and inside the
// text of script, style, textarea and title are not tags; void elements and
// "<x/>" have no partner. No Qt here.
#include <cstddef>
#include <string_view>

namespace hemlo::text {

struct TagMatch {
  enum class Kind {
    kNoTag,      // the caret is on no start or end tag
    kSingle,     // on a void element or "<x/>", which has none
    kNoPartner,  // on a tag whose partner is not in the text given
    kFound,
  };
  Kind kind = Kind::kNoTag;
  // Byte ranges [start, end) in the text given, '<' to past '>'.
  std::size_t tag_start = 0, tag_end = 0;
  std::size_t partner_start = 0, partner_end = 0;
  bool partner_after = false;  // the tag at the caret is a start tag
};

// `text` is a stretch of the page and `caret` a byte offset in it. The caret
// is on a tag from just before its '<' to just after its '>'; between two
// tags ("<ul>|</ul>") it is on the one that starts there.
TagMatch MatchingTag(std::string_view text, std::size_t caret);

}  // namespace hemlo::text
