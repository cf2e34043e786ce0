#pragma once
// What the fuzz targets do with one input. Shared with the unit test that
// replays fuzz/regressions, so a fixed crasher stays fixed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ftp/id_exception.h"
#include "ftp/id_ftp.h"
#include "ftp/id_ftp_list.h"
#include "ftp/id_reply.h"

namespace hemlo::ftp::fuzz {

// Byte 0 picks the line limit and action, byte 1 the receive chunk size; the
// rest arrives as control-connection bytes from which replies are read until
// the data runs out.
inline void RunReplyInput(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const size_t max_line = (data[0] & 0x7F) == 0 ? 0 : (data[0] & 0x7F) * 4;
  const TIdMaxLineAction action =
      (data[0] & 0x80) ? TIdMaxLineAction::maSplit : TIdMaxLineAction::maException;
  const size_t chunk = static_cast<size_t>(data[1]) + 1;
  const char* p = reinterpret_cast<const char*>(data + 2);
  size_t left = size - 2;
  LineBuffer buffer;
  auto next_line = [&]() -> std::string {
    std::string line;
    while (!buffer.TakeLine(line, max_line, action)) {
      if (left == 0) throw EIdConnClosedGracefully();
      size_t n = left < chunk ? left : chunk;
      buffer.Append(p, n);
      p += n;
      left -= n;
    }
    return line;
  };
  try {
    for (int i = 0; i < 10000; ++i) {
      TIdRFCReply reply;
      reply.Parse(ReadReplyLines(next_line));
      (void)reply.TextWithLineBreaks();
      if (!reply.Text.empty()) {
        try {
          (void)ParsePasvReply(reply.Text.front());
        } catch (const EIdException&) {
        }
      }
    }
  } catch (const EIdException&) {
  }
}

// The input is the bytes of a LIST transfer.
inline void RunListingInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitListingLines(bytes);
  TIdFTPListItems items;
  items.Today = TIdCivilDate{2024, 3, 10};
  items.LoadList(lines, true);
  for (const TIdFTPListItem& item : items.Items()) (void)item.PermissionText();
  TIdFTPListItems names;
  names.LoadList(lines, false);
  TIdFTPListItems facts;
  facts.UtcOffsetMinutes = 540;
  facts.LoadMlsd(lines);
  // Every line through every family's reader, not only the one it looks like.
  static const TIdFTPListFormat kFormats[] = {
      TIdFTPListFormat::flfUnix,   TIdFTPListFormat::flfDos,   TIdFTPListFormat::flfVax,
      TIdFTPListFormat::flfMlsd,   TIdFTPListFormat::flfEplf,  TIdFTPListFormat::flfNetware,
      TIdFTPListFormat::flfOs2,    TIdFTPListFormat::flfOs400, TIdFTPListFormat::flfNoDetails,
      TIdFTPListFormat::flfMvs,    TIdFTPListFormat::flfVmCms, TIdFTPListFormat::flfOs9,
      TIdFTPListFormat::flfNonStop};
  TIdFTPListItems forced;
  forced.Today = items.Today;
  for (const std::string& line : lines) {
    (void)ParseDosDateTime(line);
    (void)TIdFTPListItems::CheckListFormat(line);
    for (TIdFTPListFormat format : kFormats) {
      forced.ListFormat = format;
      TIdFTPListItem item;
      item.RawLine = line;
      try {
        forced.ParseLine(item);
      } catch (const EIdException&) {
      }
    }
  }
}

}  // namespace hemlo::ftp::fuzz
