#include "PageStrings.h"

#include "sorrel/js/Folders.h"

namespace Sorrel::Js::webext {
namespace {

// Ids of the program's string table.
constexpr uint32_t kLocaleName = 1001;
constexpr uint32_t kCompanyFolder = 1003;
constexpr uint32_t kProductFolder = 1004;

}  // namespace

std::map<uint32_t, std::string> StringTableFrom(GVariant* init) {
  std::map<uint32_t, std::string> table;
  if (!init || !g_variant_is_of_type(init, G_VARIANT_TYPE_VARDICT)) return table;
  GVariant* strings = g_variant_lookup_value(init, "strings", G_VARIANT_TYPE("a{us}"));
  if (!strings) return table;
  GVariantIter it;
  g_variant_iter_init(&it, strings);
  guint32 id = 0;
  const gchar* text = nullptr;
  while (g_variant_iter_next(&it, "{u&s}", &id, &text)) table[id] = text;
  g_variant_unref(strings);
  return table;
}

void ApplyProgramStrings(GVariant* init) {
  const auto table = StringTableFrom(init);
  FolderTexts texts;
  auto take = [&](uint32_t id, std::string& into) {
    if (auto it = table.find(id); it != table.end()) into = it->second;
  };
  take(kCompanyFolder, texts.companyFolder);
  take(kProductFolder, texts.productFolder);
  take(kLocaleName, texts.localeName);
  SetFolderTexts(std::move(texts));
}

}  // namespace Sorrel::Js::webext
