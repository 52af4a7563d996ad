#pragma once

#include "form_dialog.h"
#include "generation_settings.h"
#include "reporter.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorpel {

// The Options dialog: edits copies of five settings, which change only when
// OK finds every field valid. Making the dialog is its Load step and puts
// the default options in force. The radio pair is one Tab stop, entered at
// its selected button; the arrow keys move within it.
class OptionsDialog final : public FormDialog {
  Q_OBJECT
 public:
  OptionsDialog(GenerationSettings& settings, Reporter& reporter);
  Q_DISABLE_COPY_MOVE(OptionsDialog)

  // Puts the settings into the fields, replacing whatever was typed or
  // chosen; done on every opening, whether the dialog is open or not.
  void Fill();

  // True when every field check holds. All checks run every time.
  bool ValidateOptions() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void KeepPairTabStopAtSelection();
  void OnOkClicked();
  void OnLettersClicked();
  void OnWordsClicked();

  GenerationSettings& settings_;
  Reporter& reporter_;
  QPushButton* btn_ok_ = nullptr;
  QPushButton* btn_cancel_ = nullptr;
  QRadioButton* rbt_letters_ = nullptr;
  QRadioButton* rbt_words_ = nullptr;
  QCheckBox* cbx_mult_seq_ = nullptr;
  QCheckBox* cbx_fix_cap_ = nullptr;
  QLineEdit* txt_seq_length_ = nullptr;
  QLineEdit* txt_word_sep_ = nullptr;
};

}  // namespace vorpel
