// The IP address control: four numbers 0-255 separated by dots, read back as dotted text.
#pragma once

#include <QLineEdit>

class CIpAddressEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit CIpAddressEdit(QWidget* parent = nullptr);
  /// \brief The dotted address: four fields, an empty field read as 0 ("0.0.0.0" when blank).
  QString address() const;
};
