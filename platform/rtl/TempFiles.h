#pragma once
// Temporary files. Every file is created exclusively (never opening or
// following something another user planted under the chosen name) with mode
// 0600. Folders returned here end with "/", so a name can be appended as is.
#include <cstdint>
#include <functional>

#include "platform/rtl/Types.h"

namespace rtl {

// The system's folder for temporary files: $TMPDIR when it names an existing
// folder, otherwise /tmp.
String SystemTempFolder();

// The program's temporary folder: a folder of its own, "vorix-<uid>", in the
// system's folder, made with mode 0700 on first use (and again when a cleaner
// removed it). Should another user hold that name, or it be a link or not
// a folder, a fresh private folder with a random suffix is made instead; when
// even that fails the answer is empty, never the shared folder itself.
String GetTempPath();
// Points GetTempPath at `folder` (used as given, "/" appended); empty
// restores the default. For tests.
void SetTempPath(const String& folder);

// Creates an empty file named prefix + 8 upper-case hexadecimal digits + ext
// in `folder` (the program's temporary folder when empty) and returns its
// path. Names are drawn at random until one is free. EArgumentError when
// prefix or ext holds a "/"; EInOutError (with errno) when the file cannot be
// created or no private temporary folder can be made.
String CreateTempFile(const String& folder = String(), const String& prefix = String(),
                      const String& ext = ".tmp");

// The classic unique-name call: pathName + the first three characters of
// prefixString + at least four upper-case hexadecimal digits + ".tmp".
// With unique = 0 it picks a number whose name is free, creates the empty
// file and returns the number; otherwise it only forms the name from the low
// 16 bits of `unique` and returns `unique`. 0 on failure (tempFileName is
// then empty).
uint32_t GetTempFileName(const String& pathName, const String& prefixString, uint32_t unique,
                         String& tempFileName);

namespace detail {
// Replaces the random numbers behind temporary names (empty restores them),
// so tests can force collisions.
void SetTempNameSource(std::function<uint32_t()> source);
}  // namespace detail

}  // namespace rtl
