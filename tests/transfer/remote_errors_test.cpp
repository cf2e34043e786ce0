// The FTP client's failures in the remote seam's terms: each keeps its text
// (the user's message is made from it) and gets the kind the operations and
// the site sync sort by; the window's text for it does not change.
#include "remote/ftp_errors.h"

#include <gtest/gtest.h>

#include "ftp/id_exception.h"
#include "transfer/certificate_check.h"

namespace hemlo::transfer {
namespace {

TEST(RemoteErrors, FtpFailuresTranslateKeepingTextAndKind) {
  enum Kind { kLost, kQuiet, kTimedOutLost, kCancel, kRefusal };
  const struct {
    std::exception_ptr ftp;
    Kind kind;
  } cases[] = {
      {std::make_exception_ptr(ftp::EIdConnectionLost()), kQuiet},
      {std::make_exception_ptr(ftp::EIdConnClosedGracefully()), kQuiet},
      {std::make_exception_ptr(ftp::EIdNotConnected()), kLost},
      {std::make_exception_ptr(ftp::EIdSocketError(10061)), kLost},
      {std::make_exception_ptr(ftp::EIdReplyTimeout()), kTimedOutLost},
      {std::make_exception_ptr(ftp::EIdDataTimeout()), kRefusal},
      {std::make_exception_ptr(ftp::EIdOperationAborted()), kCancel},
      {std::make_exception_ptr(ftp::EIdProtocolReplyError(550, "\x83\x74\r\n")), kRefusal},
      {std::make_exception_ptr(ftp::EIdIllegalCommandText()), kRefusal},
      {std::make_exception_ptr(ftp::EIdFTPLocalFileError("書けません")), kRefusal},
      {std::make_exception_ptr(ftp::EIdTLSRefused()), kRefusal},
      {std::make_exception_ptr(ftp::EIdCertificateRejected()), kRefusal},
  };
  const text::RemoteNames sjis(text::NameEncoding::kShiftJis);
  for (const auto& c : cases) {
    const std::exception_ptr seam = AsRemoteError(c.ftp);
    try {
      std::rethrow_exception(c.ftp);
    } catch (const std::exception& raw) {
      try {
        std::rethrow_exception(seam);
      } catch (const remote::RemoteError& e) {
        EXPECT_STREQ(e.what(), raw.what());
        EXPECT_EQ(ClientErrorText(e, sjis), ClientErrorText(raw, sjis)) << raw.what();
        EXPECT_EQ(remote::IsLost(e), c.kind <= kTimedOutLost) << raw.what();
        EXPECT_EQ(remote::IsQuietLoss(e), c.kind == kQuiet) << raw.what();
        EXPECT_EQ(dynamic_cast<const remote::Cancelled*>(&e) != nullptr, c.kind == kCancel);
        EXPECT_EQ(remote::IsRefusal(seam), c.kind == kRefusal) << raw.what();
        // The window's own calls meet the raw form: it is sorted the same.
        EXPECT_EQ(IsQuietLoss(raw), remote::IsQuietLoss(e));
        EXPECT_EQ(IsCancelled(raw), c.kind == kCancel);
      } catch (...) {
        ADD_FAILURE() << "not translated: " << raw.what();
      }
    }
  }
}

}  // namespace
}  // namespace hemlo::transfer
