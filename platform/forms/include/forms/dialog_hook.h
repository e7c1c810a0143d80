// The test seam of every modal dialog: while a hook is installed, no dialog is shown; the
// hook records what would have been shown and answers for the user.
#pragma once

#include <deque>
#include <string>
#include <variant>
#include <vector>

namespace forms {

struct DialogCall {
  enum Kind { Message, Input, OpenFile };
  Kind kind = Message;
  std::string prompt;   // message, input prompt, or the open dialog's file filter
  std::string title;    // after the default title was applied
  int buttons = 0;      // message boxes only
  std::string initial;  // input box default text, or the open dialog's initial directory
};

class DialogHook {
 public:
  virtual int OnMessage(const DialogCall& call) = 0;
  virtual std::string OnInput(const DialogCall& call) = 0;
  // The chosen full path, or empty for Cancel.
  virtual std::string OnOpenFile(const DialogCall& call) = 0;

 protected:
  ~DialogHook() = default;
};

// Installs `hook` (nullptr restores real dialogs). Not owned.
void SetDialogHook(DialogHook* hook);
DialogHook* CurrentDialogHook();

// A hook that records every call and answers from a script. A message box with no scripted
// answer gives its default button; an input box its default text; an open dialog Cancel.
class ScriptedDialogs final : public DialogHook {
 public:
  ScriptedDialogs() { SetDialogHook(this); }
  ~ScriptedDialogs() { SetDialogHook(nullptr); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  void Answer(int result) { answers_.emplace_back(result); }
  void Answer(std::string text) { answers_.emplace_back(std::move(text)); }

  const std::vector<DialogCall>& Calls() const { return calls_; }
  std::vector<DialogCall> Messages() const;
  void Clear() { calls_.clear(); }

  int OnMessage(const DialogCall& call) override;
  std::string OnInput(const DialogCall& call) override;
  std::string OnOpenFile(const DialogCall& call) override;

 private:
  std::vector<DialogCall> calls_;
  std::deque<std::variant<int, std::string>> answers_;
};

}  // namespace forms
