#include "forms/prepare.h"

#include <QCoreApplication>

namespace forms {

void PrepareApplication() {
  // The HTML view's engine starts later, from a plugin; it needs shared GL contexts from the
  // start.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace forms
