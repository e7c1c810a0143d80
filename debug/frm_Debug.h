// The debug trail window: polls one meter's debug port through the Marlet control once a second
// and lists the trace lines it answers with, optionally appending them to Debug_Report.Txt.
// Modeless; it announces its load and unload, and the application takes the main window's view
// and file buttons out of use meanwhile.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "debug/debug_logic.h"
#include "marlet/imarlet.h"
#include "ole/com_ptr.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace debug {

class MarletEvents;

class frm_Debug : public QWidget, private DebugScreen, private MarletPort {
  Q_OBJECT

 public:
  static constexpr const char* kFormName = "frm_Debug";

  frm_Debug();
  ~frm_Debug() override;

  void cmd_StartStop_Click();
  void cmd_Clear_Click();
  void cmd_Write2File_Click();
  void Timer_Process_Timer();
  void Marlet1_DataIn(const std::string& datagram, const std::string& source_address,
                      int16_t source_port);
  void Marlet1_Error(int16_t error_code, const std::string& description);
  void Marlet1_ReadyToSend();
  void Write_Log_Info(const std::string& text);
  static std::string GetAppPath();

  QListWidget* lstResponse = nullptr;
  QPushButton* cmd_StartStop = nullptr;
  QPushButton* cmd_Clear = nullptr;
  QLabel* lbl_UDPIP = nullptr;
  QLineEdit* txt_Mv_IPAddress = nullptr;
  QPushButton* cmd_Write2File = nullptr;
  QCheckBox* Chk_LogData = nullptr;
  QTimer* Timer_Process = nullptr;
  // Null when the control could not be created (the window said why).
  ole::ComPtr<marlet::IMarlet> Marlet1;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void CreateMarlet();
  void Form_Load();
  void Form_Unload();
  void CopySelectedRows();

  std::string Address() const override;
  bool LogChecked() const override;
  std::vector<std::string> Rows() const override;
  void AddRow(const std::string& row) override;
  void SetCaption(const std::string& caption) override;
  std::string StartStopCaption() const override;
  void SetStartStopCaption(const std::string& caption) override;
  void EnableTimer(bool on) override;
  void EnableWrite2File(bool on) override;
  int Show(const forms::Message& m) override;

  void SetRemoteHost(const std::string& host) override;
  void SetRemotePort(int32_t port) override;
  bool Active() override;
  void SetActive(bool on) override;
  void Send(const std::string& text) override;

  DebugLogic logic_;
  std::unique_ptr<MarletEvents> events_;
  DWORD cookie_ = 0;
  bool com_initialized_ = false;
  bool unloaded_ = false;
  bool scroll_pending_ = false;
  bool following_ = true;
};

}  // namespace debug
