#include "control_table.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

#include "look.h"
#include "picture_box.h"
#include "qt_text.h"

namespace vorpel {
namespace {

QWidget* MakeLine(const ControlSpec& spec, QWidget* client) {
  // A sunken two-pixel divider centred on the line's path.
  auto* line = new QFrame(client);
  const int x1 = FromTwips(spec.left);
  const int y1 = FromTwips(spec.top);
  const int x2 = FromTwips(spec.width);
  const int y2 = FromTwips(spec.height);
  if (x1 == x2) {
    line->setFrameShape(QFrame::VLine);
    line->setGeometry(x1 - 1, std::min(y1, y2), 2, std::abs(y2 - y1));
  } else {
    line->setFrameShape(QFrame::HLine);
    line->setGeometry(std::min(x1, x2), y1 - 1, std::abs(x2 - x1), 2);
  }
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QWidget* MakeControl(const ControlSpec& spec, QWidget* client) {
  const QString caption = ToQString(spec.caption);
  switch (spec.kind) {
    case ControlKind::TextBox: {
      auto* box = new QLineEdit(client);
      // A text box of the toolkit silently cuts its text at 32767
      // characters; the windows' boxes take any length, a pasted one too.
      box->setMaxLength(std::numeric_limits<int>::max());
      box->setText(caption);
      return box;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(caption, client);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(true);
      return label;
    }
    case ControlKind::CheckBox: return new QCheckBox(caption, client);
    case ControlKind::RadioButton: return new QRadioButton(caption, client);
    case ControlKind::Button: return new QPushButton(caption, client);
    case ControlKind::Picture: {
      auto* picture = new PictureBox(client);
      picture->setPixmap(QPixmap(caption));
      picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return picture;
    }
    case ControlKind::Line: return MakeLine(spec, client);
  }
  return nullptr;
}

}  // namespace

void BuildControls(QWidget* client, std::span<const ControlSpec> specs) {
  std::vector<const ControlSpec*> in_tab_order;
  for (const ControlSpec& spec : specs) in_tab_order.push_back(&spec);
  std::stable_sort(in_tab_order.begin(), in_tab_order.end(),
                   [](const ControlSpec* a, const ControlSpec* b) { return a->tab < b->tab; });

  QWidget* previous = nullptr;
  for (const ControlSpec* spec : in_tab_order) {
    QWidget* control = MakeControl(*spec, client);
    control->setObjectName(ToQString(spec->name));
    if (spec->kind != ControlKind::Line && spec->kind != ControlKind::Picture &&
        spec->kind != ControlKind::TextBox) {
      // The caption as read aloud: no access-key marks, no runs of blanks.
      control->setAccessibleName(ToQString(spec->caption).remove(QLatin1Char('&')).simplified());
    }
    if (spec->kind != ControlKind::Line) {
      control->setGeometry(TwipsRect(spec->left, spec->top, spec->width, spec->height));
    }
    if (control->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

void NameFieldsByLabels(QWidget* client, std::span<const FieldLabel> pairs) {
  for (const FieldLabel& pair : pairs) {
    auto* field = client->findChild<QWidget*>(ToQString(pair.field));
    auto* label = client->findChild<QLabel*>(ToQString(pair.label));
    if (field == nullptr || label == nullptr) continue;
    QString name = label->text().simplified();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    field->setAccessibleName(name);
    label->setBuddy(field);
  }
}

}  // namespace vorpel
