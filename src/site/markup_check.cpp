#include "site/markup_check.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "site/page_text.h"

namespace hemlo::site {

namespace {

struct Raw {
  int line = 0;
  int column = 0;
  MarkupSeverity severity = MarkupSeverity::kWarning;
  std::string code;
  std::string text;
};

Bool Collect(TidyMessage message) {
  auto* out = static_cast<std::vector<Raw>*>(tidyGetAppData(tidyGetMessageDoc(message)));
  const TidyReportLevel level = tidyGetMessageLevel(message);
  Raw r;
  if (level == TidyWarning) {
    r.severity = MarkupSeverity::kWarning;
  } else if (level == TidyError || level == TidyBadDocument || level == TidyFatal) {
    r.severity = MarkupSeverity::kError;
  } else {
    return no;  // information and tidy's own chatter
  }
  r.line = tidyGetMessageLine(message);
  r.column = tidyGetMessageColumn(message);
  if (const char* key = tidyGetMessageKey(message)) r.code = key;
  if (const char* text = tidyGetMessageDefault(message)) r.text = text;
  out->push_back(std::move(r));
  return no;  // nothing to tidy's error output
}

}  // namespace

std::vector<MarkupIssue> CheckMarkup(std::string_view bytes, text::Encoding encoding) {
  const std::size_t bom =
      encoding == text::Encoding::kUtf8 && bytes.substr(0, text::kUtf8Bom.size()) == text::kUtf8Bom
          ? text::kUtf8Bom.size()
          : 0;
  const std::string_view body = bytes.substr(bom);
  std::vector<Raw> raw;
  {
    std::unique_ptr<std::remove_pointer_t<TidyDoc>, void (*)(TidyDoc)> doc(tidyCreate(),
                                                                           &tidyRelease);
    tidySetAppData(doc.get(), &raw);
    tidySetMessageCallback(doc.get(), &Collect);
    // Bytes as they are: every byte that shapes markup is below 0x40 and so
    // never half of a Shift-JIS character, and tidy's columns stay bytes of
    // the page, which is also twice as fast as letting it decode UTF-8.
    tidySetInCharEncoding(doc.get(), "raw");
    tidyOptSetBool(doc.get(), TidyQuiet, yes);
    tidyOptSetBool(doc.get(), TidyShowWarnings, yes);
    tidyOptSetBool(doc.get(), TidyShowInfo, no);
    tidyOptSetInt(doc.get(), TidyShowErrors, INT_MAX);
    tidyOptSetInt(doc.get(), TidyTabSize, 1);  // a tab is one column, as in the editor
    TidyBuffer errors;
    tidyBufInit(&errors);
    tidySetErrorBuffer(doc.get(), &errors);
    TidyBuffer in;
    tidyBufInit(&in);
    // tidy only reads the buffer; attaching spares a copy of the page.
    tidyBufAttach(&in, reinterpret_cast<byte*>(const_cast<char*>(body.data())),
                  static_cast<uint>(body.size()));
    if (tidyParseBuffer(doc.get(), &in) >= 0) tidyRunDiagnostics(doc.get());
    tidyBufDetach(&in);
    tidyBufFree(&errors);
  }

  // Line starts as the editor counts lines: CRLF, LF or a lone CR.
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    if (body[i] == '\r' || body[i] == '\n') starts.push_back(i + 1);
  }
  std::vector<MarkupIssue> issues;
  issues.reserve(raw.size());
  for (Raw& r : raw) {
    MarkupIssue issue;
    const std::size_t line = std::clamp<std::size_t>(r.line > 0 ? r.line : 1, 1, starts.size());
    const std::size_t start = starts[line - 1];
    const std::size_t end = line < starts.size() ? starts[line] : body.size();
    issue.offset = std::min(start + (r.column > 0 ? r.column - 1 : 0), end);
    issue.severity = r.severity;
    issue.code = std::move(r.code);
    // tidy quotes the page's own bytes in some messages (names, values).
    issue.message = (r.severity == MarkupSeverity::kError ? "エラー: " : "警告: ") +
                    DisplayText(r.text, encoding);
    issues.push_back(std::move(issue));
  }
  std::stable_sort(issues.begin(), issues.end(),
                   [](const MarkupIssue& a, const MarkupIssue& b) { return a.offset < b.offset; });
  Place place;
  for (MarkupIssue& issue : issues) {
    place = PlaceOf(body, encoding, issue.offset, place);
    issue.line = place.line;
    issue.column = place.column;
    issue.offset += bom;
  }
  return issues;
}

}  // namespace hemlo::site
