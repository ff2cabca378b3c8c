#pragma once
// The registry: a tree of keys holding typed values, reached through
// TRegistry as the class library offers it.
//
// Each root key lives in one file: the current user's in
// $XDG_CONFIG_HOME/vorix (~/.config/vorix by default), every other root's in
// a folder that SetRegistryFolder can move (the same folder unless told
// otherwise). The files are text: one "[path]" line per key, then one line
// per value, "name=kind:data", strings and names written as UTF-8 with
// "%XX" escapes for the characters that would break the line, other data as
// hexadecimal. Files are written whole through a temporary file and a
// rename, with mode 0600 (flushed to disk as LazyWrite says). Every change
// takes a lock on "<file>.lock", reads the file again and writes it back
// before the call returns, so two processes changing the same root at once
// lose none of each other's keys, and every read sees the file as it stands.
//
// Key paths use "\" between names and are matched ignoring case; a key keeps
// the spelling it was created with. A path that starts with "\" is taken
// from the root, any other from the open key (or the root when none is
// open). Empty names between backslashes are ignored.
//
// One key of HKEY_CURRENT_USER always exists, the shell-folder key
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders": it
// answers "Personal", "My Video" and the other shell-folder values not
// stored in it from the XDG user folders.
#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"

namespace rtl {

class TStrings;

using HKEY = uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Value kinds as stored.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

// Access rights; a key opened without KEY_SET_VALUE refuses writes.
inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_NOTIFY = 0x0010;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int32_t DataSize = 0;
};

// Where the file of `root` is kept; an empty folder restores the default.
// For tests and for the program's start-up, not while keys are in use.
void SetRegistryFolder(HKEY root, const String& folder);
String RegistryFolder(HKEY root);
String RegistryFileName(HKEY root);

class TRegistry {
public:
  TRegistry();
  explicit TRegistry(uint32_t access);
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  ~TRegistry();

  HKEY RootKey() const { return rootKey_; }
  // Closes the open key.
  void SetRootKey(HKEY root);
  uint32_t Access() const { return access_; }
  void SetAccess(uint32_t access) { access_ = access; }
  // Every change is in the file when the call returns, where every other
  // reader sees it. With LazyWrite off the file is also flushed to disk
  // before the call returns, so not even a crash of the system loses it.
  bool LazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool v) { lazyWrite_ = v; }

  // Non-zero while a key is open.
  HKEY CurrentKey() const { return open_ ? rootKey_ : 0; }
  // The open key's path from the root, names joined with "\", without a
  // leading or trailing "\"; "" for the root itself.
  String CurrentPath() const;

  // Opens `key`, creating it (and the keys above it) when `canCreate` is set
  // and the access allows it. False when it does not exist or cannot be
  // made; the key open before stays open then.
  bool OpenKey(const String& key, bool canCreate);
  // Opens an existing key for reading; sets Access() to KEY_READ.
  bool OpenKeyReadOnly(const String& key);
  // Creates `key` without opening it; raises ERegistryException
  // ("Failed to create key <key>") when it cannot.
  bool CreateKey(const String& key);
  // Deletes `key` with everything below it.
  bool DeleteKey(const String& key);
  bool KeyExists(const String& key) const;
  void CloseKey();

  bool ValueExists(const String& name) const;
  bool DeleteValue(const String& name);
  bool HasSubKeys() const;
  // Sub-key names in alphabetical order ignoring case, value names in the
  // order they were made. Each clears `strings` first.
  void GetKeyNames(TStrings& strings) const;
  void GetValueNames(TStrings& strings) const;

  // Size in bytes: a string counts its terminating zero, as the byte-string
  // interface of the platform reports it. -1 (and rdUnknown) for a missing
  // value.
  bool GetDataInfo(const String& name, TRegDataInfo& info) const;
  int32_t GetDataSize(const String& name) const;
  TRegDataType GetDataType(const String& name) const;

  // Readers raise ERegistryException "Invalid data type for '<name>'" for a
  // value of another kind. A missing value reads as "" (ReadString) or 0
  // bytes (ReadBinaryData); ReadInteger, ReadBool and ReadFloat raise
  // "Failed to get data for '<name>'".
  String ReadString(const String& name) const;  // REG_SZ or REG_EXPAND_SZ, cut at a zero
  int32_t ReadInteger(const String& name) const;  // REG_DWORD
  bool ReadBool(const String& name) const;        // REG_DWORD, non-zero is true
  double ReadFloat(const String& name) const;     // REG_BINARY of 8 bytes
  // REG_BINARY or a kind without meaning (REG_NONE, ...) that fits the buffer.
  int32_t ReadBinaryData(const String& name, void* buffer, int32_t bufSize) const;

  // Writers raise ERegistryException "Failed to set data for '<name>'" when
  // no key can take the value (read-only access, a deleted key, a file that
  // cannot be written).
  void WriteString(const String& name, const String& value);
  void WriteExpandString(const String& name, const String& value);
  void WriteInteger(const String& name, int32_t value);
  void WriteBool(const String& name, bool value);
  void WriteFloat(const String& name, double value);
  void WriteBinaryData(const String& name, const void* buffer, int32_t bufSize);

  // The stored bytes and kind, for callers that handle kinds themselves. A
  // string's bytes come without a terminating zero, a REG_DWORD as four
  // little-endian bytes. ReadRawValue answers false for a missing value;
  // WriteRawValue raises as the writers do.
  bool ReadRawValue(const String& name, uint32_t& kind, std::vector<uint8_t>& data) const;
  void WriteRawValue(const String& name, uint32_t kind, const void* data, int32_t size);

private:
  std::vector<String> Resolve(const String& key) const;
  bool Lookup(const String& name, uint32_t& kind, std::string& data) const;
  void SetValue(const String& name, uint32_t kind, std::string data);

  HKEY rootKey_ = HKEY_CURRENT_USER;
  uint32_t access_ = KEY_ALL_ACCESS;
  bool lazyWrite_ = true;
  bool open_ = false;
  uint32_t openAccess_ = 0;
  std::vector<String> path_;
};

}  // namespace rtl
