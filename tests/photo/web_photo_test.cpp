// Web copies of pictures: upright for every EXIF orientation, transparency
// refused or flattened as chosen, and nothing but pixels in the output bytes.
#include "photo/web_photo.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTransform>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "photo/exif_sample.h"

namespace hemlo::photo {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A portrait photo as seen: red top left, green top right, blue bottom left,
// white bottom right.
QImage Upright() {
  QImage u(200, 300, QImage::Format_RGB32);
  const QRgb c[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
  for (int y = 0; y < u.height(); ++y)
    for (int x = 0; x < u.width(); ++x) u.setPixel(x, y, c[(y >= 150) * 2 + (x >= 100)]);
  return u;
}

// What the camera stores for each orientation, so that applying it shows `u`.
QImage Stored(const QImage& u, int orientation) {
  const QImage cw = u.transformed(QTransform().rotate(90));
  switch (orientation) {
    case 2: return u.mirrored(true, false);
    case 3: return u.transformed(QTransform().rotate(180));
    case 4: return u.mirrored(false, true);
    case 5: return cw.mirrored(true, false);
    case 6: return u.transformed(QTransform().rotate(270));
    case 7: return cw.mirrored(false, true);
    case 8: return cw;
    default: return u;
  }
}

bool Near(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 &&
         std::abs(qBlue(a) - qBlue(b)) < 40;
}

class WebPhotoTest : public ::testing::Test {
 protected:
  fs::path dir_ = fs::temp_directory_path() / ("web_photo_test_" + std::to_string(::getpid()));
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
};

TEST_F(WebPhotoTest, EveryOrientationComesOutUprightScaledAndWithoutMetadata) {
  const QImage u = Upright();
  for (int o = 1; o <= 8; ++o) {
    for (WebFormat format : {WebFormat::kJpeg, WebFormat::kWebp}) {
      SCOPED_TRACE("orientation " + std::to_string(o) +
                   (format == WebFormat::kJpeg ? " jpeg" : " webp"));
      const fs::path src = dir_ / ("o" + std::to_string(o) + ".jpg");
      const std::string original = Jpeg(Stored(u, o), o);
      ASSERT_TRUE(WriteFileAtomically(src, original));
      const auto facts = ReadFacts(src);
      ASSERT_TRUE(facts);
      EXPECT_EQ(facts->width, 200);
      EXPECT_EQ(facts->height, 300);

      const fs::path out = FreeName(dir_ / "images", "o" + std::to_string(o), format);
      fs::create_directories(out.parent_path());
      const WebCopyResult r = MakeWebCopy({src, out, format, 150, 80, AlphaChoice::kRefuse});
      ASSERT_TRUE(r.ok) << r.error;
      EXPECT_EQ(r.width, 100);
      EXPECT_EQ(r.height, 150);
      EXPECT_EQ(Bytes(src), original);  // the original untouched

      const std::string copy = Bytes(out);
      EXPECT_EQ(copy.find("Exif"), std::string::npos);
      EXPECT_EQ(copy.find("\xff\xe1"), std::string::npos);  // no APP1 at all
      EXPECT_EQ(copy.find("EXIF"), std::string::npos);      // nor a WebP EXIF chunk
      EXPECT_EQ(copy.find(std::string("\x61\x1e\x00\x00", 4)), std::string::npos);  // 7777
      const QImage seen(QString::fromStdString(out.string()));
      ASSERT_EQ(seen.size(), QSize(100, 150));
      EXPECT_TRUE(Near(seen.pixel(20, 20), qRgb(255, 0, 0)));
      EXPECT_TRUE(Near(seen.pixel(80, 20), qRgb(0, 255, 0)));
      EXPECT_TRUE(Near(seen.pixel(20, 130), qRgb(0, 0, 255)));
      EXPECT_TRUE(Near(seen.pixel(80, 130), qRgb(255, 255, 255)));
    }
  }
}

TEST_F(WebPhotoTest, TransparencyToJpegIsRefusedOrFlattenedOnWhite) {
  QImage png(40, 20, QImage::Format_ARGB32);
  png.fill(qRgba(0, 0, 0, 0));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) png.setPixel(x, y, qRgba(0, 0, 255, 255));
  const fs::path src = dir_ / "logo.png";
  ASSERT_TRUE(png.save(QString::fromStdString(src.string())));
  struct Case {
    WebFormat format;
    AlphaChoice alpha;
    bool ok;
    QRgb right;  // where the PNG was transparent
  } cases[] = {
      {WebFormat::kJpeg, AlphaChoice::kRefuse, false, 0},
      {WebFormat::kJpeg, AlphaChoice::kFlattenOnWhite, true, qRgb(255, 255, 255)},
      {WebFormat::kWebp, AlphaChoice::kRefuse, true, qRgba(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    const fs::path out = FreeName(dir_, "logo-web", c.format);
    const WebCopyResult r = MakeWebCopy({src, out, c.format, 1600, 80, c.alpha});
    EXPECT_EQ(r.ok, c.ok) << r.error;
    EXPECT_EQ(fs::exists(out), c.ok);
    if (!c.ok) continue;
    const QImage seen(QString::fromStdString(out.string()));
    EXPECT_TRUE(Near(seen.pixel(5, 10), qRgb(0, 0, 255)));
    EXPECT_EQ(qAlpha(seen.pixel(35, 10)), qAlpha(c.right));
    if (qAlpha(c.right) == 255) {
      EXPECT_TRUE(Near(seen.pixel(35, 10), c.right));
    }
  }
  // Never over the original.
  EXPECT_FALSE(MakeWebCopy({src, src, WebFormat::kWebp, 1600, 80, AlphaChoice::kRefuse}).ok);
}

}  // namespace
}  // namespace hemlo::photo
