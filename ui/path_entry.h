#pragma once

#include <QCompleter>
#include <QString>
#include <QStringList>

class QDropEvent;
class QFileSystemModel;
class QLineEdit;
class QMimeData;

namespace vorpel {

// Completes file and folder names in a path field as the user types, from a
// file system model. A relative path counts from the program's working
// folder at the moment of typing, as Read and Write count it. Accepting a
// suggestion keeps what was typed up to the last slash and adds the chosen
// name, so the field never changes beyond the name being completed.
class PathCompleter final : public QCompleter {
  Q_OBJECT
 public:
  PathCompleter(QFileSystemModel* model, QLineEdit* field);
  Q_DISABLE_COPY_MOVE(PathCompleter)

  // The steps from the file system's root to the typed path: "/" first,
  // then one name a step; the last step (possibly empty) is the part of a
  // name still to complete. "." and ".." before it are resolved.
  QStringList splitPath(const QString& path) const override;
  QString pathFromIndex(const QModelIndex& index) const override;

 private:
  // The absolute folder that the typed path's last name lies in.
  QString FolderOf(const QString& typed) const;
  void OnTextEdited(const QString& text);
  // The model lists a folder in the background: when the folder the user is
  // typing in arrives after the keystroke, offer its names then.
  void OnDirectoryLoaded(const QString& folder);
  void CloseListWhenNothingToAdd();

  QFileSystemModel* model_;
  QLineEdit* field_;
};

// The file system model that path completers share; it starts listing the
// working folder at once.
QFileSystemModel* MakePathModel(QObject* parent);

// The local path of the first local file a drag carries (a text/uri-list
// of file: URLs), as a path, never as a URL; empty when it carries none.
QString DraggedFilePath(const QMimeData* mime);

// Accepts a drag of a file as a copy (or else a link), so that the program
// that started the drag never removes the file: a path is all the window
// takes. False (and the drag refused) when the drag offers neither.
bool AcceptFileDrag(QDropEvent* event);

}  // namespace vorpel
