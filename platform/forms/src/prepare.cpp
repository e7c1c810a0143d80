#include "forms/prepare.h"

#include <QCoreApplication>

#include "forms/web_browser.h"

namespace forms {

void PrepareApplication() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  PrepareWebSchemes();
}

}  // namespace forms
