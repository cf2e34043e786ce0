// Text benchmarks, each against a named peer in the same run:
//  (a) loading a 20 MB CP932 page into QtEditPane::SetText against
//      QPlainTextEdit::setPlainText of the already decoded text;
//  (b) caret byte offset and caret line/column at the end of that page, and
//      the same on a 100-line page (cache warm, and right after an edit at
//      the top, which invalidates every prefix sum);
//  (c) decoding and encoding the 20 MB against glibc iconv "CP932" and Qt's
//      "windows-31j" converter (ICU).
// Run: QT_QPA_PLATFORM=offscreen build-*/bin/text_bench [lines]
#include <iconv.h>
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTextBlock>
#include <QStringEncoder>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "text/cp932.h"
#include "text/qt_edit_pane.h"

using hemlo::text::QtEditPane;
using Clock = std::chrono::steady_clock;

namespace {

// ~50 bytes a line, every other line Japanese (kanji, kana, half-width kana).
std::string MakePage(int lines) {
  std::string out;
  out.reserve(static_cast<std::size_t>(lines) * 52);
  out += "<html><head><title>bench</title></head><body>\r\n";
  const std::string ja1 = hemlo::text::Sjis("<p>日本語の文章です。第");
  const std::string ja2 = hemlo::text::Sjis("行、ｶﾀｶﾅと全角①も。</p>\r\n");
  for (int i = 2; i < lines; ++i) {
    if (i % 2 == 0) {
      out += "<p class=\"x\">English line " + std::to_string(i) + " of the sample page.</p>\r\n";
    } else {
      out += ja1 + std::to_string(i) + ja2;
    }
  }
  out += "</body></html>";
  return out;
}

// Median wall time in milliseconds of `runs` runs of f.
double MedianMs(int runs, const std::function<void()>& f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Microseconds per call: the median of 7 batches of n calls (a batch that
// the scheduler interrupted does not count).
double PerCallUs(int n, const std::function<void()>& f) {
  std::vector<double> batches;
  for (int b = 0; b < 7; ++b) {
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) f();
    batches.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / n);
  }
  std::sort(batches.begin(), batches.end());
  return batches[3];
}

std::string IconvConvert(iconv_t cd, const char* in, std::size_t in_size, std::size_t out_size) {
  std::string out(out_size, '\0');
  char* ip = const_cast<char*>(in);
  std::size_t il = in_size;
  char* op = out.data();
  std::size_t ol = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1)) {
    std::perror("iconv");
    std::exit(1);
  }
  out.resize(out.size() - ol);
  return out;
}

volatile std::size_t g_sink;

struct CaretTimes {
  double qt_floor_us;  // Qt's own lookup of the caret's block and its number
  double offset_warm_us;
  double caret_warm_us;
  double offset_cold_us;
  double caret_cold_us;
};

