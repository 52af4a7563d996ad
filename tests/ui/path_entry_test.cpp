// Paths without typing them whole: file name completion in txtFrom and
// txtTo, and files dropped on the main window. Neither runs a command: the
// user still presses Read or Write, which take exactly what the field holds.

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include "vorpel_test/window_test.h"

namespace vorpel::test {
namespace {

class PathEntryTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    working_folder_ = QDir::currentPath();
    ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("sub")));
    for (const char* name : {"story.txt", "stone.txt", "other.txt", "sub/inner.txt"}) {
      WriteBytes(Path(QString::fromLatin1(name)), "one two three four five six seven eight ");
    }
    // Runs one after another: each of these files gives two sequences.
    session_.settings.MultSeq = 0;
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
  }

  void TearDown() override {
    QDir::setCurrent(working_folder_);
    WindowTest::TearDown();
  }

  // Keys go where the system sends them: to the open completion list, else
  // to the focused control.
  static QWidget* KeyTarget() {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    return QApplication::focusWidget();
  }
  static void Key(Qt::Key key) { QTest::keyClick(KeyTarget(), key); }
  static void TypeKeys(const QString& text) {
    for (const QChar character : text) QTest::keyClick(KeyTarget(), character.toLatin1());
  }

  // Clears the field, gives it the focus and types text key by key.
  void TypeInto(const char* field_name, const QString& text) {
    QLineEdit* field = Field(field_name);
    field->setFocus();
    field->clear();
    TypeKeys(text);
    ASSERT_EQ(field->text(), text);
  }

  // The names the completion list offers, sorted, once it is shown; empty
  // when no list comes up.
  static QStringList Suggestions(QLineEdit* field) {
    QCompleter* completer = field->completer();
    if (completer == nullptr) return {QStringLiteral("no completer")};
    if (!QTest::qWaitFor([completer] { return completer->popup()->isVisible(); }, 5000)) return {};
    QStringList names;
    QAbstractItemModel* shown = completer->completionModel();
    for (int row = 0; row < shown->rowCount(); ++row) {
      names.push_back(shown->index(row, 0).data().toString());
    }
    names.sort();
    return names;
  }

  // Nothing ran: no beep, no dialog, nothing read, nothing written.
  void ExpectNoCommandRan() {
    EXPECT_EQ(beeps_, 0);
    EXPECT_TRUE(ShownDialogs().isEmpty()) << ShownDialogs().join(' ').toStdString();
    EXPECT_TRUE(session_.pool.Empty());
    EXPECT_FALSE(QFile::exists(TempPath()));
  }

  // Lets the window system's pending news arrive (the offscreen platform
  // reports every list it showed as activated), then makes the main window
  // the active one.
  void ActivateMain() {
    QCoreApplication::processEvents();
    main_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
  }

  QString working_folder_;
};

TEST_F(PathEntryTest, RelativeName_CompletesFromTheWorkingFolder_EnterTakesItAndRunsNothing) {
  TypeInto("txtFrom", "st");
  EXPECT_EQ(Suggestions(Field("txtFrom")), (QStringList{"stone.txt", "story.txt"}));
  TypeKeys("or");
  EXPECT_EQ(Suggestions(Field("txtFrom")), QStringList{"story.txt"});

  Key(Qt::Key_Down);
  Key(Qt::Key_Return);
  EXPECT_EQ(Field("txtFrom")->text(), "story.txt");
  EXPECT_FALSE(Field("txtFrom")->completer()->popup()->isVisible());
  ExpectNoCommandRan();

  // Read counts the completed name from the same folder.
  Click(MainControl<QPushButton>("btnRead"));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(session_.pool.Size(), 2u);
}

TEST_F(PathEntryTest, TargetField_EnterTakesTheSuggestionWithoutWriting) {
  // With nothing read, a Write would beep and show ErrorR.
  TypeInto("txtTo", "oth");
  ASSERT_EQ(Suggestions(Field("txtTo")), QStringList{"other.txt"});
  Key(Qt::Key_Down);
  Key(Qt::Key_Enter);
  EXPECT_EQ(Field("txtTo")->text(), "other.txt");
  ExpectNoCommandRan();
  EXPECT_EQ(ReadBytes(Path("other.txt")), "one two three four five six seven eight ");
}

