#include "PageStrings.h"

#include "sorrel/js/Folders.h"

namespace Sorrel::Js::webext {

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

void ApplyProgramStrings(GVariant* init) { SetFolderTexts(FolderTextsFrom(StringTableFrom(init))); }

}  // namespace Sorrel::Js::webext
