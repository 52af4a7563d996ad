#include "qt_text.h"

#include <QByteArray>
#include <QFile>

namespace vorpel {

QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToBytes(const QString& text) { return text.toUtf8().toStdString(); }

std::string SeparatorBytes(const QString& field_text) { return ToBytes(field_text); }

std::string NumberText(const QString& field_text) { return ToBytes(field_text); }

std::filesystem::path PathFromField(const QString& field_text) {
  return std::filesystem::path(QFile::encodeName(field_text).toStdString());
}

QString FromFileSystemBytes(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace vorpel
