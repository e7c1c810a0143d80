#include "forms/dialog_hook.h"

#include <cstdio>
#include <cstdlib>

#include "forms/msgbox.h"
#include "forms/test_log.h"

namespace forms {
namespace {

DialogHook* installed = nullptr;

// For tests that drive the program as a separate process: with FORMS_DIALOG_LOG set, boxes
// are written to that file and answered with their default instead of being shown.
class LoggedDialogs final : public DialogHook {
 public:
  int OnMessage(const DialogCall& call) override {
    AppendTestLog("MsgBox\t" + std::to_string(call.buttons) + "\t" + call.title + "\t" +
                  call.prompt);
    return DefaultAnswer(call.buttons);
  }
  std::string OnInput(const DialogCall& call) override {
    AppendTestLog("InputBox\t" + call.title + "\t" + call.prompt);
    return call.initial;
  }
  std::string OnOpenFile(const DialogCall& call) override {
    AppendTestLog("ShowOpen\t" + call.prompt);
    return {};
  }
};

}  // namespace

void SetDialogHook(DialogHook* hook) {
  installed = hook;
}

DialogHook* CurrentDialogHook() {
  static LoggedDialogs logged;
  if (installed == nullptr && TestLogEnabled()) return &logged;
  return installed;
}

std::vector<DialogCall> ScriptedDialogs::Messages() const {
  std::vector<DialogCall> out;
  for (const auto& c : calls_)
    if (c.kind == DialogCall::Message) out.push_back(c);
  return out;
}

int ScriptedDialogs::OnMessage(const DialogCall& call) {
  calls_.push_back(call);
  if (!answers_.empty() && std::holds_alternative<int>(answers_.front())) {
    int answer = std::get<int>(answers_.front());
    answers_.pop_front();
    return answer;
  }
  return DefaultAnswer(call.buttons);
}

std::string ScriptedDialogs::OnInput(const DialogCall& call) {
  calls_.push_back(call);
  if (!answers_.empty() && std::holds_alternative<std::string>(answers_.front())) {
    std::string answer = std::get<std::string>(answers_.front());
    answers_.pop_front();
    return answer;
  }
  return call.initial;
}

std::string ScriptedDialogs::OnOpenFile(const DialogCall& call) {
  calls_.push_back(call);
  if (!answers_.empty() && std::holds_alternative<std::string>(answers_.front())) {
    std::string answer = std::get<std::string>(answers_.front());
    answers_.pop_front();
    return answer;
  }
  return {};
}

}  // namespace forms
