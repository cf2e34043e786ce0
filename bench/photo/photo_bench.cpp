// Times the web copy of a 12-megapixel JPEG (4000x3000, EXIF orientation 6)
// to a 1,600-pixel WebP at quality 80, alternating each run with ImageMagick's
// `convert -auto-orient -resize 1600x1600 -strip -quality 80` on the same file.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "photo/web_photo.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Orientation 6, as a phone held upright writes it.
std::string Exif6() {
  const char tiff[] = "II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0";
  const std::string body = std::string("Exif\0\0", 6) + std::string(tiff, sizeof tiff - 1);
  std::string seg = "\xff\xe1";
  seg += char((body.size() + 2) >> 8), seg += char((body.size() + 2) & 0xff);
  return seg + body;
}

// Smooth shapes with sensor-like noise: a photo's size, not a flat test card's.
std::string Photo() {
  QImage image(4000, 3000, QImage::Format_RGB32);
  QRandomGenerator rng(40);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int n = int(rng.bounded(24));
      line[x] = qRgb((x / 16 + n) & 0xff, (y / 12 + n) & 0xff, ((x + y) / 28 + n) & 0xff);
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(92);
  writer.write(image);
  const std::string s(bytes.constData(), bytes.size());
  return s.substr(0, 2) + Exif6() + s.substr(2);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 7;
  const fs::path dir = fs::temp_directory_path() / "photo_bench";
  fs::create_directories(dir);
  const fs::path src = dir / "phone.jpg", ours = dir / "ours.webp", theirs = dir / "magick.webp";
  if (!hemlo::WriteFileAtomically(src, Photo())) return 1;
  std::printf("source: 4000x3000 JPEG, %ju bytes\n", std::uintmax_t(fs::file_size(src)));
  std::fflush(stdout);
  if (std::system("uptime") != 0) std::puts("(uptime unavailable)");
  // Debian's ImageMagick itself: a wrapper of the same name earlier in PATH
  // would add its own start to the peer's time.
  const std::string tool = fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
  const std::string magick = tool + " '" + src.string() +
                             "' -auto-orient -resize 1600x1600 -strip -quality 80 '" +
                             theirs.string() + "'";
  std::vector<double> a, b;
  int width = 0, height = 0;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    const auto r = hemlo::photo::MakeWebCopy({src, ours, hemlo::photo::WebFormat::kWebp});
    a.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    if (!r.ok) {
      std::fprintf(stderr, "%s\n", r.error.c_str());
      return 1;
    }
    width = r.width, height = r.height;
    t0 = Clock::now();
    if (std::system(magick.c_str()) != 0) return 1;
    b.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  if (std::system("uptime") != 0) std::puts("(uptime unavailable)");
  const double ma = Median(a), mb = Median(b);
  std::printf("hemlo2: median %.3f s over %d runs, %dx%d, %ju bytes\n", ma, runs, width, height,
              std::uintmax_t(fs::file_size(ours)));
  std::printf("convert: median %.3f s, %ju bytes\n", mb, std::uintmax_t(fs::file_size(theirs)));
  std::printf("ratio: %.2f (limit 1.5), %s\n", ma / mb,
              ma <= 1.0 && fs::file_size(ours) <= 300 * 1024 && ma <= 1.5 * mb ? "PASS" : "FAIL");
  fs::remove_all(dir);
  return 0;
}
