#pragma once
// The registered page functions by query name; the first registration of a
// name wins, iteration is in ascending byte order of the name.

#include <map>
#include <string>

#include "sorrel/cef/JsQueryHandler.h"

namespace Sorrel::cef {

class JsQueryFactory {
 public:
  using Map = std::map<std::string, JsQueryHandlerPtr>;

  // False (and no change) when the query name is already taken.
  bool Add(JsQueryHandlerPtr handler);
  JsQueryHandlerPtr Find(const std::string& queryName) const;
  size_t Size() const { return handlers_.size(); }
  Map::const_iterator begin() const { return handlers_.begin(); }
  Map::const_iterator end() const { return handlers_.end(); }

 private:
  Map handlers_;
};

}  // namespace Sorrel::cef
