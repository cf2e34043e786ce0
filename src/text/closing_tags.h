#pragma once
// End tags while typing, on the command view's bytes (CP932, CRLF): the
// rules see a window of text before the caret and a little after it, and
// answer with bytes to insert. '<', '>', '/', '!' and '?' are never trail
// bytes of a double-byte character, so tags are found on the bytes directly.
#include <cstddef>
#include <string>
#include <string_view>

namespace hemlo::text {

// How far back the rules look for open elements and comments.
inline constexpr std::size_t kClosingTagWindow = 64 * 1024;

// `before` ends with the '>' just typed. The end tag to put after the caret
// ("</ul>"), or empty: void elements, <!...>, <?...>, end tags, "/>", a
// '>' inside a quoted attribute value, inside a comment, <script> or <style>,
// and where the same end tag already follows the caret.
std::string EndTagAfterGreaterThan(std::string_view before, std::string_view after);

// `before` ends with the "</" just typed. The rest of the innermost open
// element's end tag ("ul>"), or empty when no element is open. When `after`
// starts with that very end tag, `skip` is set to its length instead: the
// typed "</" is dropped and the caret goes over the tag.
struct EndTagCompletion {
  std::string insert;    // bytes to insert after the caret, the caret after them
  std::size_t skip = 0;  // bytes after the caret to go over (the typed "</" removed)
  std::string name;      // the element completed
};
EndTagCompletion CompleteEndTag(std::string_view before, std::string_view after);

// True for elements that never have an end tag.
bool IsVoidElement(std::string_view name);

}  // namespace hemlo::text
