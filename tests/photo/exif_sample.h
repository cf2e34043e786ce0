#pragma once
// A phone's JPEG made in the test: Qt's encoder output with an APP1 Exif
// segment spliced in by hand (orientation, and a GPS block with a latitude
// whose seconds are 7777/100, so its bytes can be looked for).
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cstdint>
#include <string>

namespace hemlo::photo {

inline void Put16(std::string& s, int v) { s += char(v & 0xff), s += char((v >> 8) & 0xff); }
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, int(v & 0xffff));
  Put16(s, int(v >> 16));
}

// An APP1 Exif segment (little-endian TIFF) with the orientation and a GPS
// block holding a latitude, as a phone writes them.
inline std::string ExifSegment(int orientation) {
  std::string tiff = "II*";
  tiff += '\0';
  Put32(tiff, 8);
  Put16(tiff, 2);                                    // IFD0: two entries
  Put16(tiff, 0x0112), Put16(tiff, 3), Put32(tiff, 1), Put16(tiff, orientation), Put16(tiff, 0);
  Put16(tiff, 0x8825), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, 8 + 2 + 24 + 4);
  Put32(tiff, 0);                                    // no next IFD
  const std::uint32_t gps = std::uint32_t(tiff.size());
  Put16(tiff, 2);                                    // GPS IFD
  Put16(tiff, 0x0001), Put16(tiff, 2), Put32(tiff, 2), tiff += "N", tiff += '\0', Put16(tiff, 0);
  Put16(tiff, 0x0002), Put16(tiff, 5), Put32(tiff, 3), Put32(tiff, gps + 2 + 24 + 4);
  Put32(tiff, 0);
  for (std::uint32_t v : {35u, 1u, 41u, 1u, 7777u, 100u}) Put32(tiff, v);  // 35°41'77.77"
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  std::string seg = "\xff\xe1";
  seg += char((body.size() + 2) >> 8), seg += char((body.size() + 2) & 0xff);
  return seg + body;
}

inline std::string Jpeg(const QImage& image, int orientation) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, "jpeg").write(image);
  std::string s(bytes.constData(), bytes.size());
  return s.substr(0, 2) + ExifSegment(orientation) + s.substr(2);
}

}  // namespace hemlo::photo
