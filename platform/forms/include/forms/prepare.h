#pragma once

namespace forms {

// What the runtime needs before the QApplication exists.
void PrepareApplication();

}  // namespace forms
