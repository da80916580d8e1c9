#include <ui/fonts.h>

#include <QFontMetrics>
#include <QGuiApplication>

#include <mutex>

namespace ui {

void installFonts() {
  static std::once_flag once;
  std::call_once(once, [] {
    const QString sub = QString::fromLatin1(kSongtiSubstitute);
    for (const char16_t* face : {u"宋体", u"SimSun", u"新宋体", u"NSimSun"})
      QFont::insertSubstitution(QString::fromUtf16(face), sub);
    if (qGuiApp) {
      QFont f = QGuiApplication::font();
      f.setKerning(false);
      QGuiApplication::setFont(f);
    }
  });
}

QFont makeFont(const QString& face, int pointSize) {
  installFonts();
  QFont f(face, pointSize);
  f.setKerning(false);
  return f;
}

QFont dialogFont() { return makeFont(QStringLiteral("宋体"), 9); }

QFont logFont(const QFont& base, int height, int width, int weight) {
  QFont f(base);
  f.setKerning(false);
  if (height != 0) f.setPixelSize(height < 0 ? -height : height);
  if (weight > 0) f.setWeight(QFont::Weight(qBound(1, weight, 1000)));
  if (width > 0) {
    // LOGFONT's width is the average character width; Qt stretches relative to the face's own.
    QFontMetrics fm(f);
    int natural = fm.averageCharWidth();
    if (natural > 0) f.setStretch(qBound(1, width * 100 / natural, 4000));
  }
  return f;
}

}  // namespace ui
