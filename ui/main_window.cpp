#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <array>

#include "control_table.h"
#include "dialog_names.h"
#include "error_dialog.h"
#include "info_dialogs.h"
#include "look.h"
#include "options_dialog.h"
#include "path_entry.h"
#include "pictures.h"
#include "qt_text.h"
#include "source_reader.h"

namespace vorpel {
namespace {

using enum ControlKind;

// Twips, relative to the client area below the menu bar.
constexpr int kClientWidth = 3240;
constexpr int kClientHeight = 2670;
constexpr std::array<ControlSpec, 9> kControls{{
    {"txtFrom", TextBox, "", 600, 240, 1935, 375, 0},
    {"lblFrom", Label, "From:", 120, 240, 495, 255, 1},
    {"txtTo", TextBox, "", 600, 720, 1935, 375, 2},
    {"lblTo", Label, "To:", 120, 720, 495, 255, 3},
    {"cbxOWrite", CheckBox, "Overwrite Existing File", 360, 1200, 2175, 255, 4},
    {"btnRead", Button, "Read", 120, 1560, 1095, 375, 5},
    {"btnWrite", Button, "Write", 120, 2040, 1095, 375, 6},
    {"txtNoSeq", TextBox, "", 1320, 2040, 735, 375, 7},
    {"lblNoSeq", Label, "Sequences", 2160, 2160, 855, 255, 8},
}};

// The wait cursor while a command blocks the window.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  Q_DISABLE_COPY_MOVE(WaitCursor)
};

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  QAction* item = menu->addAction(ToQString(caption));
  item->setObjectName(ToQString(name));
  return item;
}

template <typename Parent>
QMenu* AddMenu(Parent* parent, const char* name, const char* caption) {
  QMenu* menu = parent->addMenu(ToQString(caption));
  menu->setObjectName(ToQString(name));
  return menu;
}

WindowHooks WithDefaults(WindowHooks hooks) {
  if (!hooks.beep) hooks.beep = [] { QApplication::beep(); };
  if (!hooks.end_program) hooks.end_program = [] { QCoreApplication::quit(); };
  return hooks;
}

}  // namespace

MainWindow::MainWindow(Session& session, WindowHooks hooks)
    : session_(session),
      hooks_(WithDefaults(std::move(hooks))),
      reporter_(dialogs_, hooks_.beep, hooks_.error_reported) {
  setObjectName(QStringLiteral("Main"));
  setWindowTitle(QStringLiteral("Main"));
  setWindowIcon(QIcon(ToQString(kWindowIconPath)));

  auto* client = new QWidget(this);
  setCentralWidget(client);
  BuildControls(client, kControls);
  constexpr std::array<FieldLabel, 3> kFieldLabels{
      {{"txtFrom", "lblFrom"}, {"txtTo", "lblTo"}, {"txtNoSeq", "lblNoSeq"}}};
  NameFieldsByLabels(client, kFieldLabels);
  txt_from_ = client->findChild<QLineEdit*>(QStringLiteral("txtFrom"));
  txt_to_ = client->findChild<QLineEdit*>(QStringLiteral("txtTo"));
  txt_no_seq_ = client->findChild<QLineEdit*>(QStringLiteral("txtNoSeq"));
  cbx_owrite_ = client->findChild<QCheckBox*>(QStringLiteral("cbxOWrite"));
  connect(client->findChild<QPushButton*>(QStringLiteral("btnRead")), &QPushButton::clicked, this,
          &MainWindow::OnReadClicked);
  connect(client->findChild<QPushButton*>(QStringLiteral("btnWrite")), &QPushButton::clicked, this,
          &MainWindow::OnWriteClicked);
  // Every change of the box's value counts as one click, the program's own
  // changes included.
  connect(cbx_owrite_, &QCheckBox::toggled, this, &MainWindow::OnOWriteClicked);
  SetUpPathEntry();

  BuildMenus();
  resize(TwipsSize(kClientWidth, kClientHeight) + QSize(0, menuBar()->sizeHint().height()));

  // The Load step.
  LoadForms();
  InitMain();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMenus() {
  QMenu* file = AddMenu(menuBar(), "M_File", "&File");
  connect(AddItem(file, "F_Exit", "&Exit"), &QAction::triggered, this, &QWidget::close);

  QMenu* options = AddMenu(menuBar(), "M_Options", "&Options");
  connect(AddItem(options, "O_Options", "&Options..."), &QAction::triggered, this,
          &MainWindow::OnOptionsClicked);

  QMenu* info = AddMenu(menuBar(), "M_Info", "&Info");
  QMenu* about = AddMenu(info, "I_About", "&About");
  const auto show = [this](InfoDialogKind kind) {
    return [this, kind] { dialogs_.Show(InfoDialogName(kind)); };
  };
  connect(AddItem(about, "I_A_Vorpel", "&Vorpel"), &QAction::triggered, this,
          show(InfoDialogKind::AboutVorpel));
  connect(AddItem(about, "I_A_Corvane", "&Corvane"), &QAction::triggered, this,
          show(InfoDialogKind::AboutCorvane));
  connect(AddItem(about, "I_A_Author", "&Author"), &QAction::triggered, this,
          show(InfoDialogKind::AboutAuthor));
  // Has no action: shown greyed, it can never be chosen.
  AddItem(info, "I_Info", "&Info")->setEnabled(false);
  connect(AddItem(info, "I_License", "&License"), &QAction::triggered, this,
          show(InfoDialogKind::License));
}

void MainWindow::SetUpPathEntry() {
  QFileSystemModel* paths = MakePathModel(this);
  txt_from_->setCompleter(new PathCompleter(paths, txt_from_));
  txt_to_->setCompleter(new PathCompleter(paths, txt_to_));
  setAcceptDrops(true);
  for (QLineEdit* field : {txt_from_, txt_to_, txt_no_seq_}) field->installEventFilter(this);
}

// A file dragged over a path field is that field's; over the number field
// it is refused there and so reaches the window, like a file dragged over
// a label or a button. Other drags keep the text box's own handling.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
    return QMainWindow::eventFilter(watched, event);
  }
  auto* drag = static_cast<QDropEvent*>(event);
  const QString path = DraggedFilePath(drag->mimeData());
  if (path.isEmpty()) return false;
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (field != txt_from_ && field != txt_to_) {
    drag->ignore();
    return true;
  }
  // The dropped path replaces the text; nothing is read or written.
  if (AcceptFileDrag(drag) && type == QEvent::Drop) field->setText(path);
  return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedFilePath(event->mimeData()).isEmpty()) AcceptFileDrag(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!DraggedFilePath(event->mimeData()).isEmpty()) AcceptFileDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DraggedFilePath(event->mimeData());
  if (!path.isEmpty() && AcceptFileDrag(event)) txt_from_->setText(path);
}

