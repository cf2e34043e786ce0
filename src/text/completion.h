#pragma once
// Completion while typing, on the command view's bytes (CP932, CRLF): where
// the caret stands (an element name, an attribute, an attribute's value, a
// CSS property or value) and what may be typed there. '<', '>', quotes, '=',
// ':' and ';' are never trail bytes of a double-byte character, so the rules
// find tags and declarations on the bytes, walking forward from such a byte.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::text {

// How far back the rules look (for an open <style>, <script> or comment).
inline constexpr std::size_t kCompletionWindow = 16 * 1024;

enum class CompletionKind { kNone, kElement, kAttribute, kAttributeValue, kCssProperty, kCssValue };

struct CompletionContext {
  CompletionKind kind = CompletionKind::kNone;
  // Byte offset in `before` where the word being completed starts; the
  // caret is at the end of `before`.
  std::size_t start = 0;
  std::string element;    // lower case; of the tag the caret is in
  std::string attribute;  // lower case; whose value the caret is in
  std::string property;   // lower case; the CSS property whose value is typed
};

// `before` is the text before the caret (at most kCompletionWindow bytes).
CompletionContext FindCompletionContext(std::string_view before);

// A first look at the last bytes before the caret (kCompletionGlance), for
// a typed space or comma: false where the caret is plainly in text (after a
// closed tag, with no ':', ';' or '{' since), so the wider look is spared.
inline constexpr std::size_t kCompletionGlance = 2048;
bool CompletionMayStart(std::string_view recent);

// True when `typed` (UTF-8) only narrows a list: the word being completed
// goes on (letters, digits, '-', '_', '.', '/', '#', and any non-ASCII).
bool NarrowsCompletion(std::string_view typed);

struct CompletionItem {
  std::string label;   // as listed and matched (UTF-8)
  std::string insert;  // what accepting puts in place of the word typed
  std::size_t caret_back = 0;  // characters from the end of `insert` to leave the caret
  bool reopen = false;         // a list follows (the attribute's values, the property's)
};

// True where the value names a file of the site (href, src, srcset, ...).
bool WantsSiteFiles(const CompletionContext& context);

// The items for `context` whose label starts with `typed` (ASCII letters
// in any case; UTF-8). `files` are the site's files as paths from the page,
// used where the value names a file (images only for <img> and srcset).
std::vector<CompletionItem> CompletionItems(const CompletionContext& context,
                                            std::string_view typed,
                                            const std::vector<std::string>& files);

// The first `most` items of `all` whose label starts with `typed`, in their order.
std::vector<CompletionItem> NarrowCompletion(const std::vector<CompletionItem>& all,
                                             std::string_view typed,
                                             std::size_t most = static_cast<std::size_t>(-1));

}  // namespace hemlo::text
