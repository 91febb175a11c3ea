#include "app/qt/text_bridge.h"

#include <QByteArray>

#include <string>

namespace pl {

QString QStringFromText(const Text& text) {
  const std::string utf8 = Cp936ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text TextFromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp936(Bytes(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

Text TextFromUtf8(std::string_view utf8) { return Utf8ToCp936(Bytes(utf8)); }

}  // namespace pl
