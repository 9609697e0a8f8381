#pragma once
// Page event listeners of one page process, by {listener name, browser id}.
// Each entry remembers the script context it was added in, so the entries of
// a context that goes away can be dropped. Used on the page's main thread only.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace Sorrel::cef {

template <typename Context, typename Function>
class JsEventListenerTable {
 public:
  struct Entry {
    Context context;
    Function listener;
  };
  using Key = std::pair<std::string, int32_t>;  // name first, then browser id

  // Adds or replaces; returns the entry it replaced, if any.
  std::optional<Entry> Add(const std::string& name, int32_t browserId, Context context, Function listener) {
    Key key{name, browserId};
    std::optional<Entry> old;
    auto it = entries_.find(key);
    if (it != entries_.end()) {
      old = std::move(it->second);
      it->second = Entry{std::move(context), std::move(listener)};
    } else {
      entries_.emplace(std::move(key), Entry{std::move(context), std::move(listener)});
    }
    return old;
  }

  bool Remove(const std::string& name, int32_t browserId) { return entries_.erase(Key{name, browserId}) != 0; }

  const Entry* Find(const std::string& name, int32_t browserId) const {
    auto it = entries_.find(Key{name, browserId});
    return it == entries_.end() ? nullptr : &it->second;
  }

  // Drops every listener added in the context; returns how many.
  template <typename Matches>
  size_t RemoveContextIf(Matches matches) {
    size_t removed = 0;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (matches(it->second.context)) {
        it = entries_.erase(it);
        ++removed;
      } else {
        ++it;
      }
    }
    return removed;
  }
  size_t RemoveContext(const Context& context) {
    return RemoveContextIf([&](const Context& c) { return c == context; });
  }

  size_t Size() const { return entries_.size(); }

 private:
  std::map<Key, Entry> entries_;
};

}  // namespace Sorrel::cef
