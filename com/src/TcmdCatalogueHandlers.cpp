#include "sorrel/com/TcmdCatalogueHandlers.h"

#include <array>
#include <utility>

namespace Sorrel::Com {
namespace {

namespace cat = com::vantor::catalogue;

class NoUnitFactory : public ComExecutorFactory {
 public:
  std::shared_ptr<ComExecutor> Create(const ComInfo&) override { return nullptr; }
};

template <cat::Mnemonic N>
CatalogueHandler EntryOf() {
  static_assert(com::vantor::kClassFitsRow<N>, "a row with a conversation needs its own class, and only such a row");
  using Handler = HandlerOf<N>;
  return {&cat::Row(N),
          [](ComExecutorTable& table) { return std::make_shared<Handler>(table); },
          [](const lm::json::Value& args) -> std::shared_ptr<com::vantor::Tcmd> {
            return Handler(NoUnits()).MakeCommand(args);
          }};
}

template <std::size_t... I>
std::array<CatalogueHandler, sizeof...(I)> AllEntries(std::index_sequence<I...>) {
  return {EntryOf<cat::Mnemonic(cat::kCatalogue[I].name)>()...};
}

}  // namespace

ComExecutorTable& NoUnits() {
  static ComExecutorTable* none = new ComExecutorTable(std::make_unique<NoUnitFactory>());
  return *none;
}

std::span<const CatalogueHandler> CatalogueHandlers() {
  static const auto entries = AllEntries(std::make_index_sequence<cat::kCatalogue.size()>());
  return entries;
}

const CatalogueHandler* FindCatalogueHandler(std::string_view mnemonic) {
  for (const CatalogueHandler& h : CatalogueHandlers()) {
    if (h.row->name == mnemonic) return &h;
  }
  return nullptr;
}

}  // namespace Sorrel::Com
