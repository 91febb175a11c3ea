// Draws the program's picture, a white pi on a blue disc, 48 x 48 pixels,
// into the PNG file named by the argument (the committed app/qt/pi.png).
// The pi stays within the middle 28 x 28 pixels, the part that the 32 x 32
// picture button shows.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient disc(QPointF(18, 16), 30);
  disc.setColorAt(0, QColor(0x4a, 0x86, 0xe0));
  disc.setColorAt(1, QColor(0x16, 0x3d, 0x86));
  p.setPen(Qt::NoPen);
  p.setBrush(disc);
  p.drawEllipse(QRectF(1, 1, 46, 46));

  QPen pen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);

  QPainterPath bar;  // the top stroke, rising a little to the right
  bar.moveTo(13, 19);
  bar.cubicTo(16, 16.5, 20, 16.5, 24, 16.5);
  bar.lineTo(35.5, 16);
  p.drawPath(bar);

  QPainterPath left;  // the left leg, bending inwards at its foot
  left.moveTo(20.5, 17);
  left.cubicTo(20.5, 24, 19.5, 30, 16, 34);
  p.drawPath(left);

  QPainterPath right;  // the right leg, ending in a small hook
  right.moveTo(28.5, 17);
  right.lineTo(28.5, 30);
  right.cubicTo(28.5, 33.5, 31.5, 34.5, 34, 32);
  p.drawPath(right);
  p.end();

  return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
