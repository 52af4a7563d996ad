#pragma once

// The windows' layout tables and the code that makes controls from them.
// A private header of the window layer: only its .cpp files include it,
// never a header that the program or the tests include.

#include <span>

class QWidget;

namespace vorpel {

enum class ControlKind {
  TextBox,      // one-line text box (QLineEdit), no length limit
  Label,        // wrapping label, text at the top left (QLabel)
  CheckBox,     // QCheckBox
  RadioButton,  // QRadioButton; the radio buttons of one parent are exclusive
  Button,       // QPushButton
  Picture,      // PictureBox; the caption is the picture's resource path
  Line,         // divider; left/top and width/height hold the two end points
};

// One control of a window, in twips relative to the client area.
struct ControlSpec {
  const char* name;  // the Qt object name
  ControlKind kind;
  const char* caption;  // caption or initial text, UTF-8
  int left;             // for lines: x1
  int top;              // for lines: y1
  int width;            // for lines: x2
  int height;           // for lines: y2
  int tab;              // place in the tab order; -1 for none
};

// Creates the controls as children of client, in tab order, and chains the
// ones that take the focus in that order.
void BuildControls(QWidget* client, std::span<const ControlSpec> specs);

// Gives each text box the accessible name of the label beside it (its text
// without the colon) and makes the label its buddy, so screen readers
// announce the field by what the window shows next to it.
struct FieldLabel {
  const char* field;
  const char* label;
};
void NameFieldsByLabels(QWidget* client, std::span<const FieldLabel> pairs);

}  // namespace vorpel
