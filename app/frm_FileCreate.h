// The main window: the HTML view with the meter program form, "Read File" and
// "Create File", and the menu that opens the other windows.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <string>

#include "forms/common_dialog.h"

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace forms {
class WebBrowser;
}

namespace app {

class frm_FileCreate : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frm_FileCreate";
  static constexpr const char* kCaption = "Corvane Programmer / Discover IP / Debugger";
  static constexpr const char* kAppTitle = "Corvane's Programmer / Debugger";

  frm_FileCreate();
  ~frm_FileCreate() override;

  std::string GetAppPath() const;

  // "Create File": the program form of the page back into a program file.
  void cmd_CreateFile_Click();
  // "Read File": a program file picked in Program_Files shown as the editable page.
  void cmd_ReadRaw_Click();
  // Writes the text and CR LF to the file, replacing it atomically; says why not in a message
  // box and gives false when it cannot. The other windows use the same writer in base/.
  bool Write_String_To_File(const std::string& StringToWrite, const std::string& FileNameIs);
  // The file's lines joined with their line ends dropped, read with the cap of every read.
  // Throws forms::RuntimeError.
  std::string fnc_FileToString(const std::string& FilePath);

  // The window background as a colour value (blue-green-red).
  std::int32_t BackColor() const;
  void SetBackColor(std::int32_t value);

  // Adds an entry to the top-level "Files" menu (created with its first entry).
  QAction* AddFilesMenuEntry(const QString& caption, std::function<void()> action);
  // What the "Meter Firmware", "Debug" and "Test Communications" entries open.
  void SetMenuAction(QAction* entry, std::function<void()> action);

  // Controls, named as the window definition names them.
  forms::WebBrowser* wb = nullptr;
  QPushButton* cmd_ReadRaw = nullptr;
  QPushButton* cmd_CreateFile = nullptr;
  forms::CommonDialog CommonDialog1;

  QMenu* m1 = nullptr;
  QAction* line1 = nullptr;
  QAction* mnuNW = nullptr;
  QAction* line2 = nullptr;
  QMenu* mnu_uploadX = nullptr;
  QAction* Mpg = nullptr;
  QAction* line3 = nullptr;
  QAction* Mfp = nullptr;
  QAction* line4 = nullptr;
  QAction* mnuDebug = nullptr;
  QAction* line5 = nullptr;
  QAction* mnuComms = nullptr;
  QMenu* mnuFiles = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  void Form_Load();
  void Form_Unload();
  void wb_BeforeNavigate2(const std::string& url, bool& cancel);

  QWidget* client_ = nullptr;
  std::string app_path_;
};

}  // namespace app
