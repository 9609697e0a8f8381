#include "sorrel/cef/ExitProtocol.h"

#include <cstdio>
#include <map>
#include <optional>

#include "sorrel/cef/BsmsgHandlers.h"
#include "vantor/detail/SeriousError.h"

namespace Sorrel::cef {
namespace {

// The source name pages and logs know this fault by.
constexpr const char* kFaultSource = "cefExistingBrowser.cpp";

using AnswerMap = std::map<int32_t, std::optional<bool>>;

bool AllAnswered(const AnswerMap& answers) {
  for (const auto& [id, answer] : answers) {
    if (!answer) return false;
  }
  return true;
}

bool AllTrue(const AnswerMap& answers) {
  for (const auto& [id, answer] : answers) {
    if (!answer || !*answer) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi = 0, lo = 0;
    if (text[i] == '%' && i + 2 < text.size() && (hi = HexDigit(text[i + 1])) >= 0 &&
        (lo = HexDigit(text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendMissing(std::string& text, const AnswerMap& answers, const std::vector<BrowserPtr>& browsers) {
  for (const auto& [id, answer] : answers) {
    if (answer) continue;
    std::string url;
    for (const auto& b : browsers) {
      if (b->Identifier() == id) url = PercentDecoded(b->MainFrameUrl());
    }
    text += "\nid:" + std::to_string(id) + " url:" + url;
  }
}

}  // namespace

ExitProtocol::ExitProtocol(Manager& manager, Host& host, CallbackTable& table)
    : manager_(manager), host_(host), table_(table) {}

ExitProtocol::~ExitProtocol() {
  auto ids = manager_.WithExitState([this](Manager::ExitState& s) {
    s = Manager::ExitState{};
    return std::move(callbackIds_);
  });
  for (int32_t id : ids) table_.Remove(id);
}

std::string ExitProtocol::PassScript(const std::string& pageCallback, int32_t callbackId) {
  return std::string("(function(){  var callback = function(is_exit){    if(typeof(is_exit) != 'boolean'){"
                     "      is_exit = true;    }    app.sendProcessMessage('") +
         kMsgExecCallback + "', {id:" + std::to_string(callbackId) +
         ", args:[is_exit]});  };  if(typeof(app." + pageCallback + ") == 'function'){    app." + pageCallback +
         "(callback);  } else {    callback(true);  }})();";
}

std::string ExitProtocol::MissingAnswersText(const Manager::ExitState& state, const std::vector<BrowserPtr>& browsers) {
  std::string text;
  if (!AllAnswered(state.confirm)) {
    text = "下記のブラウザがapp.onConfirmExitのコールバックを実行していません。\n強制的に終了しますか？";
    AppendMissing(text, state.confirm, browsers);
  } else {
    text = "下記のブラウザがapp.onExitのコールバックを実行していません。\n強制的に終了しますか？";
    AppendMissing(text, state.exit, browsers);
  }
  return text;
}

void ExitProtocol::OnClose(std::function<void()> closeCallback) {
  auto browsers = manager_.Browsers();
  std::optional<std::string> question = manager_.WithExitState([&](Manager::ExitState& s) -> std::optional<std::string> {
    if (s.exiting) return MissingAnswersText(s, browsers);
    s.closeCallback = std::move(closeCallback);
    return std::nullopt;
  });
  if (question) {
    // No keeps waiting for the pages.
    if (host_.AskForceExit(*question)) host_.DestroyNow();
    return;
  }
  if (browsers.empty()) {
    Finish(true);
    return;
  }
  StartPass(Pass::kConfirm);
}

void ExitProtocol::StartPass(Pass pass) {
  auto browsers = manager_.Browsers();
  manager_.WithExitState([&](Manager::ExitState& s) {
    s.exiting = true;
    pass_ = pass;
    if (pass == Pass::kConfirm) s.confirm.clear();
    s.exit.clear();
    for (const auto& b : browsers) {
      if (pass == Pass::kConfirm) s.confirm[b->Identifier()] = std::nullopt;
      s.exit[b->Identifier()] = std::nullopt;
    }
  });
  const std::string pageCallback = pass == Pass::kConfirm ? "onConfirmExit" : "onExit";
  for (const auto& b : browsers) {
    const int32_t browserId = b->Identifier();
    int32_t id = table_.Add([this, pass, browserId](const MsgList& args) { Record(pass, browserId, args); });
    manager_.WithExitState([&](Manager::ExitState&) { callbackIds_.push_back(id); });
    // A page that cannot be asked (its page process has ended) never answers:
    // it is counted as agreeing, as a page without the callbacks would.
    if (!EvalInPage(b, PassScript(pageCallback, id))) Record(pass, browserId, {MsgValue::Bool(true)});
  }
  // Every browser of the confirm pass may have closed in the meantime.
  if (browsers.empty()) host_.PostToWindowThread([this, pass] { Advance(pass); });
}

void ExitProtocol::Record(Pass pass, int32_t browserId, const MsgList& args) {
  // Runs inside the CallbackTable: must not use the table.
  enum { kRecorded, kComplete, kMalformed } outcome = kMalformed;
  manager_.WithExitState([&](Manager::ExitState& s) {
    AnswerMap& answers = pass == Pass::kConfirm ? s.confirm : s.exit;
    auto it = answers.find(browserId);
    if (it == answers.end() || args.size() != 1 || args[0].GetType() != MsgValue::Type::Bool) return;
    it->second = args[0].GetBool();
    outcome = AllAnswered(answers) ? kComplete : kRecorded;
  });
  if (outcome == kMalformed) {
    const int line = __LINE__;
    std::fprintf(stderr, "internal fault %s:%d: malformed exit answer from browser %d\n", kFaultSource, line,
                 browserId);
    throw vantor::detail::SeriousError(kFaultSource, line, "malformed exit answer");
  }
  if (outcome == kComplete) host_.PostToWindowThread([this, pass] { Advance(pass); });
}

void ExitProtocol::Advance(Pass pass) {
  enum { kWait, kRefused, kAgreed } state = kWait;
  manager_.WithExitState([&](Manager::ExitState& s) {
    const AnswerMap& answers = pass == Pass::kConfirm ? s.confirm : s.exit;
    if (!s.exiting || pass_ != pass || !AllAnswered(answers)) return;  // already moved on
    // Only the confirm pass can refuse; the exit pass just lets pages finish.
    state = pass == Pass::kExit || AllTrue(answers) ? kAgreed : kRefused;
  });
  if (state == kWait) return;
  if (state == kRefused) Finish(false);
  else if (pass == Pass::kConfirm) StartPass(Pass::kExit);
  else Finish(true);
}

void ExitProtocol::OnBrowserRemoved(int32_t browserId) {
  std::optional<Pass> recheck;
  manager_.WithExitState([&](Manager::ExitState& s) {
    if (!s.exiting) return;
    s.confirm.erase(browserId);
    s.exit.erase(browserId);
    recheck = pass_;
  });
  if (recheck) host_.PostToWindowThread([this, pass = *recheck] { Advance(pass); });
}

void ExitProtocol::Finish(bool ok) {
  std::function<void()> closeCallback;
  std::vector<int32_t> ids;
  manager_.WithExitState([&](Manager::ExitState& s) {
    closeCallback = std::move(s.closeCallback);
    s.closeCallback = nullptr;
    s.confirm.clear();
    s.exit.clear();
    s.exiting = false;
    ids = std::move(callbackIds_);
    callbackIds_.clear();
  });
  // Answers still owed by an abandoned round are no longer wanted.
  for (int32_t id : ids) table_.Remove(id);
  if (ok && closeCallback) closeCallback();
}

}  // namespace Sorrel::cef
