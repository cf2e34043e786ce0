// The source colouring's scanner over a small page, line by line, each line
// starting in the state the last one ended in.
#include "text/html_syntax.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hemlo::text {
namespace {

// "T<a N:href ..." : one letter per kind, then the coloured text.
std::string Render(std::u16string_view line, const std::vector<SyntaxSpan>& spans) {
  static const char kLetters[] = "TNVCESY";
  std::string out;
  for (const SyntaxSpan& s : spans) {
    if (!out.empty()) out += ' ';
    out += kLetters[static_cast<int>(s.kind)];
    for (char16_t c : line.substr(s.start, s.length)) out += static_cast<char>(c);
  }
  return out;
}

TEST(HtmlSyntax, ColoursEachKindAcrossLines) {
  struct Row {
    std::u16string line;
    std::string spans;
  } rows[] = {
      {u"<a href=\"x.htm\" class=big>&amp; text</A>",
       "T<a Nhref V\"x.htm\" Nclass Vbig T> E&amp; T</A T>"},
      {u"<!-- a note", "C<!-- a note"},
      {u"still -->after", "Cstill -->"},
      {u"<SCRIPT>if (a<b) go();", "T<SCRIPT T> Sif (a<b) go();"},
      {u"x();</script><p title='a", "Sx(); T</script T> T<p Ntitle V'a"},
      {u"b' id=q>&#12354;", "Vb' Nid Vq T> E&#12354;"},
      {u"<style>p{}</style><br/>", "T<style T> Yp{} T</style T> T<br T/>"},
  };
  int state = kSyntaxStart;
  for (const Row& r : rows) {
    std::vector<SyntaxSpan> spans;
    state = ScanHtmlLine(r.line, state, &spans);
    EXPECT_EQ(Render(r.line, spans), r.spans) << std::string(r.line.begin(), r.line.end());
  }
  EXPECT_EQ(state, kSyntaxStart);
  // A state the scanner never makes reads on as text instead of looping.
  for (int foreign : {6, 9, 15, 63}) {
    std::vector<SyntaxSpan> spans;
    EXPECT_EQ(ScanHtmlLine(u"x<b>", foreign, &spans) & 15, 0) << foreign;
  }
}

}  // namespace
}  // namespace hemlo::text
