#include "text/completion_data.h"

#include <cstddef>
#include <string>

namespace hemlo::text::data {

namespace {

struct Named {
  const char* name;
  const char* const* list;
};

template <std::size_t N>
const char* const* Find(const Named (&table)[N], std::string_view name) {
  for (const Named& n : table)
    if (name == n.name) return n.list;
  return nullptr;
}

#define LIST(id, ...) const char* const id[] = {__VA_ARGS__, nullptr}

LIST(kA, "href", "target", "rel", "download", "hreflang", "type", "referrerpolicy", "ping", "name");
LIST(kImg, "src", "alt", "width", "height", "srcset", "sizes", "loading", "decoding", "usemap",
     "ismap", "crossorigin", "referrerpolicy", "fetchpriority", "border", "align");
LIST(kLink, "rel", "href", "type", "media", "sizes", "hreflang", "as", "crossorigin", "integrity",
     "referrerpolicy", "title", "fetchpriority");
LIST(kMeta, "charset", "name", "content", "http-equiv", "property", "media");
LIST(kScript, "src", "type", "async", "defer", "crossorigin", "integrity", "nomodule",
     "referrerpolicy", "charset");
LIST(kStyleEl, "media", "type");
LIST(kInput, "type", "name", "value", "placeholder", "required", "checked", "disabled",
     "readonly", "size", "maxlength", "minlength", "min", "max", "step", "pattern", "autocomplete",
     "list", "multiple", "accept", "form", "src", "alt", "width", "height");
LIST(kButton, "type", "name", "value", "disabled", "form", "formaction", "formmethod",
     "popovertarget");
LIST(kForm, "action", "method", "enctype", "target", "name", "autocomplete", "novalidate",
     "accept-charset");
LIST(kLabel, "for", "form");
LIST(kSelect, "name", "multiple", "size", "required", "disabled", "form", "autocomplete");
LIST(kOption, "value", "selected", "disabled", "label");
LIST(kTextarea, "name", "rows", "cols", "placeholder", "required", "readonly", "disabled",
     "maxlength", "wrap", "form", "autocomplete");
LIST(kTable, "border", "cellpadding", "cellspacing", "summary", "width", "align");
LIST(kCell, "colspan", "rowspan", "headers", "scope", "abbr", "align", "valign", "width");
LIST(kCol, "span", "width");
LIST(kOl, "start", "reversed", "type");
LIST(kLi, "value", "type");
LIST(kIframe, "src", "srcdoc", "name", "width", "height", "allow", "allowfullscreen", "loading",
     "sandbox", "referrerpolicy", "title", "frameborder");
LIST(kMedia, "src", "controls", "autoplay", "loop", "muted", "preload", "poster", "width",
     "height", "playsinline", "crossorigin");
LIST(kSource, "src", "srcset", "type", "media", "sizes", "width", "height");
LIST(kTrack, "src", "kind", "srclang", "label", "default");
LIST(kHtml, "lang", "xmlns", "manifest");
LIST(kBase, "href", "target");
LIST(kQuote, "cite");
LIST(kMod, "cite", "datetime");
LIST(kTime, "datetime");
LIST(kArea, "href", "alt", "shape", "coords", "target", "rel", "download");
LIST(kMap, "name");
LIST(kObject, "data", "type", "width", "height", "name");
LIST(kEmbed, "src", "type", "width", "height");
LIST(kDetails, "open", "name");
LIST(kDialog, "open");
LIST(kCanvas, "width", "height");
LIST(kFieldset, "disabled", "form", "name");
LIST(kMeter, "value", "min", "max", "low", "high", "optimum");
LIST(kProgress, "value", "max");
LIST(kOptgroup, "label", "disabled");
LIST(kData, "value");
LIST(kBody, "onload", "bgcolor", "text", "link", "vlink", "alink", "background");
LIST(kFont, "color", "size", "face");
LIST(kHr, "size", "width", "align", "noshade");

const Named kElementAttributes[] = {
    {"a", kA},           {"img", kImg},          {"link", kLink},       {"meta", kMeta},
    {"script", kScript}, {"style", kStyleEl},    {"input", kInput},     {"button", kButton},
    {"form", kForm},     {"label", kLabel},      {"output", kLabel},    {"select", kSelect},
    {"option", kOption}, {"textarea", kTextarea}, {"table", kTable},    {"td", kCell},
    {"th", kCell},       {"col", kCol},          {"colgroup", kCol},    {"ol", kOl},
    {"li", kLi},         {"iframe", kIframe},    {"audio", kMedia},     {"video", kMedia},
    {"source", kSource}, {"track", kTrack},      {"html", kHtml},       {"base", kBase},
    {"q", kQuote},       {"blockquote", kQuote}, {"ins", kMod},         {"del", kMod},
    {"time", kTime},     {"area", kArea},        {"map", kMap},         {"object", kObject},
    {"embed", kEmbed},   {"details", kDetails},  {"dialog", kDialog},   {"canvas", kCanvas},
    {"fieldset", kFieldset}, {"meter", kMeter},  {"progress", kProgress}, {"optgroup", kOptgroup},
    {"data", kData},     {"body", kBody},        {"font", kFont},       {"hr", kHr},
};

LIST(kInputTypes, "text", "password", "checkbox", "radio", "submit", "reset", "button", "file",
     "hidden", "image", "email", "url", "tel", "number", "range", "date", "time",
     "datetime-local", "month", "week", "color", "search");
LIST(kButtonTypes, "submit", "reset", "button");
LIST(kScriptTypes, "text/javascript", "module", "importmap", "application/ld+json");
LIST(kStyleTypes, "text/css");
LIST(kOlTypes, "1", "a", "A", "i", "I");
LIST(kLiTypes, "disc", "circle", "square", "1", "a", "A", "i", "I");
LIST(kMimeTypes, "text/css", "text/html", "text/javascript", "image/png", "image/jpeg",
     "image/gif", "image/webp", "image/svg+xml", "image/x-icon", "image/avif", "video/mp4",
     "video/webm", "audio/mpeg", "audio/ogg", "application/pdf", "application/rss+xml",
     "application/atom+xml", "application/json", "font/woff2");
LIST(kRel, "stylesheet", "icon", "alternate", "canonical", "author", "help", "license", "next",
     "prev", "search", "preload", "prefetch", "preconnect", "dns-prefetch", "modulepreload",
     "manifest", "apple-touch-icon", "nofollow", "noopener", "noreferrer", "external", "bookmark",
     "tag", "me");
LIST(kTarget, "_blank", "_self", "_parent", "_top");
LIST(kCharset, "UTF-8", "Shift_JIS", "EUC-JP", "ISO-2022-JP");
LIST(kLang, "ja", "en", "en-US", "en-GB", "zh-CN", "zh-TW", "ko", "fr", "de", "es", "it", "pt",
     "ru");
LIST(kMethod, "get", "post", "dialog");
LIST(kEnctype, "application/x-www-form-urlencoded", "multipart/form-data", "text/plain");
LIST(kDir, "ltr", "rtl", "auto");
LIST(kLoading, "lazy", "eager");
LIST(kDecoding, "async", "sync", "auto");
LIST(kCrossorigin, "anonymous", "use-credentials");
LIST(kReferrer, "no-referrer", "no-referrer-when-downgrade", "origin", "origin-when-cross-origin",
     "same-origin", "strict-origin", "strict-origin-when-cross-origin", "unsafe-url");
LIST(kAutocomplete, "on", "off", "name", "email", "username", "new-password",
     "current-password", "one-time-code", "tel", "url", "street-address", "postal-code",
     "country", "bday", "organization");
LIST(kHttpEquiv, "content-type", "refresh", "default-style", "content-security-policy",
     "X-UA-Compatible");
LIST(kMetaName, "viewport", "description", "keywords", "author", "generator", "robots",
     "theme-color", "color-scheme", "format-detection", "referrer", "twitter:card");
LIST(kMetaContent, "width=device-width, initial-scale=1", "text/html; charset=Shift_JIS",
     "text/html; charset=UTF-8", "noindex", "nofollow", "noindex, nofollow", "telephone=no");
LIST(kAlign, "left", "center", "right", "justify");
LIST(kValign, "top", "middle", "bottom", "baseline");
LIST(kScope, "row", "col", "rowgroup", "colgroup");
LIST(kWrap, "soft", "hard");
LIST(kPreload, "none", "metadata", "auto");
LIST(kKind, "subtitles", "captions", "descriptions", "chapters", "metadata");
LIST(kShape, "rect", "circle", "poly", "default");
LIST(kTrueFalse, "true", "false");
LIST(kEditable, "true", "false", "plaintext-only");
LIST(kYesNo, "yes", "no");
LIST(kHidden, "until-found");
LIST(kInputmode, "none", "text", "decimal", "numeric", "tel", "search", "email", "url");
LIST(kEnterkey, "enter", "done", "go", "next", "previous", "search", "send");
LIST(kPopover, "auto", "manual");
LIST(kPriority, "high", "low", "auto");
LIST(kAs, "script", "style", "image", "font", "fetch", "document", "audio", "video", "track",
     "worker");
LIST(kSandbox, "allow-scripts", "allow-same-origin", "allow-forms", "allow-popups",
     "allow-top-navigation", "allow-modals", "allow-downloads");
LIST(kMedia_, "all", "screen", "print", "(max-width: 600px)", "(min-width: 768px)",
     "(prefers-color-scheme: dark)");
LIST(kAutocap, "off", "none", "on", "sentences", "words", "characters");
LIST(kSizes, "100vw", "(max-width: 600px) 100vw, 50vw", "any");

// Values by attribute; "element attribute" entries come first and win.
const Named kValues[] = {
    {"input type", kInputTypes},
    {"button type", kButtonTypes},
    {"script type", kScriptTypes},
    {"style type", kStyleTypes},
    {"ol type", kOlTypes},
    {"li type", kLiTypes},
    {"ul type", kLiTypes},
    {"meta name", kMetaName},
    {"meta content", kMetaContent},
    {"form target", kTarget},
    {"type", kMimeTypes},
    {"rel", kRel},
    {"target", kTarget},
    {"formtarget", kTarget},
    {"charset", kCharset},
    {"accept-charset", kCharset},
    {"lang", kLang},
    {"hreflang", kLang},
    {"srclang", kLang},
    {"method", kMethod},
    {"formmethod", kMethod},
    {"enctype", kEnctype},
    {"dir", kDir},
    {"loading", kLoading},
    {"decoding", kDecoding},
    {"crossorigin", kCrossorigin},
    {"referrerpolicy", kReferrer},
    {"autocomplete", kAutocomplete},
    {"http-equiv", kHttpEquiv},
    {"align", kAlign},
    {"valign", kValign},
    {"scope", kScope},
    {"wrap", kWrap},
    {"preload", kPreload},
    {"kind", kKind},
    {"shape", kShape},
    {"draggable", kTrueFalse},
    {"spellcheck", kTrueFalse},
    {"contenteditable", kEditable},
    {"translate", kYesNo},
    {"hidden", kHidden},
    {"inputmode", kInputmode},
    {"enterkeyhint", kEnterkey},
    {"popover", kPopover},
    {"fetchpriority", kPriority},
    {"as", kAs},
    {"sandbox", kSandbox},
    {"media", kMedia_},
    {"autocapitalize", kAutocap},
    {"sizes", kSizes},
};

LIST(kBooleans, "checked", "disabled", "readonly", "required", "multiple", "selected", "async",
     "defer", "nomodule", "controls", "autoplay", "loop", "muted", "playsinline", "default",
     "open", "reversed", "novalidate", "allowfullscreen", "ismap", "autofocus", "inert",
     "itemscope", "noshade", "download");

LIST(kColours, "transparent", "currentcolor", "black", "white", "gray", "silver", "red",
     "maroon", "orange", "yellow", "olive", "lime", "green", "teal", "aqua", "cyan", "blue",
     "navy", "purple", "fuchsia", "magenta", "pink", "brown", "gold", "beige", "ivory",
     "lavender", "skyblue", "darkgray", "lightgray", "whitesmoke");
LIST(kDisplay, "block", "inline", "inline-block", "flex", "inline-flex", "grid", "inline-grid",
     "none", "contents", "table", "table-row", "table-cell", "list-item", "flow-root");
LIST(kPosition, "static", "relative", "absolute", "fixed", "sticky");
LIST(kTextAlign, "left", "right", "center", "justify", "start", "end");
LIST(kFontWeight, "normal", "bold", "bolder", "lighter", "100", "200", "300", "400", "500", "600",
     "700", "800", "900");
LIST(kFontStyle, "normal", "italic", "oblique");
LIST(kFontFamily, "sans-serif", "serif", "monospace", "cursive", "system-ui", "\"Noto Sans JP\"",
     "\"Hiragino Kaku Gothic ProN\"", "Meiryo", "\"Yu Gothic\"");
LIST(kFontSize, "small", "medium", "large", "x-small", "x-large", "xx-large", "smaller",
     "larger");
LIST(kTextDecoration, "none", "underline", "overline", "line-through");
LIST(kBorderStyle, "none", "solid", "dashed", "dotted", "double", "groove", "ridge", "inset",
     "outset", "hidden");
LIST(kAuto, "auto", "0");
LIST(kOverflow, "visible", "hidden", "scroll", "auto", "clip");
LIST(kFloat, "left", "right", "none", "inline-start", "inline-end");
LIST(kClear, "left", "right", "both", "none");
LIST(kVerticalAlign, "baseline", "top", "middle", "bottom", "text-top", "text-bottom", "sub",
     "super");
LIST(kWhiteSpace, "normal", "nowrap", "pre", "pre-wrap", "pre-line", "break-spaces");
LIST(kFlexDirection, "row", "row-reverse", "column", "column-reverse");
LIST(kFlexWrap, "nowrap", "wrap", "wrap-reverse");
LIST(kJustify, "flex-start", "flex-end", "center", "space-between", "space-around",
     "space-evenly", "start", "end", "stretch");
LIST(kAlignItems, "stretch", "flex-start", "flex-end", "center", "baseline", "start", "end");
LIST(kCursor, "auto", "default", "pointer", "text", "move", "wait", "help", "not-allowed",
     "crosshair", "grab");
LIST(kListStyle, "none", "disc", "circle", "square", "decimal", "lower-alpha", "upper-alpha",
     "lower-roman", "upper-roman", "inside", "outside");
LIST(kBackgroundRepeat, "repeat", "no-repeat", "repeat-x", "repeat-y", "space", "round");
LIST(kBackgroundSize, "auto", "cover", "contain");
LIST(kBackgroundPosition, "center", "top", "bottom", "left", "right");
LIST(kBoxSizing, "content-box", "border-box");
LIST(kVisibility, "visible", "hidden", "collapse");
LIST(kTextTransform, "none", "capitalize", "uppercase", "lowercase");
LIST(kWritingMode, "horizontal-tb", "vertical-rl", "vertical-lr");
LIST(kWordBreak, "normal", "break-all", "keep-all", "break-word");
LIST(kObjectFit, "fill", "contain", "cover", "none", "scale-down");
LIST(kBorderCollapse, "collapse", "separate");
LIST(kNone, "none");
LIST(kBackground, "none", "transparent", "url()", "no-repeat", "center", "cover");
LIST(kLength, "auto", "0", "100%", "50%", "1em", "1rem", "10px");
LIST(kTransition, "all", "none", "ease", "ease-in", "ease-out", "ease-in-out", "linear");
LIST(kUserSelect, "auto", "none", "text", "all");

const Named kCssValues[] = {
    {"color", kColours},
    {"background-color", kColours},
    {"border-color", kColours},
    {"outline-color", kColours},
    {"text-decoration-color", kColours},
    {"display", kDisplay},
    {"position", kPosition},
    {"text-align", kTextAlign},
    {"font-weight", kFontWeight},
    {"font-style", kFontStyle},
    {"font-family", kFontFamily},
    {"font-size", kFontSize},
    {"text-decoration", kTextDecoration},
    {"text-decoration-line", kTextDecoration},
    {"border-style", kBorderStyle},
    {"border", kBorderStyle},
    {"border-top", kBorderStyle},
    {"border-bottom", kBorderStyle},
    {"border-left", kBorderStyle},
    {"border-right", kBorderStyle},
    {"outline", kBorderStyle},
    {"margin", kAuto},
    {"margin-left", kAuto},
    {"margin-right", kAuto},
    {"width", kLength},
    {"height", kLength},
    {"max-width", kLength},
    {"min-height", kLength},
    {"overflow", kOverflow},
    {"overflow-x", kOverflow},
    {"overflow-y", kOverflow},
    {"float", kFloat},
    {"clear", kClear},
    {"vertical-align", kVerticalAlign},
    {"white-space", kWhiteSpace},
    {"flex-direction", kFlexDirection},
    {"flex-wrap", kFlexWrap},
    {"justify-content", kJustify},
    {"align-content", kJustify},
    {"align-items", kAlignItems},
    {"align-self", kAlignItems},
    {"cursor", kCursor},
    {"list-style", kListStyle},
    {"list-style-type", kListStyle},
    {"background-repeat", kBackgroundRepeat},
    {"background-size", kBackgroundSize},
    {"background-position", kBackgroundPosition},
    {"background", kBackground},
    {"box-sizing", kBoxSizing},
    {"visibility", kVisibility},
    {"text-transform", kTextTransform},
    {"writing-mode", kWritingMode},
    {"word-break", kWordBreak},
    {"overflow-wrap", kWordBreak},
    {"object-fit", kObjectFit},
    {"border-collapse", kBorderCollapse},
    {"box-shadow", kNone},
    {"text-shadow", kNone},
    {"transform", kNone},
    {"transition", kTransition},
    {"user-select", kUserSelect},
};

}  // namespace

const char* const kElements[] = {
    "a", "abbr", "address", "area", "article", "aside", "audio", "b", "base", "bdi", "bdo",
    "blockquote", "body", "br", "button", "canvas", "caption", "center", "cite", "code", "col",
    "colgroup", "data", "datalist", "dd", "del", "details", "dfn", "dialog", "div", "dl", "dt",
    "em", "embed", "fieldset", "figcaption", "figure", "font", "footer", "form", "h1", "h2", "h3",
    "h4", "h5", "h6", "head", "header", "hgroup", "hr", "html", "i", "iframe", "img", "input",
    "ins", "kbd", "label", "legend", "li", "link", "main", "map", "mark", "menu", "meta", "meter",
    "nav", "noscript", "object", "ol", "optgroup", "option", "output", "p", "picture", "pre",
    "progress", "q", "rp", "rt", "ruby", "s", "samp", "script", "search", "section", "select",
    "slot", "small", "source", "span", "strong", "style", "sub", "summary", "sup", "table",
    "tbody", "td", "template", "textarea", "tfoot", "th", "thead", "time", "title", "tr", "track",
    "u", "ul", "var", "video", "wbr", nullptr};

const char* const kGlobalAttributes[] = {
    "class", "id", "style", "title", "lang", "dir", "hidden", "tabindex", "accesskey",
    "contenteditable", "draggable", "spellcheck", "translate", "inert", "inputmode",
    "enterkeyhint", "autocapitalize", "autofocus", "popover", "nonce", "itemscope", "itemtype",
    "itemprop", "itemid", "itemref", "role", "onclick", "onchange", "oninput", "onsubmit",
    "onmouseover", "onmouseout", "onkeydown", "onkeyup", "onfocus", "onblur", nullptr};

const char* const kCssProperties[] = {
    "align-content", "align-items", "align-self", "animation", "aspect-ratio", "background",
    "background-attachment", "background-color", "background-image", "background-position",
    "background-repeat", "background-size", "border", "border-bottom", "border-collapse",
    "border-color", "border-left", "border-radius", "border-right", "border-spacing",
    "border-style", "border-top", "border-width", "bottom", "box-shadow", "box-sizing",
    "caption-side", "clear", "color", "column-count", "column-gap", "content", "cursor",
    "display", "filter", "flex", "flex-basis", "flex-direction", "flex-grow", "flex-shrink",
    "flex-wrap", "float", "font", "font-family", "font-size", "font-style", "font-weight", "gap",
    "grid-area", "grid-column", "grid-row", "grid-template-areas", "grid-template-columns",
    "grid-template-rows", "height", "justify-content", "justify-items", "left", "letter-spacing",
    "line-height", "list-style", "list-style-image", "list-style-type", "margin",
    "margin-bottom", "margin-left", "margin-right", "margin-top", "max-height", "max-width",
    "min-height", "min-width", "object-fit", "opacity", "order", "outline", "outline-color",
    "overflow", "overflow-wrap", "overflow-x", "overflow-y", "padding", "padding-bottom",
    "padding-left", "padding-right", "padding-top", "position", "right", "row-gap",
    "table-layout", "text-align", "text-decoration", "text-decoration-color",
    "text-decoration-line", "text-indent", "text-overflow", "text-shadow", "text-transform",
    "top", "transform", "transition", "user-select", "vertical-align", "visibility",
    "white-space", "width", "word-break", "word-spacing", "writing-mode", "z-index", nullptr};

const char* const kCssGlobalValues[] = {"inherit", "initial", "unset", "revert", nullptr};

const char* const* AttributesOf(std::string_view element) {
  return Find(kElementAttributes, element);
}

bool IsBooleanAttribute(std::string_view attribute) {
  for (const char* const* b = kBooleans; *b; ++b)
    if (attribute == *b) return true;
  return false;
}

const char* const* ValuesOf(std::string_view element, std::string_view attribute) {
  std::string key(element);
  key += ' ';
  key += attribute;
  if (const char* const* list = Find(kValues, key)) return list;
  return Find(kValues, attribute);
}

const char* const* CssValuesOf(std::string_view property) { return Find(kCssValues, property); }

}  // namespace hemlo::text::data
