#pragma once

namespace forms {

// Everything the runtime needs before the QApplication exists (URL schemes, shared GL
// contexts for the HTML view).
void PrepareApplication();

}  // namespace forms