// Caret at the end; warm = cache valid; cold = right after typing one
// character at the very top (every prefix sum invalid), one query each.
CaretTimes TimeCaret(QtEditPane& pane) {
  CaretTimes r{};
  pane.SetSelStart(pane.TextLength());
  for (int i = 0; i < 1000; ++i)
    g_sink = pane.SelStart() + static_cast<std::size_t>(pane.CaretPosition().column);
  r.qt_floor_us = PerCallUs(2000, [&] {
    g_sink = static_cast<std::size_t>(
        pane.document()->findBlock(pane.textCursor().selectionStart()).blockNumber());
  });
  r.offset_warm_us = PerCallUs(2000, [&] { g_sink = pane.SelStart(); });
  r.caret_warm_us =
      PerCallUs(2000, [&] { g_sink = static_cast<std::size_t>(pane.CaretPosition().column); });
  const int rounds = 201;
  std::vector<double> offset_us;
  std::vector<double> caret_us;
  for (int i = 0; i < rounds; ++i) {
    QTextCursor top(pane.document());
    top.insertText(QStringLiteral("x"));  // as typing does: no cache rebuild yet
    auto t0 = Clock::now();
    g_sink = pane.SelStart();
    auto t1 = Clock::now();
    top.deletePreviousChar();
    auto t2 = Clock::now();
    g_sink = static_cast<std::size_t>(pane.CaretPosition().line);
    auto t3 = Clock::now();
    offset_us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    caret_us.push_back(std::chrono::duration<double, std::micro>(t3 - t2).count());
  }
  std::sort(offset_us.begin(), offset_us.end());
  std::sort(caret_us.begin(), caret_us.end());
  r.offset_cold_us = offset_us[rounds / 2];  // medians
  r.caret_cold_us = caret_us[rounds / 2];
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  // Keep freed memory in the heap: on these virtual machines a first touch of
  // a page costs tens of microseconds, and glibc would otherwise hand every
  // 40 MB buffer back to the kernel and fault it in again on the next run,
  // which measures the hypervisor rather than the code.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int lines = argc > 1 ? std::atoi(argv[1]) : 400000;
  const std::string page = MakePage(lines);
  std::printf("Page: %.1f MB, %d lines, every other line Japanese\n\n", page.size() / 1048576.0,
              lines);

  // (c) Codec against glibc iconv and Qt/ICU windows-31j.
  iconv_t to_utf16 = iconv_open("UTF-16LE", "CP932");
  iconv_t to_cp932 = iconv_open("CP932", "UTF-16LE");
  if (to_utf16 == reinterpret_cast<iconv_t>(-1) || to_cp932 == reinterpret_cast<iconv_t>(-1)) {
    std::perror("iconv_open CP932");
    return 1;
  }
  hemlo::text::Decoded decoded = hemlo::text::Decode(page);  // also warms the tables
  const int runs = 7;
  double ours_decode = MedianMs(runs, [&] { g_sink = hemlo::text::Decode(page).text.size(); });
  double iconv_decode = MedianMs(runs, [&] {
    g_sink = IconvConvert(to_utf16, page.data(), page.size(), page.size() * 2).size();
  });
  double ours_encode = MedianMs(runs, [&] { g_sink = hemlo::text::Encode(decoded.text)->size(); });
  const char* utf16 = reinterpret_cast<const char*>(decoded.text.data());
  const std::size_t utf16_size = decoded.text.size() * 2;
  double iconv_encode = MedianMs(
      runs, [&] { g_sink = IconvConvert(to_cp932, utf16, utf16_size, page.size() + 16).size(); });
  QStringDecoder qt_decoder("windows-31j");
  QStringEncoder qt_encoder("windows-31j");
  double qt_decode = -1;
  double qt_encode = -1;
  const QString qdecoded =
      QString::fromUtf16(decoded.text.data(), static_cast<qsizetype>(decoded.text.size()));
  if (qt_decoder.isValid() && qt_encoder.isValid()) {
    qt_decode = MedianMs(runs, [&] {
      g_sink = QString(qt_decoder.decode(
                           QByteArrayView(page.data(), static_cast<qsizetype>(page.size()))))
                   .size();
    });
    qt_encode = MedianMs(runs, [&] { g_sink = QByteArray(qt_encoder.encode(qdecoded)).size(); });
  }
  std::printf("(c) Codec, %.1f MB, median of %d runs           ms     MB/s   iconv/ours\n",
              page.size() / 1048576.0, runs);
  auto row = [&](const char* name, double ms, double peer) {
    std::printf("    %-42s %7.1f  %7.0f", name, ms, page.size() / 1048576.0 / (ms / 1000));
    if (peer > 0) std::printf("   %5.2fx", peer / ms);
    std::printf("\n");
  };
  row("decode, hemlo::text::Decode", ours_decode, iconv_decode);
  row("decode, glibc iconv CP932 -> UTF-16LE", iconv_decode, 0);
  if (qt_decode >= 0) row("decode, Qt QStringDecoder windows-31j", qt_decode, 0);
  row("encode, hemlo::text::Encode", ours_encode, iconv_encode);
  row("encode, glibc iconv UTF-16LE -> CP932", iconv_encode, 0);
  if (qt_encode >= 0) row("encode, Qt QStringEncoder windows-31j", qt_encode, 0);
  std::printf("\n");

  // (a) Loading: SetText against setPlainText of the decoded text, alternating.
  QString lf_text = qdecoded;
  lf_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  std::vector<double> ours_load;
  std::vector<double> plain_load;
  const int load_runs = 5;
  for (int i = -1; i < load_runs; ++i) {  // run -1 warms the heap up, not counted
    {
      QtEditPane pane;
      auto start = Clock::now();
      pane.SetText(page);
      QCoreApplication::processEvents();
      if (i >= 0)
        ours_load.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    {
      QPlainTextEdit plain;
      plain.setLineWrapMode(QPlainTextEdit::NoWrap);
      auto start = Clock::now();
      plain.setPlainText(lf_text);
      QCoreApplication::processEvents();
      if (i >= 0)
        plain_load.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  }
  std::sort(ours_load.begin(), ours_load.end());
  std::sort(plain_load.begin(), plain_load.end());
  const double ours_ms = ours_load[load_runs / 2];
  const double plain_ms = plain_load[load_runs / 2];
  std::printf("(a) Load, median of %d (after a warm-up run)      ms\n", load_runs);
  std::printf("    QtEditPane::SetText(CP932 bytes)          %7.1f\n", ours_ms);
  std::printf("    QPlainTextEdit::setPlainText(decoded)     %7.1f\n", plain_ms);
  std::printf("    ratio SetText / setPlainText              %7.2fx  (aim <= 1.3x)\n\n",
              ours_ms / plain_ms);

  // (b) Caret queries at the end of the big page and of a 100-line page.
  QtEditPane big;
  big.SetText(page);
  QtEditPane small;
  small.SetText(MakePage(100));
  CaretTimes b = TimeCaret(big);
  CaretTimes s = TimeCaret(small);
  std::printf("(b) Caret at the end, us per query           %d lines   100 lines   ratio\n", lines);
  auto crow = [](const char* name, double big_us, double small_us) {
    std::printf("    %-40s %9.2f  %9.2f  %6.1fx\n", name, big_us, small_us, big_us / small_us);
  };
  crow("Qt alone: findBlock + blockNumber", b.qt_floor_us, s.qt_floor_us);
  crow("byte offset (SelStart), warm", b.offset_warm_us, s.offset_warm_us);
  crow("line/column (CaretPosition), warm", b.caret_warm_us, s.caret_warm_us);
  crow("byte offset, after an edit at the top", b.offset_cold_us, s.offset_cold_us);
  crow("line/column, after an edit at the top", b.caret_cold_us, s.caret_cold_us);

  // Saving: the whole text as CP932 bytes, against Qt's own toPlainText.
  double text_ms = MedianMs(5, [&] { g_sink = big.Text().size(); });
  double plain_text_ms =
      MedianMs(5, [&] { g_sink = static_cast<std::size_t>(big.toPlainText().size()); });
  std::printf("\n(d) Whole text out, median of 5                  ms\n");
  std::printf("    QtEditPane::Text() (CP932, CRLF)          %7.1f\n", text_ms);
  std::printf("    QPlainTextEdit::toPlainText()             %7.1f\n", plain_text_ms);
  iconv_close(to_utf16);
  iconv_close(to_cp932);
  return 0;
}
