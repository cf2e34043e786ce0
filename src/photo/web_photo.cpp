#include "photo/web_photo.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <system_error>

#include "base/atomic_file.h"

namespace hemlo::photo {

namespace {

QString Native(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

bool Swaps(QImageIOHandler::Transformations t) {
  return t.testFlag(QImageIOHandler::TransformationRotate90);
}

// Fitted size keeping the shape; never enlarged.
QSize Fitted(QSize size, int longest) {
  const int side = std::max(size.width(), size.height());
  if (side <= longest || side <= 0) return size;
  const double f = double(longest) / side;
  return QSize(std::max(1, int(std::lround(size.width() * f))),
               std::max(1, int(std::lround(size.height() * f))));
}

bool AnyTransparent(const QImage& image) {
  if (!image.hasAlphaChannel()) return false;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(line[x]) != 255) return true;
  }
  return false;
}

WebCopyResult Failed(std::string why) {
  WebCopyResult r;
  r.error = std::move(why);
  return r;
}

}  // namespace

std::optional<PictureFacts> ReadFacts(const std::filesystem::path& file) {
  QImageReader reader(Native(file));
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (!reader.canRead() || !size.isValid()) return std::nullopt;
  if (Swaps(reader.transformation())) size.transpose();
  PictureFacts f;
  std::error_code ec;
  f.bytes = std::filesystem::file_size(file, ec);
  if (ec) return std::nullopt;
  f.width = size.width();
  f.height = size.height();
  f.has_alpha = QImage(1, 1, reader.imageFormat()).hasAlphaChannel();
  return f;
}

bool WorthAWebCopy(const PictureFacts& facts, int longest_side) {
  return facts.bytes > kOfferAboveBytes || std::max(facts.width, facts.height) > longest_side;
}

WebCopyResult MakeWebCopy(const WebCopyRequest& request) {
  std::error_code ec;
  if (std::filesystem::equivalent(request.source, request.target, ec))
    return Failed("元の画像には書き込みません。別の名前を選んでください。");
  if (request.longest_side < 1) return Failed("長い辺の画素数が正しくありません。");

  QImageReader reader(Native(request.source));
  reader.setAutoTransform(true);
  const QSize stored = reader.size();
  if (!stored.isValid()) return Failed("画像を読み込めません: " + reader.errorString().toStdString());
  // Decoding straight to (about) the final size is what keeps a 12-megapixel
  // photo fast; the reader scales before it turns the picture upright.
  const QSize stored_fit = Fitted(stored, request.longest_side);
  if (stored_fit != stored) reader.setScaledSize(stored_fit);
  QImage image = reader.read();
  if (image.isNull()) return Failed("画像を読み込めません: " + reader.errorString().toStdString());
  QSize shown = stored_fit;
  if (Swaps(reader.transformation())) shown.transpose();
  if (image.size() != shown)
    image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

  if (AnyTransparent(image)) {
    if (request.format == WebFormat::kJpeg) {
      if (request.alpha == AlphaChoice::kRefuse)
        return Failed("透明な部分のある画像は JPEG にできません。");
      QImage flat(image.size(), QImage::Format_RGB32);
      flat.fill(Qt::white);
      QPainter painter(&flat);
      painter.drawImage(0, 0, image);
      painter.end();
      image = flat;
    }
  } else if (image.hasAlphaChannel()) {
    image = image.convertToFormat(QImage::Format_RGB32);
  }
  // Only the pixels travel: the reader's text keys and colour profile would
  // be written back as blocks of their own.
  if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
    image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
  QImage clean(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
               image.format());
  clean = clean.copy();

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, request.format == WebFormat::kJpeg ? "jpeg" : "webp");
  writer.setQuality(std::clamp(request.quality, 1, 100));
  if (!writer.write(clean))
    return Failed("画像を書き出せません: " + writer.errorString().toStdString());
  const WriteResult w =
      WriteFileAtomically(request.target, std::string_view(bytes.constData(), bytes.size()));
  if (!w) return Failed(request.target.string() + ": " + w.error);
  WebCopyResult r;
  r.ok = true;
  r.width = clean.width();
  r.height = clean.height();
  return r;
}

std::filesystem::path FreeName(const std::filesystem::path& folder, const std::string& stem,
                               WebFormat format) {
  const std::string ext = format == WebFormat::kJpeg ? ".jpg" : ".webp";
  std::error_code ec;
  std::filesystem::path p = folder / (stem + ext);
  for (int n = 2; std::filesystem::exists(p, ec) && n < 10000; ++n)
    p = folder / (stem + "-" + std::to_string(n) + ext);
  return p;
}

}  // namespace hemlo::photo

namespace hemlo::photo {

std::string ImgTag(const std::string& src, int width, int height, const std::string& alt) {
  std::string a;
  for (char c : alt) {
    if (c == '&') a += "&amp;";
    else if (c == '"') a += "&quot;";
    else if (c == '<') a += "&lt;";
    else a += c;
  }
  return "<img src=\"" + src + "\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" alt=\"" + a + "\">";
}

}  // namespace hemlo::photo
