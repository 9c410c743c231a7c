#include "app/TaskListView.h"

#include <commctrl.h>

#include <algorithm>

#include "win/Control.h"

namespace ns {

namespace {

struct TColumnLayout {
  const char* Title;
  int Width;  // 0: what the others leave
};

constexpr TColumnLayout Columns[] = {
    {"Задания", 100}, {"Строка параметров запуска", 0}, {"Дата и время завершения", 115}, {"Статус", 100}};

}  // namespace

TTaskListView::TTaskListView(HWND parent, int id) {
  handle_ = CreateControl({.Parent = parent,
                           .ClassName = WC_LISTVIEWA,
                           .Style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                           .ExStyle = WS_EX_CLIENTEDGE,
                           .Id = id});
  ListView_SetExtendedListViewStyle(handle_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  int index = 0;
  for (const TColumnLayout& layout : Columns) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(layout.Title);
    column.cx = layout.Width;
    column.iSubItem = index;
    SendMessageA(handle_, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
  }
}

int TTaskListView::Count() const { return static_cast<int>(SendMessageA(handle_, LVM_GETITEMCOUNT, 0, 0)); }

int TTaskListView::Selected() const {
  return static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string TTaskListView::Text(int row, TColumn column) const {
  char buffer[4096] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(handle_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

void TTaskListView::Clear() { SendMessageA(handle_, LVM_DELETEALLITEMS, 0, 0); }

void TTaskListView::Add(const TTaskRow& row) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = Count();
  item.pszText = const_cast<char*>(row.Name.c_str());
  int index = static_cast<int>(SendMessageA(handle_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  const std::string* cells[] = {&row.LaunchParameters, &row.DateTime, &row.Status};
  for (int column = ColumnParameters; column <= ColumnStatus; ++column) {
    LVITEMA cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<char*>(cells[column - 1]->c_str());
    SendMessageA(handle_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell));
  }
}

void TTaskListView::Select(int row) {
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = row >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  SendMessageA(handle_, LVM_SETITEMSTATE, row >= 0 ? row : static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (row >= 0) SendMessageA(handle_, LVM_ENSUREVISIBLE, row, FALSE);
}

int TTaskListView::Find(const std::string& name) const {
  LVFINDINFOA find = {};
  find.flags = LVFI_STRING;
  find.psz = name.c_str();
  return static_cast<int>(SendMessageA(handle_, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void TTaskListView::FitColumns() {
  RECT client;
  GetClientRect(handle_, &client);
  int fixed = 0;
  for (const TColumnLayout& layout : Columns) fixed += layout.Width;
  SendMessageA(handle_, LVM_SETCOLUMNWIDTH, ColumnParameters, std::max<int>(client.right - fixed, 50));
}

}  // namespace ns
