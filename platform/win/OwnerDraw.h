#pragma once
// The records of owner drawing (WM_DRAWITEM, WM_MEASUREITEM, WM_DELETEITEM,
// WM_COMPAREITEM), of common-control notifications (WM_NOTIFY) and the
// combo box's description of its parts.
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"
#include "platform/win/Types.h"

namespace win {

struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem{};
  HDC hDC{};
  RECT rcItem;
  ULONG_PTR itemData = 0;
};

struct MEASUREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  ULONG_PTR itemData = 0;
};

struct DELETEITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  HWND hwndItem{};
  ULONG_PTR itemData = 0;
};

struct COMPAREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  HWND hwndItem{};
  UINT itemID1 = 0;
  ULONG_PTR itemData1 = 0;
  UINT itemID2 = 0;
  ULONG_PTR itemData2 = 0;
  DWORD dwLocaleId = 0;
};

struct NMHDR {
  HWND hwndFrom{};
  UINT_PTR idFrom = 0;
  UINT code = 0;
};

struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage = 0;
  HDC hdc{};
  RECT rc;
  DWORD_PTR dwItemSpec = 0;
  UINT uItemState = 0;
  LPARAM lItemlParam = 0;
};

// Custom draw stages and answers (NM_CUSTOMDRAW).
inline constexpr DWORD CDDS_PREPAINT = 0x00000001, CDDS_POSTPAINT = 0x00000002, CDDS_PREERASE = 0x00000003,
                       CDDS_POSTERASE = 0x00000004, CDDS_ITEM = 0x00010000,
                       CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT,
                       CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT, CDDS_SUBITEM = 0x00020000;
inline constexpr LRESULT CDRF_DODEFAULT = 0x00, CDRF_NEWFONT = 0x02, CDRF_SKIPDEFAULT = 0x04,
                         CDRF_NOTIFYPOSTPAINT = 0x10, CDRF_NOTIFYITEMDRAW = 0x20,
                         CDRF_NOTIFYSUBITEMDRAW = 0x20, CDRF_NOTIFYPOSTERASE = 0x40;

// COMBOBOXINFO.stateButton.
inline constexpr DWORD STATE_SYSTEM_PRESSED = 0x00000008, STATE_SYSTEM_INVISIBLE = 0x00008000;

struct COMBOBOXINFO {
  DWORD cbSize = 0;
  RECT rcItem;
  RECT rcButton;
  DWORD stateButton = 0;
  HWND hwndCombo{};
  HWND hwndItem{};
  HWND hwndList{};
};

inline constexpr UINT CB_GETCOMBOBOXINFO = 0x0164;

// Asks the combo box itself, so a subclassed or re-registered class answers
// for its own parts. cbSize must be filled in by the caller.
inline BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info) {
  if (!info || info->cbSize != sizeof(COMBOBOXINFO)) return FALSE;
  return SendMessageA(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(info)) != 0 ? TRUE : FALSE;
}

}  // namespace win
