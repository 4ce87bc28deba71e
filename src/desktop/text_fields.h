#pragma once
// Text fields that take what the database can hold: Windows-1252 characters only, and a length
// limit that applies to typing alone, so that a stored value longer than the limit is shown whole
// and never cut by filling the field. Filling a field is never an edit: signals are blocked.

#include <QValidator>
#include <string>

class QComboBox;
class QLineEdit;

namespace zi::desktop {

class tTextValidator : public QValidator {
 public:
  // maxChars 0: no limit.
  tTextValidator(QLineEdit* edit, int maxChars);
  State validate(QString& input, int& pos) const override;
  // The field now shows a text of this length (filled with its signals blocked).
  void Shown(qsizetype length) { shownLength_ = length; }

 private:
  int maxChars_;
  // The length of the field's text before the change being validated.
  qsizetype shownLength_ = 0;
};

// Installs the validator on the field.
void LimitText(QLineEdit* edit, int maxChars = 0);
// Whether every character of the text has a Windows-1252 byte.
bool FitsCp1252(const QString& text);

// The field shows program text (Windows-1252) without emitting a change.
void FillText(QLineEdit* edit, const std::string& text);
// The field's text as program text.
std::string TextOf(const QLineEdit* edit);
// Selects an entry without emitting a change.
void FillIndex(QComboBox* combo, int index);

}  // namespace zi::desktop
