#pragma once
// Routes named process messages to their handlers. Each side of the bridge
// has one: the browser side per browser client, the page side per page
// process. A handler error ends the handling of that message; nothing is
// sent back.

#include <map>
#include <memory>
#include <string>

#include "sorrel/cef/MsgValue.h"

namespace Sorrel::cef {

// Target is what a handler acts on: the sending browser on the browser side,
// the receiving page on the page side.
template <typename Target>
class MsgRouter {
 public:
  class MsgHandler {
   public:
    explicit MsgHandler(std::string name) : name_(std::move(name)) {}
    virtual ~MsgHandler() = default;
    virtual void Handle(Target& target, const ProcessMessage& message) = 0;
    const std::string& Name() const { return name_; }

   private:
    std::string name_;
  };
  using HandlerPtr = std::shared_ptr<MsgHandler>;

  // A handler under a name already present replaces it.
  void Add(HandlerPtr handler) { handlers_[handler->Name()] = std::move(handler); }

  // False when no handler takes the name.
  bool Route(Target& target, const ProcessMessage& message) const {
    auto it = handlers_.find(message.name);
    if (it == handlers_.end()) return false;
    try {
      it->second->Handle(target, message);
    } catch (...) {
      // Malformed messages are dropped after their check failed.
    }
    return true;
  }

  bool Has(const std::string& name) const { return handlers_.count(name) != 0; }

 private:
  std::map<std::string, HandlerPtr> handlers_;
};

}  // namespace Sorrel::cef
