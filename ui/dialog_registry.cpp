#include "dialog_registry.h"

#include <QApplication>
#include <QPointer>

namespace vorpel {

DialogRegistry::~DialogRegistry() {
  for (Entry& entry : entries_) delete entry.dialog.data();
}

void DialogRegistry::Add(const QString& name, Factory factory) {
  entries_.push_back({name, std::move(factory), nullptr});
}

void DialogRegistry::LoadAll() {
  for (const Entry& entry : entries_) Load(entry.name);
}

FormDialog* DialogRegistry::Load(const QString& name) {
  Entry* entry = FindEntry(name);
  if (entry == nullptr) return nullptr;
  if (entry->dialog.isNull()) {
    FormDialog* dialog = entry->factory();
    entry->dialog = dialog;
    // Forget the dialog as soon as its frame closes it, not only once the
    // deferred deletion has run, so that a show right after the close makes
    // a new one instead of reviving the old.
    QObject::connect(dialog, &FormDialog::FrameClosed, dialog, [this, name] {
      if (Entry* closed = FindEntry(name)) closed->dialog = nullptr;
    });
  }
  return entry->dialog.data();
}

FormDialog* DialogRegistry::Show(const QString& name) {
  FormDialog* dialog = Load(name);
  if (dialog == nullptr) return nullptr;
  if (!dialog->testAttribute(Qt::WA_ShowWithoutActivating)) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
  }
  // On top, with the keyboard left where the user was typing. Most window
  // systems honour the request not to activate the new window; where one
  // activates it all the same on showing it (the offscreen platform does),
  // that activation is handed back at once.
  const QPointer<QWidget> typing_in = QApplication::activeWindow();
  dialog->show();
  dialog->raise();
  if (typing_in.isNull() || typing_in == dialog) return dialog;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (QApplication::activeWindow() == dialog && !typing_in.isNull() && typing_in->isVisible()) {
    typing_in->activateWindow();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return dialog;
}

FormDialog* DialogRegistry::Find(const QString& name) const {
  const Entry* entry = FindEntry(name);
  return entry == nullptr ? nullptr : entry->dialog.data();
}

void DialogRegistry::HideAll() {
  for (Entry& entry : entries_) {
    if (!entry.dialog.isNull()) entry.dialog->hide();
  }
}

DialogRegistry::Entry* DialogRegistry::FindEntry(const QString& name) {
  for (Entry& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const DialogRegistry::Entry* DialogRegistry::FindEntry(const QString& name) const {
  for (const Entry& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace vorpel
