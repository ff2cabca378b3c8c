#include "platform/win/Kernel.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace win {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

// --- Text helpers --------------------------------------------------------------

size_t WideLength(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

std::string NativeName(const WCHAR* fileName) { return rtl::WideToUtf8(rtl::WideString(fileName)); }
std::string NativeNameA(const char* fileName) { return rtl::AnsiToUtf8(rtl::String(fileName)); }

uint32_t ResolveCodePage(UINT cp) { return cp == CP_ACP || cp == CP_THREAD_ACP ? rtl::GetAnsiCodePage() : cp; }

locale_t Utf8Locale() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

WCHAR UpperUnit(WCHAR c) {
  // Surrogates are halves of characters, never letters of their own.
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const wint_t u = towupper_l(static_cast<wint_t>(c), Utf8Locale());
  return u <= 0xFFFF ? static_cast<WCHAR>(u) : c;
}

WORD Ctype1(char32_t c) {
  const locale_t loc = Utf8Locale();
  const auto w = static_cast<wint_t>(c);
  WORD t = 0;
  if (iswupper_l(w, loc)) t |= C1_UPPER;
  if (iswlower_l(w, loc)) t |= C1_LOWER;
  if (iswdigit_l(w, loc)) t |= C1_DIGIT;
  if (iswspace_l(w, loc)) t |= C1_SPACE;
  if (iswpunct_l(w, loc)) t |= C1_PUNCT;
  if (iswcntrl_l(w, loc)) t |= C1_CNTRL;
  if (iswblank_l(w, loc)) t |= C1_BLANK;
  if (iswxdigit_l(w, loc)) t |= C1_XDIGIT;
  if (iswalpha_l(w, loc)) t |= C1_ALPHA;
  if (t || c == 0 || iswprint_l(w, loc)) t |= C1_DEFINED;
  return t;
}

// --- Modules -------------------------------------------------------------------

struct Module {
  rtl::String fileName;
  std::vector<ModuleProc> procs;
  const rtl::ResourceTable* resources = nullptr;
  int loads = 0;
};

struct ModuleTable {
  std::mutex mutex;
  std::vector<std::unique_ptr<Module>> modules;  // handle = index + 1
  const rtl::ResourceTable* programResources = nullptr;
};

ModuleTable& Modules() {
  static ModuleTable table;
  return table;
}

// Modules are known by their last path part, whichever delimiter the name
// was written with.
rtl::String ModuleKey(rtl::String name) {
  if (const size_t cut = name.find_last_of("/\\"); cut != rtl::String::npos) name.erase(0, cut + 1);
  name = rtl::FoldFileNameCase(name);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) name.resize(name.size() - 4);
  return name;
}

// Caller holds the lock. Null for 0 (the program) and unknown handles.
Module* ModuleOf(ModuleTable& t, HMODULE h) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v == 0 || v > t.modules.size()) return nullptr;
  return t.modules[v - 1].get();
}