TEST_F(PathEntryTest, CompletionKeepsWhatWasTypedUpToTheLastSlash) {
  struct Case {
    QString typed;
    QString accepted;
  };
  const Case cases[] = {
      {"sub/", "sub/inner.txt"},
      {"./sub/in", "./sub/inner.txt"},
      {"sub/../oth", "sub/../other.txt"},
      {dir_.path() + "/oth", dir_.path() + "/other.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    TypeInto("txtFrom", c.typed);
    ASSERT_EQ(Suggestions(Field("txtFrom")).size(), 1);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(Field("txtFrom")->text(), c.accepted);
  }
  ExpectNoCommandRan();
}

TEST_F(PathEntryTest, ParentFolderCountsFromTheWorkingFolder) {
  ASSERT_TRUE(QDir::setCurrent(Path("sub")));
  TypeInto("txtTo", "../sto");
  EXPECT_EQ(Suggestions(Field("txtTo")), (QStringList{"stone.txt", "story.txt"}));
  Key(Qt::Key_Escape);
  EXPECT_EQ(Field("txtTo")->text(), "../sto") << "Escape keeps what was typed";
  EXPECT_FALSE(Field("txtTo")->completer()->popup()->isVisible());
  ExpectNoCommandRan();
}

TEST_F(PathEntryTest, ANameTypedWhole_ClosesTheListUnlessLongerNamesGoOn) {
  TypeInto("txtFrom", "othe");
  ASSERT_EQ(Suggestions(Field("txtFrom")), QStringList{"other.txt"});
  TypeKeys("r.txt");
  QCoreApplication::processEvents();
  EXPECT_FALSE(Field("txtFrom")->completer()->popup()->isVisible())
      << "a list with nothing to add would take the next click";
  EXPECT_EQ(Field("txtFrom")->text(), "other.txt");

  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("pair")));
  WriteBytes(Path("pair/a.txt"), "x");
  WriteBytes(Path("pair/a.txt.bak"), "x");
  TypeInto("txtFrom", "pair/a");
  ASSERT_EQ(Suggestions(Field("txtFrom")), (QStringList{"a.txt", "a.txt.bak"}));
  TypeKeys(".txt");
  QCoreApplication::processEvents();
  EXPECT_EQ(Suggestions(Field("txtFrom")), (QStringList{"a.txt", "a.txt.bak"}));
  ExpectNoCommandRan();
}

TEST_F(PathEntryTest, AWriteAddingAFileToTheTypedFolder_OpensNoListElsewhere) {
  ReadSource(QStringLiteral("story.txt"));
  ASSERT_EQ(session_.pool.Size(), 2u);
  // A new name: the list closes for want of a match while it is typed.
  TypeInto("txtTo", dir_.path() + "/new.txt");
  TypeInto("txtNoSeq", "3");
  // The lists that opened and closed while typing have had their say, as
  // in a running program; the main window is the active one.
  ActivateMain();
  Click(MainControl<QPushButton>("btnWrite"));
  ASSERT_TRUE(QFile::exists(Path("new.txt")));
  // The folder is listed again with the new file in it; the list may open
  // only while its field is being typed in.
  EXPECT_FALSE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 1500));
  EXPECT_FALSE(Field("txtTo")->completer()->popup()->isVisible());
  EXPECT_EQ(QApplication::activeWindow(), main_.get());
}

TEST_F(PathEntryTest, NoMatch_NoListAndTheTextStaysAsTyped) {
  TypeInto("txtFrom", "st");
  ASSERT_EQ(Suggestions(Field("txtFrom")).size(), 2);
  TypeKeys("z");
  EXPECT_FALSE(Field("txtFrom")->completer()->popup()->isVisible());
  EXPECT_EQ(Field("txtFrom")->text(), "stz");
  Key(Qt::Key_Return);
  EXPECT_EQ(Field("txtFrom")->text(), "stz");
  ExpectNoCommandRan();
  EXPECT_EQ(Field("txtNoSeq")->completer(), nullptr) << "the number field completes nothing";
}

// A drag and drop as the window system delivers it: entered and dropped at
// a point of the widget under the pointer, which passes it to the nearest
// ancestor that takes drops.
struct DropResult {
  bool accepted = false;
  Qt::DropAction action = Qt::IgnoreAction;
};

