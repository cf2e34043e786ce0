#pragma once
// The words completion offers: HTML elements, their attributes and values,
// CSS properties and values. Lists end with nullptr.
#include <string_view>

namespace hemlo::text::data {

extern const char* const kElements[];
extern const char* const kGlobalAttributes[];
extern const char* const kCssProperties[];
extern const char* const kCssGlobalValues[];

// Attributes of an element besides the global ones; nullptr when none.
const char* const* AttributesOf(std::string_view element);
// True for attributes written without a value (checked, disabled, ...).
bool IsBooleanAttribute(std::string_view attribute);
// Values an attribute takes (on that element); nullptr when there is no list.
const char* const* ValuesOf(std::string_view element, std::string_view attribute);
// Keyword values of a CSS property; nullptr when there is no list.
const char* const* CssValuesOf(std::string_view property);

}  // namespace hemlo::text::data
