#include "desktop/text_fields.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "desktop/forms.h"
#include "toolbox/codec.h"

namespace zi::desktop {

tTextValidator::tTextValidator(QLineEdit* edit, int maxChars) : QValidator(edit), maxChars_(maxChars) {
  shownLength_ = edit->text().size();
  connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { shownLength_ = text.size(); });
}

QValidator::State tTextValidator::validate(QString& input, int&) const {
  if (!FitsCp1252(input)) return Invalid;
  // Over the limit only by what it held already: deleting and replacing stay possible.
  if (maxChars_ > 0 && input.size() > maxChars_ && input.size() > shownLength_) return Invalid;
  return Acceptable;
}

void LimitText(QLineEdit* edit, int maxChars) { edit->setValidator(new tTextValidator(edit, maxChars)); }

bool FitsCp1252(const QString& text) { return Utf8ToCp1252(text.toStdString()).has_value(); }

void FillText(QLineEdit* edit, const std::string& text) {
  const QString shown = ToQt(text);
  // The validator learns the length from the change signal, blocked here; it must know it before
  // the field checks the text, or the field would hold it as invalid and stop guarding the typing.
  if (auto* validator = dynamic_cast<const tTextValidator*>(edit->validator()))
    const_cast<tTextValidator*>(validator)->Shown(shown.size());
  const QSignalBlocker blocker(edit);
  edit->setText(shown);
}

std::string TextOf(const QLineEdit* edit) { return FromQt(edit->text()); }

void FillIndex(QComboBox* combo, int index) {
  const QSignalBlocker blocker(combo);
  combo->setCurrentIndex(index);
}

}  // namespace zi::desktop
