#include "whole_characters.h"

#include "field_item.h"

#include <ui/win.h>

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {

// Accepts everything, without the lone halves: the line edit takes the corrected text.
class CWholeCharacters : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    const std::u16string text = ui::toU16(input);
    const std::u16string kept = penwick::WithoutLoneSurrogates(text);
    if (kept.size() != text.size()) {
      // The cursor keeps its place among what stays.
      const size_t before = std::min(size_t(std::max(pos, 0)), text.size());
      pos = std::min(int(penwick::WithoutLoneSurrogates(std::u16string_view(text).substr(0, before)).size()), int(kept.size()));
      input = ui::qs(kept);
    }
    return Acceptable;
  }
};

}  // namespace

void penwick::KeepWholeCharacters(QWidget& dialog) {
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
    if (!edit->validator()) edit->setValidator(new CWholeCharacters(edit));
}
