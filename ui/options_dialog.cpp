#include "options_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "control_table.h"
#include "dialog_names.h"
#include "numeric_text.h"
#include "option_rules.h"
#include "qt_text.h"

namespace vorpel {
namespace {

using enum ControlKind;

// Twips; lines give their two end points.
constexpr std::array<ControlSpec, 13> kControls{{
    {"btnOK", Button, "OK", 2520, 1920, 1095, 375, 0},
    {"btnCancel", Button, "Cancel", 480, 1920, 1095, 375, 1},
    {"rbtLetters", RadioButton, "Letters", 960, 120, 855, 255, 2},
    {"rbtWords", RadioButton, "Words", 960, 480, 855, 255, 3},
    {"cbxMultSeq", CheckBox, "Multiple Sequences", 120, 840, 1695, 255, 4},
    {"txtSeqLength", TextBox, "", 120, 240, 615, 285, 5},
    {"lblSequence", Label, "per sequence", 1920, 240, 735, 495, 6},
    {"txtWordSep", TextBox, "", 3120, 600, 615, 285, 7},
    {"lblWordSep", Label, "Word  Seperator:", 2880, 240, 1455, 255, 8},
    {"cbxFixCap", CheckBox, "Fix Capitalization", 120, 1440, 1695, 255, 9},
    {"Line1", Line, "", 2760, 120, 2760, 1200, -1},
    {"Line2", Line, "", 0, 1320, 4200, 1320, -1},
    {"Line3", Line, "", 0, 1800, 4200, 1800, -1},
}};

}  // namespace

OptionsDialog::OptionsDialog(GenerationSettings& settings, Reporter& reporter)
    : FormDialog(kOptionsDialogName, QStringLiteral("Options"), 4170, 2415, {FrameStyle::Sizable}),
      settings_(settings),
      reporter_(reporter) {
  BuildControls(this, kControls);
  constexpr std::array<FieldLabel, 2> kFieldLabels{
      {{"txtSeqLength", "lblSequence"}, {"txtWordSep", "lblWordSep"}}};
  NameFieldsByLabels(this, kFieldLabels);
  btn_ok_ = findChild<QPushButton*>(QStringLiteral("btnOK"));
  btn_cancel_ = findChild<QPushButton*>(QStringLiteral("btnCancel"));
  rbt_letters_ = findChild<QRadioButton*>(QStringLiteral("rbtLetters"));
  rbt_words_ = findChild<QRadioButton*>(QStringLiteral("rbtWords"));
  cbx_mult_seq_ = findChild<QCheckBox*>(QStringLiteral("cbxMultSeq"));
  cbx_fix_cap_ = findChild<QCheckBox*>(QStringLiteral("cbxFixCap"));
  txt_seq_length_ = findChild<QLineEdit*>(QStringLiteral("txtSeqLength"));
  txt_word_sep_ = findChild<QLineEdit*>(QStringLiteral("txtWordSep"));

  SetDefaultButton(btn_ok_);
  SetCancelButton(btn_cancel_);
  connect(btn_ok_, &QPushButton::clicked, this, &OptionsDialog::OnOkClicked);
  connect(btn_cancel_, &QPushButton::clicked, this, &QWidget::hide);
  connect(rbt_letters_, &QRadioButton::clicked, this, &OptionsDialog::OnLettersClicked);
  connect(rbt_words_, &QRadioButton::clicked, this, &OptionsDialog::OnWordsClicked);
  for (QRadioButton* button : {rbt_letters_, rbt_words_}) {
    connect(button, &QRadioButton::toggled, this, &OptionsDialog::KeepPairTabStopAtSelection);
    button->installEventFilter(this);
  }

  // The Load step.
  settings_.SetDefaultOptions();
}

void OptionsDialog::Fill() {
  cbx_mult_seq_->setChecked(settings_.MultSeq == 1);
  cbx_fix_cap_->setChecked(settings_.FixCap == 1);

  // An exclusive pair refuses to clear its selected button, so the pair is
  // released while both are cleared.
  rbt_letters_->setAutoExclusive(false);
  rbt_words_->setAutoExclusive(false);
  rbt_letters_->setChecked(false);
  rbt_words_->setChecked(false);
  rbt_letters_->setAutoExclusive(true);
  rbt_words_->setAutoExclusive(true);
  // Selecting a button notifies its handler, as a click does.
  if (settings_.UnitMode == kLettersMode) {
    rbt_letters_->setChecked(true);
    OnLettersClicked();
  }
  if (settings_.UnitMode == kWordsMode) {
    rbt_words_->setChecked(true);
    OnWordsClicked();
  }

  // A focus left on the button that is no longer selected (or that will be
  // the focus when the dialog is next active) follows the selection, so
  // that Space there cannot switch the unit unseen.
  QRadioButton* selected = rbt_letters_->isChecked() ? rbt_letters_
                           : rbt_words_->isChecked() ? rbt_words_
                                                     : nullptr;
  if (selected != nullptr && (focusWidget() == rbt_letters_ || focusWidget() == rbt_words_)) {
    selected->setFocus(Qt::OtherFocusReason);
  }

  txt_seq_length_->setText(QString::number(settings_.SeqLength));
  txt_word_sep_->setText(ToQString(settings_.WordSep));
}

bool OptionsDialog::ValidateOptions() const {
  bool valid = true;
  if (!IsValidSeqLength(NumberText(txt_seq_length_->text()))) valid = false;
  if (!IsValidUnitMode(rbt_letters_->isChecked(), rbt_words_->isChecked(), settings_.UnitMode)) {
    valid = false;
  }
  return valid;
}

void OptionsDialog::OnOkClicked() {
  if (!ValidateOptions()) {
    ReportError(reporter_, ErrorKind::OC);
    return;
  }
  settings_.MultSeq = cbx_mult_seq_->isChecked() ? 1 : 0;
  settings_.FixCap = cbx_fix_cap_->isChecked() ? 1 : 0;
  settings_.UnitMode = rbt_letters_->isChecked() ? kLettersMode : kWordsMode;
  // The check above guarantees a number in 0..100.
  settings_.SeqLength = ToInt16(NumberText(txt_seq_length_->text())).value_or(settings_.SeqLength);
  settings_.WordSep = SeparatorBytes(txt_word_sep_->text());
  hide();
}

// Tab and Shift+Tab enter the pair at its selected button, so moving the
// focus never lands on the other one: only the selected button is a Tab
// stop; the other takes the focus by a click or an arrow key (which, as in
// every exclusive pair, selects it). With neither selected, both are stops.
void OptionsDialog::KeepPairTabStopAtSelection() {
  const bool letters = rbt_letters_->isChecked();
  const bool words = rbt_words_->isChecked();
  rbt_letters_->setFocusPolicy(words && !letters ? Qt::ClickFocus : Qt::StrongFocus);
  rbt_words_->setFocusPolicy(letters && !words ? Qt::ClickFocus : Qt::StrongFocus);
}

// The toolkit makes whichever button of the pair takes the focus the pair's
// Tab stop; once the focus leaves, the stop goes back to the selection.
bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == rbt_letters_ || watched == rbt_words_)) {
    KeepPairTabStopAtSelection();
  }
  return FormDialog::eventFilter(watched, event);
}

// The pair's guards: a handler that finds its own button not selected
// selects it and takes its unit. A click selects the button before the
// handler runs, so in use the guards find it selected and leave UnitMode to
// OK.
void OptionsDialog::OnLettersClicked() {
  if (rbt_letters_->isChecked()) return;
  settings_.UnitMode = kLettersMode;
  rbt_letters_->setChecked(true);
  rbt_words_->setChecked(false);
}

void OptionsDialog::OnWordsClicked() {
  if (rbt_words_->isChecked()) return;
  settings_.UnitMode = kWordsMode;
  rbt_letters_->setChecked(false);
  rbt_words_->setChecked(true);
}

}  // namespace vorpel
