#include "platform/rtl/Resources.h"

#include <cctype>

namespace rtl {

namespace {
bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

const ResourceEntry* FindResource(const ResourceTable& table, std::string_view name) {
  for (std::size_t i = 0; i < table.Count; ++i)
    if (SameTextAscii(table.Entries[i].Name, name)) return &table.Entries[i];
  return nullptr;
}

const ResourceEntry& GetResource(const ResourceTable& table, std::string_view name) {
  if (const ResourceEntry* e = FindResource(table, name)) return *e;
  throw EResNotFound("Resource " + std::string(name) + " not found");
}

}  // namespace rtl
