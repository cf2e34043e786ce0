#pragma once
// Reply model and the pure parts of reading replies: the input buffer that
// yields lines, and the assembly of lines into one (possibly multi-line)
// reply. Kept free of sockets so they can be fuzzed and unit-tested.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::ftp {

enum class TIdMaxLineAction { maException, maSplit };

struct TIdRFCReply {
  int16_t NumericCode = 0;
  std::string TextCode;            // the code as it stood on the first line
  std::vector<std::string> Text;   // every line from its fifth character on
  std::vector<std::string> Lines;  // every line whole (FEAT's feature names start early)

  void Clear();
  // Fills the reply from the lines of one reply (first line first).
  void Parse(const std::vector<std::string>& lines);
  // The message of a refusal: each text line followed by CR LF.
  std::string TextWithLineBreaks() const;
};

// Removes leading and trailing bytes with a value of 32 or less.
std::string_view TrimControl(std::string_view s);
// Integer value of a short decimal text with optional sign; `fallback` when
// it is not a number or does not fit.
int64_t ToIntDef(std::string_view s, int64_t fallback);

// Received control bytes not yet consumed as lines. Lines end at LF; a CR
// before the LF is dropped.
class LineBuffer {
 public:
  void Append(const char* data, size_t size);
  // Takes one line into `line` when a whole line (or, with maSplit, an
  // overlong piece) is available. Throws EIdReadLnMaxLineLengthExceeded.
  // `max_length` 0 means no limit.
  bool TakeLine(std::string& line, size_t max_length, TIdMaxLineAction action);
  size_t Unread() const { return data_.size() - head_; }
  void Clear();

 private:
  std::string data_;
  size_t head_ = 0;  // first unread byte
  size_t scan_ = 0;  // where the next search for LF starts
};

// Reads the lines of one reply through `next_line` (which yields raw lines
// and throws when none can be had): blank lines before the reply are
// skipped, every line is trimmed, and a multi-line reply ends only at a
// line made of its three digits and a space (or the three digits alone,
// once trimmed); any other line is text. More than `max_lines` lines raise
// EIdReplyTooManyLines, more than `max_bytes` raw bytes EIdReplyTooLarge
// (0 = no cap).
std::vector<std::string> ReadReplyLines(const std::function<std::string()>& next_line,
                                        size_t max_lines = 0, size_t max_bytes = 0);

}  // namespace hemlo::ftp