HMODULE LoadByName(const rtl::String& name) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  const rtl::String key = ModuleKey(name);
  for (size_t i = 0; i < t.modules.size(); ++i) {
    Module* m = t.modules[i].get();
    if (m && ModuleKey(m->fileName) == key) {
      ++m->loads;
      return reinterpret_cast<HMODULE>(i + 1);
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

rtl::String ModulePath(HMODULE module, bool& ok) {
  ok = true;
  if (!module) return rtl::ProgramFileName();
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  if (Module* m = ModuleOf(t, module)) return m->fileName;
  ok = false;
  return {};
}

rtl::String ResourceKey(const char* p) {
  if (IS_INTRESOURCE(p)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(p));
  return p;
}

// --- Process-wide settings -------------------------------------------------------

std::atomic<LCID> g_threadLocale{0x0409};
std::atomic<HKL> g_keyboardLayout{0x04090409};

struct CommandLine {
  std::mutex mutex;
  bool set = false;
  rtl::WideString text;
};

CommandLine& TheCommandLine() {
  static CommandLine c;
  return c;
}

rtl::WideString QuotedArgument(const std::string& arg) {
  rtl::WideString w = rtl::Utf8ToWide(arg);
  const bool quote = w.empty() || w.find_first_of(u" \t\"") != rtl::WideString::npos;
  if (!quote) return w;
  rtl::WideString q = u"\"";
  for (char16_t c : w) {
    if (c == u'"') q += u'\\';
    q += c;
  }
  return q + u"\"";
}

rtl::WideString ReadProcessCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  rtl::WideString out;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (!out.empty()) out += u' ';
    out += QuotedArgument(all.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// LCIDs of the languages whose code pages this system converts.
struct LocaleCodePage {
  LCID locale;
  UINT codePage;
};
constexpr LocaleCodePage kLocaleCodePages[] = {
    {0x0409, 1252}, {0x0809, 1252}, {0x0407, 1252}, {0x040C, 1252}, {0x0410, 1252}, {0x0C0A, 1252},
    {0x0413, 1252}, {0x0416, 1252}, {0x0405, 1250}, {0x0415, 1250}, {0x040E, 1250}, {0x0419, 1251},
    {0x0422, 1251}, {0x0402, 1251}, {0x0408, 1253}, {0x041F, 1254}, {0x040D, 1255}, {0x0401, 1256},
    {0x0425, 1257}, {0x0426, 1257}, {0x0427, 1257}, {0x042A, 1258}, {0x041E, 874},  {0x0411, 932},
    {0x0804, 936},  {0x0412, 949},  {0x0404, 950},  {0x0C04, 950},
};

}  // namespace

// --- Last error ------------------------------------------------------------------

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EISDIR: case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: case ENAMETOOLONG: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

rtl::String SysErrorText(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS: return "The operation completed successfully";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified";
    case ERROR_ACCESS_DENIED: return "Access is denied";
    case ERROR_INVALID_HANDLE: return "The handle is invalid";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough storage is available to process this command";
    case ERROR_FILE_EXISTS: return "The file exists";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect";
    case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small";
    case ERROR_MOD_NOT_FOUND: return "The specified module could not be found";
    case ERROR_PROC_NOT_FOUND: return "The specified procedure could not be found";
    case ERROR_RESOURCE_DATA_NOT_FOUND: return "The specified image file did not contain a resource section";
    case ERROR_RESOURCE_TYPE_NOT_FOUND: return "The specified resource type cannot be found in the image file";
    case ERROR_RESOURCE_NAME_NOT_FOUND: return "The specified resource name cannot be found in the image file";
    case ERROR_NO_UNICODE_TRANSLATION:
      return "No mapping for the Unicode character exists in the target multi-byte code page";
    default: return "System error " + std::to_string(error);
  }
}

// --- Version -----------------------------------------------------------------------

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

// --- Files -------------------------------------------------------------------------

namespace {

HANDLE OpenNative(const std::string& name, DWORD access, DWORD disposition) {
  int flags = O_CLOEXEC;
  const bool r = access & GENERIC_READ, w = access & GENERIC_WRITE;
  if (r && w) flags |= O_RDWR;
  else if (w) flags |= O_WRONLY;
  else if (r) flags |= O_RDONLY;
  else flags |= O_PATH;  // neither: a handle for queries
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if ((flags & O_PATH) && (flags & (O_CREAT | O_TRUNC))) {
    // Creating needs a real open; the handle still carries no access.
    flags = (flags & ~O_PATH) | O_RDONLY;
  }
  if (name.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  struct stat st{};
  if (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool existed = stat(name.c_str(), &st) == 0;
  const int fd = open(name.c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  // As the namesake reports: an existing file that was opened "always".
  SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                        : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

DWORD AttributesOf(const std::string& name) {
  const int32_t a = name.empty() ? -1 : rtl::FileGetAttr(name);
  if (a < 0) {
    SetLastError(ErrorFromErrno(errno ? errno : ENOENT));
    return INVALID_FILE_ATTRIBUTES;
  }
  return static_cast<DWORD>(a);
}

}  // namespace

HANDLE CreateFileW(const WCHAR* fileName, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                   HANDLE) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenNative(NativeName(fileName), access, disposition);
}

HANDLE CreateFileA(const char* fileName, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                   HANDLE) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenNative(NativeNameA(fileName), access, disposition);
}

int FileHandleDescriptor(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }

BOOL CloseHandle(HANDLE handle) {
  const int fd = FileHandleDescriptor(handle);
  if (fd < 0 || close(fd) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesW(const WCHAR* fileName) {
  errno = 0;
  return AttributesOf(fileName ? NativeName(fileName) : std::string());
}

DWORD GetFileAttributesA(const char* fileName) {
  errno = 0;
  return AttributesOf(fileName ? NativeNameA(fileName) : std::string());
}

// --- Modules -------------------------------------------------------------------------

HMODULE RegisterModule(const rtl::String& fileName, std::vector<ModuleProc> procs,
                       const rtl::ResourceTable* resources) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  auto m = std::make_unique<Module>();
  m->fileName = fileName;
  m->procs = std::move(procs);
  m->resources = resources;
  t.modules.push_back(std::move(m));
  return reinterpret_cast<HMODULE>(t.modules.size());
}

void UnregisterModule(HMODULE module) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  const uintptr_t v = reinterpret_cast<uintptr_t>(module);
  if (v != 0 && v <= t.modules.size()) t.modules[v - 1].reset();
}

void SetProgramResources(const rtl::ResourceTable* resources) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  t.programResources = resources;
}

HMODULE LoadLibraryW(const WCHAR* fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadByName(rtl::WideToUtf8(rtl::WideString(fileName)));
}

HMODULE LoadLibraryA(const char* fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadByName(rtl::AnsiToUtf8(fileName));
}

BOOL FreeLibrary(HMODULE module) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  Module* m = ModuleOf(t, module);
  if (!m || m->loads == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --m->loads;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  ModuleTable& t = Modules();
  std::lock_guard lock(t.mutex);
  Module* m = ModuleOf(t, module);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (procName && !IS_INTRESOURCE(procName))
    for (const ModuleProc& p : m->procs)
      if (std::strcmp(p.Name, procName) == 0) return p.Address;
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

namespace {
// Copies a module's path as the two calls answer it: the length without the
// terminator when it fits, else the cut text without one and the size.
template <class Ch, class Str>
DWORD CopyModulePath(const Str& text, Ch* buffer, DWORD size) {
  if (text.size() < size) {
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text.size());
  }
  std::copy_n(text.begin(), size, buffer);
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}
}  // namespace

DWORD GetModuleFileNameW(HMODULE module, WCHAR* buffer, DWORD size) {
  bool ok;
  const rtl::String path = ModulePath(module, ok);
  if (!ok) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return CopyModulePath(rtl::Utf8ToWide(path), buffer, size);
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  bool ok;
  const rtl::String path = ModulePath(module, ok);
  if (!ok) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return CopyModulePath(rtl::Utf8ToAnsi(path), buffer, size);
}

// --- Resources ---------------------------------------------------------------------

HRSRC FindResourceA(HMODULE module, const char* name, const char* type) {
  const rtl::ResourceTable* table = nullptr;
  {
    ModuleTable& t = Modules();
    std::lock_guard lock(t.mutex);
    if (!module) table = t.programResources;
    else if (Module* m = ModuleOf(t, module)) table = m->resources;
    else {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  if (!table || !name || !type) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  const rtl::String n = ResourceKey(name), ty = ResourceKey(type);
  bool typeSeen = false;
  for (size_t i = 0; i < table->Count; ++i) {
    const rtl::ResourceEntry& e = table->Entries[i];
    if (!rtl::SameText(e.Type, ty)) continue;
    typeSeen = true;
    if (rtl::SameText(e.Name, n)) return reinterpret_cast<HRSRC>(const_cast<rtl::ResourceEntry*>(&e));
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<unsigned char*>(reinterpret_cast<const rtl::ResourceEntry*>(resource)->Data);
}

const void* LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  return resource ? static_cast<DWORD>(reinterpret_cast<const rtl::ResourceEntry*>(resource)->Size) : 0;
}

// --- Code pages, locales, keyboard ---------------------------------------------------

UINT GetACP() { return rtl::GetAnsiCodePage(); }

int MultiByteToWideChar(UINT codePage, DWORD, const char* text, int count, WCHAR* out, int outSize) {
  if (!text || outSize < 0 || (outSize > 0 && !out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = count < 0 ? std::strlen(text) + 1 : static_cast<size_t>(count);
  const uint32_t cp = ResolveCodePage(codePage);
  if (!rtl::IsCodePageSupported(cp)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const rtl::WideString w = rtl::CodePageToWide(cp, std::string_view(text, n));
  if (outSize == 0) return static_cast<int>(w.size());
  if (w.size() > static_cast<size_t>(outSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(w.begin(), w.end(), out);
  return static_cast<int>(w.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* text, int count, char* out, int outSize, const char*,
                        BOOL* usedDefaultChar) {
  if (!text || outSize < 0 || (outSize > 0 && !out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = count < 0 ? WideLength(text) + 1 : static_cast<size_t>(count);
  const uint32_t cp = ResolveCodePage(codePage);
  if (!rtl::IsCodePageSupported(cp)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const rtl::WideString w(text, n);
  const std::string a = rtl::WideToCodePage(cp, w);
  if (usedDefaultChar) {
    // The converter substitutes '?' silently; a character that does not come
    // back as itself had no equivalent.
    *usedDefaultChar = cp != CP_UTF8 && rtl::CodePageToWide(cp, a) != w;
  }
  if (outSize == 0) return static_cast<int>(a.size());
  if (a.size() > static_cast<size_t>(outSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(a.begin(), a.end(), out);
  return static_cast<int>(a.size());
}

LCID GetThreadLocale() { return g_threadLocale.load(); }

BOOL SetThreadLocale(LCID locale) {
  g_threadLocale.store(locale);
  return TRUE;
}

int GetLocaleInfoA(LCID locale, DWORD type, char* buffer, int size) {
  if (locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT) locale = GetThreadLocale();
  if (type != LOCALE_IDEFAULTANSICODEPAGE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (const LocaleCodePage& l : kLocaleCodePages) {
    if (l.locale != (locale & 0xFFFF)) continue;
    const std::string text = std::to_string(l.codePage);
    const int need = static_cast<int>(text.size()) + 1;
    if (size == 0) return need;
    if (!buffer || size < need) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, text.c_str(), static_cast<size_t>(need));
    return need;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

HKL GetKeyboardLayout(DWORD) { return g_keyboardLayout.load(); }

HKL ActivateKeyboardLayout(HKL layout, UINT) { return g_keyboardLayout.exchange(layout); }

const WCHAR* GetCommandLineW() {
  CommandLine& c = TheCommandLine();
  std::lock_guard lock(c.mutex);
  if (!c.set) {
    c.text = ReadProcessCommandLine();
    c.set = true;
  }
  return c.text.c_str();
}

void SetCommandLineW(const rtl::WideString& commandLine) {
  CommandLine& c = TheCommandLine();
  std::lock_guard lock(c.mutex);
  c.text = commandLine;
  c.set = true;
}

// --- Character case and classes -------------------------------------------------------

WCHAR* CharUpperW(WCHAR* textOrUnit) {
  if (IS_INTRESOURCE(textOrUnit)) {
    const auto c = static_cast<WCHAR>(reinterpret_cast<uintptr_t>(textOrUnit));
    return reinterpret_cast<WCHAR*>(uintptr_t{UpperUnit(c)});
  }
  for (WCHAR* p = textOrUnit; *p; ++p) *p = UpperUnit(*p);
  return textOrUnit;
}

DWORD CharUpperBuffW(WCHAR* text, DWORD count) {
  if (!text) return 0;
  for (DWORD i = 0; i < count; ++i) text[i] = UpperUnit(text[i]);
  return count;
}

namespace {

// Upper-cases ANSI bytes through their characters; a character whose upper
// case takes a different number of bytes keeps its own bytes, so the text
// never changes length.
void UpperAnsiInPlace(char* text, size_t n) {
  const uint32_t cp = rtl::GetAnsiCodePage();
  size_t i = 0;
  while (i < n) {
    // One character: the shortest prefix that decodes to one unit (or a pair).
    size_t len = 1;
    rtl::WideString w;
    for (; len <= 4 && i + len <= n; ++len) {
      w = rtl::CodePageToWide(cp, std::string_view(text + i, len));
      if (!w.empty() && w[0] != 0xFFFD) break;
    }
    if (len > 4 || i + len > n) len = 1;
    if (w.size() == 1) {
      const std::string u = rtl::WideToCodePage(cp, rtl::WideString(1, UpperUnit(w[0])));
      if (u.size() == len) std::memcpy(text + i, u.data(), len);
    }
    i += len;
  }
}

}  // namespace

char* CharUpperA(char* textOrChar) {
  if (IS_INTRESOURCE(textOrChar)) {
    char c = static_cast<char>(reinterpret_cast<uintptr_t>(textOrChar) & 0xFF);
    UpperAnsiInPlace(&c, 1);
    return reinterpret_cast<char*>(uintptr_t{static_cast<unsigned char>(c)});
  }
  UpperAnsiInPlace(textOrChar, std::strlen(textOrChar));
  return textOrChar;
}

DWORD CharUpperBuffA(char* text, DWORD count) {
  if (!text) return 0;
  UpperAnsiInPlace(text, count);
  return count;
}

BOOL GetStringTypeExW(LCID, DWORD infoType, const WCHAR* text, int count, WORD* types) {
  if (infoType != CT_CTYPE1 || !text || !types || count == 0 || count < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t n = count < 0 ? WideLength(text) + 1 : static_cast<size_t>(count);
  for (size_t i = 0; i < n; ++i) types[i] = Ctype1(text[i]);
  return TRUE;
}

BOOL GetStringTypeExA(LCID, DWORD infoType, const char* text, int count, WORD* types) {
  if (infoType != CT_CTYPE1 || !text || !types || count == 0 || count < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t n = count < 0 ? std::strlen(text) + 1 : static_cast<size_t>(count);
  const uint32_t cp = rtl::GetAnsiCodePage();
  size_t i = 0;
  while (i < n) {
    // Every byte of a character gets the character's class.
    size_t len = 1;
    rtl::WideString w;
    for (; len <= 4 && i + len <= n; ++len) {
      w = rtl::CodePageToWide(cp, std::string_view(text + i, len));
      if (!w.empty() && w[0] != 0xFFFD) break;
    }
    if (len > 4 || i + len > n) len = 1;
    const WORD t = w.empty() ? 0 : Ctype1(w[0]);
    for (size_t k = 0; k < len; ++k) types[i + k] = t;
    i += len;
  }
  return TRUE;
}

}  // namespace win
