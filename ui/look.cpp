#include "look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QStyleFactory>

#include "pictures.h"
#include "qt_text.h"

namespace vorpel {

QFont WindowFont() {
  // The condensed cut reads better at this density; the regular cut, one
  // pixel smaller, has nearly the same widths and is the fallback.
  const bool has_condensed = QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Condensed"));
  QFont font(has_condensed ? QStringLiteral("DejaVu Sans Condensed")
                           : QStringLiteral("DejaVu Sans"));
  font.setPixelSize(has_condensed ? 10 : 9);
  return font;
}

void ApplyLook(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
    QApplication::setStyle(fusion);
  }
  QApplication::setFont(WindowFont());
  app.setWindowIcon(QIcon(ToQString(kWindowIconPath)));
}

}  // namespace vorpel
