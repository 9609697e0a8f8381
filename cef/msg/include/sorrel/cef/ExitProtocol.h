#pragma once
// The close protocol with the pages: every open browser (popups included) is
// asked first through app.onConfirmExit, then through app.onExit; each answers
// once through a CallbackTable entry. One false in the confirm pass abandons
// the exit; when every page agreed to both, the frame's close callback runs.
// A close while pages still owe an answer lists them and offers to end at
// once. The state lives in the Manager's exit state.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Manager.h"

namespace Sorrel::cef {

class ExitProtocol {
 public:
  // What the protocol needs from the frame.
  class Host {
   public:
    virtual ~Host() = default;
    // Runs the task on the window thread later, never inside this call.
    virtual void PostToWindowThread(std::function<void()> task) = 0;
    // The Yes/No question listing the pages that have not answered; true
    // for Yes.
    virtual bool AskForceExit(const std::string& text) = 0;
    // Ends the main window at once without asking anybody.
    virtual void DestroyNow() = 0;
  };

  ExitProtocol(Manager& manager, Host& host, CallbackTable& table);
  ~ExitProtocol();
  ExitProtocol(const ExitProtocol&) = delete;
  ExitProtocol& operator=(const ExitProtocol&) = delete;

  // The frame's close request (window thread). `closeCallback` runs once all
  // pages agreed; it is dropped when one of them refused.
  void OnClose(std::function<void()> closeCallback);
  // A browser closed, or its page process ended: its answer is no longer
  // waited for.
  void OnBrowserRemoved(int32_t browserId);

  // The script asking one page; `pageCallback` is "onConfirmExit" or "onExit".
  static std::string PassScript(const std::string& pageCallback, int32_t callbackId);
  // The question shown on a close during an exit.
  static std::string MissingAnswersText(const Manager::ExitState& state, const std::vector<BrowserPtr>& browsers);

 private:
  enum class Pass { kConfirm, kExit };

  void StartPass(Pass pass);
  void Record(Pass pass, int32_t browserId, const MsgList& args);
  void Advance(Pass pass);
  void Finish(bool ok);

  Manager& manager_;
  Host& host_;
  CallbackTable& table_;
  // Guarded by the Manager mutex, like the exit state.
  Pass pass_ = Pass::kConfirm;
  std::vector<int32_t> callbackIds_;
};

}  // namespace Sorrel::cef
