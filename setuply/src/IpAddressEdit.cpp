#include "IpAddressEdit.h"

#include <QRegularExpressionValidator>
#include <QStringList>

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QLineEdit(parent) {
  // Up to four fields of 0-255 as they are typed; nothing else gets in.
  static const QString field = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?");
  setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("^%1(\\.%1){0,3}$").arg(field)), this));
  setMaxLength(15);
}

QString CIpAddressEdit::address() const {
  QStringList fields = text().split(QLatin1Char('.'));
  while (fields.size() < 4) fields.append(QString());
  QStringList out;
  for (int i = 0; i < 4; ++i) out.append(QString::number(fields[i].toInt()));
  return out.join(QLatin1Char('.'));
}
