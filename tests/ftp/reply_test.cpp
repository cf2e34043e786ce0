// Line splitting and reply assembly, without sockets.
#include <gtest/gtest.h>

#include <deque>

#include "ftp/id_exception.h"
#include "ftp/id_reply.h"

namespace hemlo::ftp {
namespace {

// Reads one reply from `bytes` the way the connection does.
TIdRFCReply ReplyFrom(const std::string& bytes, size_t* unread = nullptr) {
  LineBuffer buffer;
  buffer.Append(bytes.data(), bytes.size());
  TIdRFCReply reply;
  reply.Parse(ReadReplyLines([&] {
    std::string line;
    if (!buffer.TakeLine(line, 16384, TIdMaxLineAction::maException))
      throw EIdConnClosedGracefully();
    return line;
  }));
  if (unread) *unread = buffer.Unread();
  return reply;
}

TEST(FtpLineBuffer, SplitsAtLfDropsOneCrAndKeepsPartialLines) {
  LineBuffer b;
  std::string line;
  b.Append("one\r\ntwo\nthr", 12);
  ASSERT_TRUE(b.TakeLine(line, 0, TIdMaxLineAction::maException));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(b.TakeLine(line, 0, TIdMaxLineAction::maException));
  EXPECT_EQ(line, "two");
  EXPECT_FALSE(b.TakeLine(line, 0, TIdMaxLineAction::maException));
  b.Append("ee\r\r\n", 5);
  ASSERT_TRUE(b.TakeLine(line, 0, TIdMaxLineAction::maException));
  EXPECT_EQ(line, "three\r");  // only the CR right before LF goes
  EXPECT_EQ(b.Unread(), 0u);
}

TEST(FtpLineBuffer, MaxLineLengthRaisesOrSplits) {
  std::string line;
  LineBuffer ok;
  std::string fits(100, 'a');
  fits += "\r\n";
  ok.Append(fits.data(), fits.size());
  EXPECT_TRUE(ok.TakeLine(line, 101, TIdMaxLineAction::maException));  // CR counts before the LF

  LineBuffer over;
  std::string big(16385, 'x');
  big += "\r\n";
  over.Append(big.data(), big.size());
  EXPECT_THROW(over.TakeLine(line, 16384, TIdMaxLineAction::maException),
               EIdReadLnMaxLineLengthExceeded);

  // Without a terminator the limit applies to what is buffered.
  LineBuffer unterminated;
  std::string run(20, 'y');
  unterminated.Append(run.data(), run.size());
  EXPECT_THROW(unterminated.TakeLine(line, 10, TIdMaxLineAction::maException),
               EIdReadLnMaxLineLengthExceeded);
  ASSERT_TRUE(unterminated.TakeLine(line, 10, TIdMaxLineAction::maSplit));
  EXPECT_EQ(line, std::string(10, 'y'));
  // What is left fits the limit, so it waits for its terminator.
  EXPECT_FALSE(unterminated.TakeLine(line, 10, TIdMaxLineAction::maSplit));
  EXPECT_EQ(unterminated.Unread(), 10u);
}

TEST(FtpReply, SingleAndMultiLineReplies) {
  size_t unread = 0;
  TIdRFCReply r = ReplyFrom("\r\n  \t\r\n  220 Service ready  \r\n", &unread);
  EXPECT_EQ(r.NumericCode, 220);
  EXPECT_EQ(r.TextCode, "220");
  EXPECT_EQ(r.Text, std::vector<std::string>{"Service ready"});

  // Terminator matched without regard to case; what follows stays buffered.
  r = ReplyFrom("2AB-x\r\n2ab y\r\n200 next\r\n", &unread);
  EXPECT_EQ(r.TextCode, "2AB");
  EXPECT_EQ(r.NumericCode, 0);
  EXPECT_EQ(r.Text, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(unread, 10u);

  // A continuation line that looks like another code does not end it.
  r = ReplyFrom("230-a\r\n231 not the end\r\n230-still\r\n230 end\r\n");
  EXPECT_EQ(r.Text, (std::vector<std::string>{"a", "not the end", "still", "end"}));

  // Short first line: no code, nothing past the fourth character.
  r = ReplyFrom("ok\r\n");
  EXPECT_EQ(r.TextCode, "ok");
  EXPECT_EQ(r.NumericCode, 0);
  EXPECT_EQ(r.Text, std::vector<std::string>{""});

  r = ReplyFrom("-12 negative\r\n");
  EXPECT_EQ(r.NumericCode, -12);
  EXPECT_EQ(r.TextWithLineBreaks(), "negative\r\n");
}

TEST(FtpReply, ReplyCutOffRaises) {
  EXPECT_THROW(ReplyFrom("220-Welcome\r\n220-more\r\n"), EIdConnClosedGracefully);
  EXPECT_THROW(ReplyFrom("\r\n\r\n"), EIdConnClosedGracefully);
}

TEST(FtpSocketErrors, WinsockNumbersAndTexts) {
  EXPECT_EQ(WinsockErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WinsockErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(WinsockErrorFromErrno(EPIPE), 10058);
  EXPECT_EQ(SocketErrorText(10035), "Operation would block. ");
  EXPECT_EQ(SocketErrorText(11001), "Host not found.");
  EXPECT_EQ(SocketErrorText(10999), "");
  EXPECT_STREQ(EIdSocketError(10054).what(), "Socket Error # 10054\r\nConnection reset by peer.");
}

}  // namespace
}  // namespace hemlo::ftp
