#include "path_entry.h"

#include <QAbstractItemView>
#include <QDir>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace vorpel {

PathCompleter::PathCompleter(QFileSystemModel* model, QLineEdit* field)
    : QCompleter(field), model_(model), field_(field) {
  setModel(model);
  setCompletionMode(QCompleter::PopupCompletion);
  setCaseSensitivity(Qt::CaseSensitive);
  connect(model, &QFileSystemModel::directoryLoaded, this, &PathCompleter::OnDirectoryLoaded);
  // Runs before the field asks for completions of the edited text.
  connect(field, &QLineEdit::textEdited, this, &PathCompleter::OnTextEdited);
  // Runs once the field has asked for them.
  connect(field, &QLineEdit::textEdited, this, &PathCompleter::CloseListWhenNothingToAdd,
          Qt::QueuedConnection);
}

QStringList PathCompleter::splitPath(const QString& path) const {
  if (path.isEmpty()) return {completionPrefix()};
  const QString typed = QDir::fromNativeSeparators(path);
  const QString full =
      QDir::isAbsolutePath(typed) ? typed : QDir::currentPath() + QLatin1Char('/') + typed;
  QStringList names = full.split(QLatin1Char('/'));
  const QString last = names.takeLast();
  QStringList steps{QStringLiteral("/")};
  for (const QString& name : names) {
    if (name.isEmpty() || name == QLatin1String(".")) continue;
    if (name == QLatin1String("..")) {
      if (steps.size() > 1) steps.removeLast();
      continue;
    }
    steps.push_back(name);
  }
  steps.push_back(last);
  return steps;
}

QString PathCompleter::pathFromIndex(const QModelIndex& index) const {
  const QString typed = completionPrefix();
  const qsizetype folder_end = typed.lastIndexOf(QLatin1Char('/')) + 1;
  return typed.left(folder_end) + index.data(QFileSystemModel::FileNameRole).toString();
}

QString PathCompleter::FolderOf(const QString& typed) const {
  QStringList steps = splitPath(typed);
  steps.removeLast();
  return QLatin1Char('/') + steps.mid(1).join(QLatin1Char('/'));
}

void PathCompleter::OnTextEdited(const QString& text) {
  if (text.isEmpty()) return;
  // The model knows only the folders it has been asked about: asking for
  // this one makes every folder on the way to it known at once and starts
  // listing its names.
  const QModelIndex folder = model_->index(FolderOf(text));
  if (folder.isValid() && model_->canFetchMore(folder)) model_->fetchMore(folder);
}

void PathCompleter::OnDirectoryLoaded(const QString& folder) {
  // Only while the user's own typing waits for names: not after a
  // suggestion was taken or the text was set by the program.
  if (!field_->hasFocus() || !field_->isModified() || popup()->isVisible()) return;
  const QString typed = field_->text();
  if (typed.isEmpty() || QDir::cleanPath(folder) != FolderOf(typed)) return;
  setCompletionPrefix(typed);
  complete();
  CloseListWhenNothingToAdd();
}

// A list whose one name is the name typed has nothing to offer; left open,
// it would take the next click outside it (the window system's way with
// lists), so that a full path typed and then Read clicked would not read.
void PathCompleter::CloseListWhenNothingToAdd() {
  if (!popup()->isVisible() || completionModel()->rowCount() != 1) return;
  const QString typed = field_->text();
  const QString typed_name = typed.mid(typed.lastIndexOf(QLatin1Char('/')) + 1);
  if (completionModel()->index(0, 0).data().toString() == typed_name) popup()->hide();
}

QFileSystemModel* MakePathModel(QObject* parent) {
  auto* model = new QFileSystemModel(parent);
  model->setRootPath(QDir::currentPath());
  return model;
}

QString DraggedFilePath(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

bool AcceptFileDrag(QDropEvent* event) {
  const Qt::DropActions offered = event->possibleActions();
  if (offered.testFlag(Qt::CopyAction)) {
    event->setDropAction(Qt::CopyAction);
  } else if (offered.testFlag(Qt::LinkAction)) {
    event->setDropAction(Qt::LinkAction);
  } else {
    event->ignore();
    return false;
  }
  event->accept();
  return true;
}

}  // namespace vorpel
