#pragma once
// Pictures, cursors and other data compiled into a library. Each library that
// carries data has one table, generated at build time from the files of its
// res/ folder (cmake: vorix_embed_resources); a resource is named by its file's
// base name and looked up ignoring case, as resource names always were.

#include <cstddef>
#include <string_view>

#include "platform/rtl/Exceptions.h"

namespace rtl {

struct ResourceEntry {
  const char* Name;            // base name of the file, e.g. "W95_THUMB"
  const char* Type;            // extension in upper case without the dot, e.g. "BMP", "PNG", "CUR"
  const unsigned char* Data;
  std::size_t Size;
};

struct ResourceTable {
  const ResourceEntry* Entries;
  std::size_t Count;
};

class EResNotFound : public Exception { using Exception::Exception; };

// nullptr when the table has no such name.
const ResourceEntry* FindResource(const ResourceTable& table, std::string_view name);
// Raises EResNotFound ("Resource NAME not found") when missing.
const ResourceEntry& GetResource(const ResourceTable& table, std::string_view name);

}  // namespace rtl
