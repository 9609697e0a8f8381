#include "sorrel/cef/JsQueryFactory.h"

namespace Sorrel::cef {

bool JsQueryFactory::Add(JsQueryHandlerPtr handler) {
  if (!handler) return false;
  const std::string name = handler->QueryName();
  return handlers_.emplace(name, std::move(handler)).second;
}

JsQueryHandlerPtr JsQueryFactory::Find(const std::string& queryName) const {
  auto it = handlers_.find(queryName);
  return it == handlers_.end() ? nullptr : it->second;
}

}  // namespace Sorrel::cef