DropResult Drop(QWidget* under_pointer, const QMimeData& mime,
                Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  const QPoint point = under_pointer->rect().center();
  QDragEnterEvent enter(point, offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(under_pointer, &enter);
  if (!enter.isAccepted()) return {};
  QDragMoveEvent move(point, offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(under_pointer, &move);
  QDropEvent drop(QPointF(point), offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(under_pointer, &drop);
  return {drop.isAccepted(), drop.dropAction()};
}

std::unique_ptr<QMimeData> FilesDragged(const QList<QUrl>& urls) {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls(urls);
  return mime;
}

TEST_F(PathEntryTest, FileDroppedOnAPathField_ReplacesItsTextWithTheLocalPath) {
  const QString name = QString::fromUtf8("Grüße aus Köln #1.txt");
  WriteBytes(Path(name), "a b c d e f g h ");
  const auto mime = FilesDragged({QUrl::fromLocalFile(Path(name))});
  ASSERT_TRUE(mime->data("text/uri-list").contains("%20")) << "the drag carries a URL";

  for (const char* field : {"txtFrom", "txtTo"}) {
    SCOPED_TRACE(field);
    Field("txtFrom")->setText("old source");
    Field("txtTo")->setText("old target");
    const DropResult result = Drop(Field(field), *mime);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.action, Qt::CopyAction) << "the file manager must never move the file away";
    EXPECT_EQ(Field(field)->text(), Path(name));
    EXPECT_EQ(Field(field == std::string_view("txtFrom") ? "txtTo" : "txtFrom")->text(),
              field == std::string_view("txtFrom") ? "old target" : "old source");
  }
  ExpectNoCommandRan();
  EXPECT_FALSE(Field("txtTo")->completer()->popup()->isVisible());

  // Read takes the dropped path as it stands.
  Drop(Field("txtFrom"), *mime);
  Click(MainControl<QPushButton>("btnRead"));
  EXPECT_EQ(beeps_, 0);
  EXPECT_EQ(session_.pool.Size(), 2u);
}

TEST_F(PathEntryTest, FileDroppedAnywhereElse_FillsTxtFrom) {
  const auto mime = FilesDragged({QUrl(QStringLiteral("https://example.org/page.txt")),
                                  QUrl::fromLocalFile(Path("story.txt")),
                                  QUrl::fromLocalFile(Path("other.txt"))});
  QWidget* client = main_->centralWidget();
  const std::pair<const char*, QWidget*> places[] = {
      {"lblFrom", MainControl<QLabel>("lblFrom")},
      {"lblNoSeq", MainControl<QLabel>("lblNoSeq")},
      {"btnRead", MainControl<QPushButton>("btnRead")},
      {"btnWrite", MainControl<QPushButton>("btnWrite")},
      {"cbxOWrite", MainControl<QCheckBox>("cbxOWrite")},
      {"txtNoSeq", Field("txtNoSeq")},
      {"client area", client},
      {"menu bar", main_->menuBar()},
  };
  for (const auto& [name, place] : places) {
    SCOPED_TRACE(name);
    ASSERT_NE(place, nullptr);
    Field("txtFrom")->setText("old source");
    Field("txtTo")->setText("old target");
    const DropResult result = Drop(place, *mime);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.action, Qt::CopyAction);
    EXPECT_EQ(Field("txtFrom")->text(), Path("story.txt")) << "the first local file";
    EXPECT_EQ(Field("txtTo")->text(), "old target");
    EXPECT_EQ(Field("txtNoSeq")->text(), "128");
  }
  EXPECT_FALSE(MainControl<QCheckBox>("cbxOWrite")->isChecked());
  ExpectNoCommandRan();
}

TEST_F(PathEntryTest, DragsThatCarryNoLocalFileOrOnlyAMove_AreRefused) {
  Field("txtFrom")->setText("old source");
  const auto web = FilesDragged({QUrl(QStringLiteral("https://example.org/page.txt"))});
  for (QWidget* place : {static_cast<QWidget*>(Field("txtFrom")), main_->centralWidget()}) {
    EXPECT_FALSE(Drop(place, *web).accepted);
  }
  // A file offered only to be moved: taking it would let the file manager
  // delete it.
  const auto file = FilesDragged({QUrl::fromLocalFile(Path("story.txt"))});
  EXPECT_FALSE(Drop(Field("txtFrom"), *file, Qt::MoveAction).accepted);
  EXPECT_FALSE(Drop(main_->centralWidget(), *file, Qt::MoveAction).accepted);
  EXPECT_EQ(Field("txtFrom")->text(), "old source");
  // Offered only as a link, it is taken as one.
  const DropResult linked = Drop(Field("txtTo"), *file, Qt::LinkAction);
  EXPECT_TRUE(linked.accepted);
  EXPECT_EQ(linked.action, Qt::LinkAction);
  EXPECT_EQ(Field("txtTo")->text(), Path("story.txt"));
  ExpectNoCommandRan();
}

}  // namespace
}  // namespace vorpel::test
