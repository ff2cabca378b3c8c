// The keyboard layout: a US keyboard's scan codes, characters and key names.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win/Input.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace {

struct KeyEntry {
  UINT vk;
  UINT scan;
  bool extended;
  const char* name;
};

// Set-1 scan codes of a PC keyboard.
constexpr KeyEntry kKeys[] = {
    {VK_ESCAPE, 0x01, false, "Esc"},     {'1', 0x02, false, "1"},           {'2', 0x03, false, "2"},
    {'3', 0x04, false, "3"},             {'4', 0x05, false, "4"},           {'5', 0x06, false, "5"},
    {'6', 0x07, false, "6"},             {'7', 0x08, false, "7"},           {'8', 0x09, false, "8"},
    {'9', 0x0A, false, "9"},             {'0', 0x0B, false, "0"},           {VK_OEM_MINUS, 0x0C, false, "-"},
    {VK_OEM_PLUS, 0x0D, false, "="},     {VK_BACK, 0x0E, false, "Backspace"}, {VK_TAB, 0x0F, false, "Tab"},
    {'Q', 0x10, false, "Q"},             {'W', 0x11, false, "W"},           {'E', 0x12, false, "E"},
    {'R', 0x13, false, "R"},             {'T', 0x14, false, "T"},           {'Y', 0x15, false, "Y"},
    {'U', 0x16, false, "U"},             {'I', 0x17, false, "I"},           {'O', 0x18, false, "O"},
    {'P', 0x19, false, "P"},             {VK_OEM_4, 0x1A, false, "["},      {VK_OEM_6, 0x1B, false, "]"},
    {VK_RETURN, 0x1C, false, "Enter"},   {VK_CONTROL, 0x1D, false, "Ctrl"}, {'A', 0x1E, false, "A"},
    {'S', 0x1F, false, "S"},             {'D', 0x20, false, "D"},           {'F', 0x21, false, "F"},
    {'G', 0x22, false, "G"},             {'H', 0x23, false, "H"},           {'J', 0x24, false, "J"},
    {'K', 0x25, false, "K"},             {'L', 0x26, false, "L"},           {VK_OEM_1, 0x27, false, ";"},
    {VK_OEM_7, 0x28, false, "'"},        {VK_OEM_3, 0x29, false, "`"},      {VK_SHIFT, 0x2A, false, "Shift"},
    {VK_OEM_5, 0x2B, false, "\\"},       {'Z', 0x2C, false, "Z"},           {'X', 0x2D, false, "X"},
    {'C', 0x2E, false, "C"},             {'V', 0x2F, false, "V"},           {'B', 0x30, false, "B"},
    {'N', 0x31, false, "N"},             {'M', 0x32, false, "M"},           {VK_OEM_COMMA, 0x33, false, ","},
    {VK_OEM_PERIOD, 0x34, false, "."},   {VK_OEM_2, 0x35, false, "/"},      {VK_RSHIFT, 0x36, false, "Right Shift"},
    {VK_MULTIPLY, 0x37, false, "Num *"}, {VK_MENU, 0x38, false, "Alt"},     {VK_SPACE, 0x39, false, "Space"},
    {VK_CAPITAL, 0x3A, false, "Caps Lock"}, {VK_F1, 0x3B, false, "F1"},     {VK_F2, 0x3C, false, "F2"},
    {VK_F3, 0x3D, false, "F3"},          {VK_F4, 0x3E, false, "F4"},        {VK_F5, 0x3F, false, "F5"},
    {VK_F6, 0x40, false, "F6"},          {VK_F7, 0x41, false, "F7"},        {VK_F8, 0x42, false, "F8"},
    {VK_F9, 0x43, false, "F9"},          {VK_F10, 0x44, false, "F10"},      {VK_NUMLOCK, 0x45, true, "Num Lock"},
    {VK_SCROLL, 0x46, false, "Scroll Lock"}, {VK_SUBTRACT, 0x4A, false, "Num -"}, {VK_ADD, 0x4E, false, "Num +"},
    {VK_F11, 0x57, false, "F11"},        {VK_F12, 0x58, false, "F12"},
    {VK_HOME, 0x47, true, "Home"},       {VK_UP, 0x48, true, "Up"},         {VK_PRIOR, 0x49, true, "Page Up"},
    {VK_LEFT, 0x4B, true, "Left"},       {VK_RIGHT, 0x4D, true, "Right"},   {VK_END, 0x4F, true, "End"},
    {VK_DOWN, 0x50, true, "Down"},       {VK_NEXT, 0x51, true, "Page Down"}, {VK_INSERT, 0x52, true, "Insert"},
    {VK_DELETE, 0x53, true, "Delete"},   {VK_DIVIDE, 0x35, true, "Num /"},  {VK_APPS, 0x5D, true, "Application"},
    {VK_LSHIFT, 0x2A, false, "Shift"},   {VK_LCONTROL, 0x1D, false, "Ctrl"}, {VK_RCONTROL, 0x1D, true, "Right Ctrl"},
    {VK_LMENU, 0x38, false, "Alt"},      {VK_RMENU, 0x38, true, "Right Alt"},
};

const KeyEntry* byVk(UINT vk) {
  for (const auto& k : kKeys)
    if (k.vk == vk) return &k;
  return nullptr;
}

const KeyEntry* byScan(UINT scan, bool extended) {
  for (const auto& k : kKeys)
    if (k.scan == scan && k.extended == extended) return &k;
  // Keys without an extended twin answer either way.
  for (const auto& k : kKeys)
    if (k.scan == scan) return &k;
  return nullptr;
}

}  // namespace

UINT MapVirtualKeyW(UINT code, UINT mapType) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC: {
      const KeyEntry* k = byVk(code);
      return k ? k->scan : 0;
    }
    case MAPVK_VSC_TO_VK: {
      const KeyEntry* k = byScan(code & 0xFF, false);
      return k ? k->vk : 0;
    }
    case MAPVK_VK_TO_CHAR: {
      if (code >= 'A' && code <= 'Z') return code;
      if (code >= '0' && code <= '9') return code;
      const KeyEntry* k = byVk(code);
      return k && std::strlen(k->name) == 1 ? static_cast<UINT>(static_cast<unsigned char>(k->name[0])) : 0;
    }
    default:
      return 0;
  }
}
UINT MapVirtualKeyA(UINT code, UINT mapType) { return MapVirtualKeyW(code, mapType); }

int GetKeyNameTextA(LONG lParam, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  const UINT scan = (static_cast<DWORD>(lParam) >> 16) & 0xFF;
  const bool extended = (static_cast<DWORD>(lParam) >> 24) & 1;
  const KeyEntry* k = byScan(scan, extended);
  if (!k) {
    buffer[0] = 0;
    return 0;
  }
  const size_t n = std::min(std::strlen(k->name), static_cast<size_t>(size - 1));
  std::memcpy(buffer, k->name, n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int GetKeyNameTextW(LONG lParam, WCHAR* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  char narrow[32];
  GetKeyNameTextA(lParam, narrow, sizeof narrow);
  const std::u16string w = detail::AnsiToWide(narrow);
  const size_t n = std::min(w.size(), static_cast<size_t>(size - 1));
  std::copy_n(w.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int16_t VkKeyScanW(WCHAR c) {
  bool shift = false;
  const UINT vk = detail::KeyForChar(c, &shift);
  if (!vk) return -1;
  return static_cast<int16_t>(vk | (shift ? 0x100 : 0));
}
int16_t VkKeyScanA(char c) { return VkKeyScanW(static_cast<unsigned char>(c)); }

}  // namespace win