void MainWindow::LoadForms() {
  dialogs_.Add(kOptionsDialogName,
               [this] { return new OptionsDialog(session_.settings, reporter_); });
  for (const ErrorKind error : {ErrorKind::FNE, ErrorKind::OC, ErrorKind::NFN, ErrorKind::CO,
                                ErrorKind::R, ErrorKind::NR, ErrorKind::IO}) {
    dialogs_.Add(DialogName(error), [error] { return new ErrorDialog(error); });
  }
  for (const InfoDialogKind kind :
       {InfoDialogKind::AboutAuthor, InfoDialogKind::AboutCorvane, InfoDialogKind::AboutVorpel,
        InfoDialogKind::License, InfoDialogKind::Done}) {
    dialogs_.Add(InfoDialogName(kind), [kind] { return CreateInfoDialog(kind); });
  }
  dialogs_.LoadAll();
}

void MainWindow::InitMain() {
  session_.settings.OWrite = 0;
  cbx_owrite_->setChecked(false);
  txt_no_seq_->setText(QStringLiteral("128"));
  session_.settings.NoSeq = 128;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Ends the program, dialogs included; nothing is asked or saved.
  event->accept();
  dialogs_.HideAll();
  hooks_.end_program();
}

void MainWindow::OnReadClicked() {
  const WaitCursor wait;
  // Only a regular file: a named pipe or a terminal would hold the window
  // until someone writes to it.
  ReadSource(session_, PathFromField(txt_from_->text()), reporter_, EncodingChoice::Auto,
             SourceFiles::RegularOnly);
}

void MainWindow::OnWriteClicked() {
  const std::string number_text = NumberText(txt_no_seq_->text());
  const WriteRequest request{number_text, PathFromField(txt_to_->text())};
  WriteCommandOptions options;
  options.temp_path = hooks_.temp_path;
  WriteOutcome outcome = WriteOutcome::Refused;
  {
    const WaitCursor wait;
    outcome = RunWriteCommand(session_, request, reporter_, options);
  }
  if (outcome == WriteOutcome::Written) dialogs_.Show(InfoDialogName(InfoDialogKind::Done));
}

// Flips OWrite without looking at the box; a value other than 0 or 1 stays.
void MainWindow::OnOWriteClicked() {
  std::int16_t& owrite = session_.settings.OWrite;
  if (owrite == 0) {
    owrite = 1;
  } else if (owrite == 1) {
    owrite = 0;
  }
}

void MainWindow::OnOptionsClicked() {
  if (auto* options = qobject_cast<OptionsDialog*>(dialogs_.Load(kOptionsDialogName))) {
    options->Fill();
  }
  dialogs_.Show(kOptionsDialogName);
}

}  // namespace vorpel
