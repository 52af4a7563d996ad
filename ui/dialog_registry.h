#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

#include "form_dialog.h"

namespace vorpel {

// Owns the program's dialogs and refers to each by its name. A dialog is
// made by its factory, which also runs the dialog's Load step; it then
// lives, shown or hidden, until it is closed through its frame, after which
// the next Load or Show makes it afresh. There is never more than one copy.
class DialogRegistry {
 public:
  using Factory = std::function<FormDialog*()>;

  DialogRegistry() = default;
  ~DialogRegistry();
  Q_DISABLE_COPY_MOVE(DialogRegistry)

  // Registration order is the order of LoadAll.
  void Add(const QString& name, Factory factory);
  void LoadAll();

  // The dialog, made hidden first if it does not exist.
  FormDialog* Load(const QString& name);
  // Shows the dialog modeless (made first if needed) and brings it to the
  // front. It also takes the keyboard unless it was made with
  // Qt::WA_ShowWithoutActivating: then the window the user was typing in
  // keeps it.
  FormDialog* Show(const QString& name);
  // The dialog if it exists, else null.
  FormDialog* Find(const QString& name) const;

  void HideAll();

 private:
  struct Entry {
    QString name;
    Factory factory;
    QPointer<FormDialog> dialog;
  };
  Entry* FindEntry(const QString& name);
  const Entry* FindEntry(const QString& name) const;

  std::vector<Entry> entries_;
};

}  // namespace vorpel
