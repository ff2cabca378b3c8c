#pragma once
// File-name routines that only look at the text: splitting a path into its
// folder, name and extension, trailing delimiters, making a name absolute,
// and the two wildcard dialects (the directory search's and the file-mask
// matcher's). The delimiter is '/'; there are no drive letters.
//
// Positions are 1-based where the class library's routines take them.
// Names are compared ignoring case by folding the letters of UTF-8 text
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic); bytes that are not
// valid UTF-8 fold as ASCII.
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

namespace rtl {

inline constexpr char PathDelim = '/';
inline constexpr char PathSep = ':';

// A malformed file mask ("[a-" with no closing bracket).
class EMaskException : public Exception { using Exception::Exception; };

// True when the character at 1-based `index` is the path delimiter.
bool IsPathDelimiter(const String& s, int index);
// Appends '/' unless the text already ends with one ("" gives "/").
String IncludeTrailingPathDelimiter(const String& s);
String IncludeTrailingBackslash(const String& s);
// Drops one trailing '/' ("/" gives "").
String ExcludeTrailingPathDelimiter(const String& s);
String ExcludeTrailingBackslash(const String& s);

// "/a/b/c.txt": path "/a/b/", dir "/a/b", name "c.txt", extension ".txt".
String ExtractFilePath(const String& fileName);
// The folder without its trailing delimiter, except that the root stays "/".
String ExtractFileDir(const String& fileName);
String ExtractFileName(const String& fileName);
// From the last '.' of the name part on; "" when the name has no '.'.
String ExtractFileExt(const String& fileName);
// Replaces the extension (everything from the name's last '.'), or appends.
String ChangeFileExt(const String& fileName, const String& extension);
// Always empty: POSIX paths have no drive part.
String ExtractFileDrive(const String& fileName);

// The absolute form of `fileName` taken relative to the absolute folder
// `baseDir`: "." and ".." parts resolved and repeated delimiters merged,
// without touching the file system. A trailing delimiter is kept.
// An empty name gives "".
String ExpandFileNameFrom(const String& fileName, const String& baseDir);

// Name comparison ignoring case, as file names are compared where names
// are not case-sensitive.
String FoldFileNameCase(const String& name);
bool SameFileNameIgnoringCase(const String& a, const String& b);

// The directory search's wildcards: '*' matches any run; '?' one character
// other than '.', or nothing before a '.' or the end; "*." matches names
// without an extension; "name.*" also matches "name"; "*.*" matches every
// name. Letters match ignoring case.
bool MatchesFileSpec(const String& name, const String& spec);

// The file-mask matcher: literal characters (ignoring case), '?' exactly
// one character, '*' any run, "[abc]" / "[a-z]" sets and "[!...]" negated
// sets. '.' is a plain character, so "*.*" needs a dot. Raises
// EMaskException for a set without its closing bracket.
bool MatchesMask(const String& fileName, const String& mask);

}  // namespace rtl
