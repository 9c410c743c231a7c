// The edit field with embedded buttons on a real window: its text lives in
// the Edit child and is reached through the field, its buttons report their
// clicks to the parent, and Tab stops at the text only.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "HostWindow.h"
#include "win/Control.h"
#include "controls/ButtonEdit.h"

namespace ns {
namespace {

using test::TCommand;

constexpr int FieldId = 7;

std::string Text(HWND window) {
  char buffer[256] = {};
  SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

// The commands that carry one of `codes`; the edit's other notifications
// (EN_UPDATE, EN_SETFOCUS...) pass through as well but are no concern here.
std::vector<TCommand> Only(const std::vector<TCommand>& commands, std::initializer_list<WORD> codes) {
  std::vector<TCommand> kept;
  for (const TCommand& command : commands) {
    if (std::find(codes.begin(), codes.end(), command.code) != codes.end()) kept.push_back(command);
  }
  return kept;
}

bool AllFrom(const std::vector<TCommand>& commands, HWND field) {
  return std::all_of(commands.begin(), commands.end(),
                     [&](const TCommand& command) { return command.id == FieldId && command.control == field; });
}

class ButtonEditTest : public testing::Test {
 protected:
  void SetUp() override {
    glyph_ = LoadIcon(nullptr, IDI_APPLICATION);
    field_ = CreateButtonEdit(host_.Handle(), FieldId, RECT{10, 40, 310, 61},
                              {EllipsisButton, TEditButton{"Открыть", glyph_}});
    SendMessageA(field_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    test::PumpMessages();
    host_.TakeCommands();
  }

  test::THostWindow host_;
  HICON glyph_ = nullptr;
  HWND field_ = nullptr;
};

TEST_F(ButtonEditTest, TextLivesInTheEditChildAndIsReachedThroughTheField) {
  HWND edit = ButtonEditField(field_);
  char className[16] = {};
  GetClassNameA(edit, className, sizeof className);
  ASSERT_STRCASEEQ(className, "Edit");

  SendMessageA(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("D:\\Архив\\Бухгалтерия"));
  EXPECT_EQ(Text(edit), "D:\\Архив\\Бухгалтерия");
  EXPECT_EQ(Text(field_), "D:\\Архив\\Бухгалтерия");
  EXPECT_EQ(SendMessageA(field_, WM_GETTEXTLENGTH, 0, 0), 20);
  // Every change of the text reaches the parent as the field's own EN_CHANGE.
  std::vector<TCommand> setCommands = host_.TakeCommands();
  EXPECT_TRUE(AllFrom(setCommands, field_));
  EXPECT_EQ(Only(setCommands, {EN_CHANGE}), (std::vector<TCommand>{{FieldId, EN_CHANGE, field_}}));

  // EM_ messages sent to the field work on the text.
  SendMessageA(field_, EM_SETSEL, 3, 8);
  SendMessageA(field_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("Копии"));
  EXPECT_EQ(Text(field_), "D:\\Копии\\Бухгалтерия");
  DWORD start = 0, end = 0;
  SendMessageA(field_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(end, 8u);

  // A limit set through the field holds for typed characters.
  SendMessageA(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendMessageA(field_, EM_SETLIMITTEXT, 3, 0);
  host_.TakeCommands();
  for (char typed : std::string("1234")) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(typed), 1);
  EXPECT_EQ(Text(field_), "123");
  std::vector<TCommand> typedCommands = host_.TakeCommands();
  EXPECT_TRUE(AllFrom(typedCommands, field_));
  EXPECT_GE(Only(typedCommands, {EN_CHANGE}).size(), 3u);
  EXPECT_EQ(Only(typedCommands, {EN_MAXTEXT}).size(), 1u);
}

TEST_F(ButtonEditTest, EachButtonReportsItsOwnClickAndLeavesTheFocusWhereItWas) {
  ASSERT_NE(ButtonEditButton(field_, 1), nullptr);
  EXPECT_EQ(ButtonEditButton(field_, 2), nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(ButtonEditButton(field_, 1), BM_GETIMAGE, IMAGE_ICON, 0)), glyph_);
  EXPECT_EQ(Text(ButtonEditButton(field_, 0)), "...");
  EXPECT_EQ(Text(ButtonEditButton(field_, 1)), "Открыть");

  SetFocus(ButtonEditField(field_));
  SendMessageA(ButtonEditButton(field_, 1), BM_CLICK, 0, 0);
  SendMessageA(ButtonEditButton(field_, 0), BM_CLICK, 0, 0);
  EXPECT_EQ(Only(host_.TakeCommands(), {ButtonEditClick(0), ButtonEditClick(1)}),
            (std::vector<TCommand>{{FieldId, ButtonEditClick(1), field_}, {FieldId, ButtonEditClick(0), field_}}));
  EXPECT_EQ(GetFocus(), ButtonEditField(field_));

  // A user's click with the mouse: a standard button would take the focus.
  test::ClickAt(ButtonEditButton(field_, 0));
  ASSERT_TRUE(test::PumpUntil([&] { return !Only(host_.Commands(), {ButtonEditClick(0)}).empty(); }));
  EXPECT_EQ(Only(host_.TakeCommands(), {ButtonEditClick(0), ButtonEditClick(1)}),
            (std::vector<TCommand>{{FieldId, ButtonEditClick(0), field_}}));
  EXPECT_EQ(GetFocus(), ButtonEditField(field_));
}

TEST_F(ButtonEditTest, ButtonsSitAtTheRightEdgeAndTabStopsAtTheTextOnly) {
  HWND before = CreateControl(
      {.Parent = host_.Handle(), .ClassName = "EDIT", .Style = WS_TABSTOP, .Bounds = Bounds(10, 10, 100, 20)});
  HWND after = CreateControl(
      {.Parent = host_.Handle(), .ClassName = "EDIT", .Style = WS_TABSTOP, .Bounds = Bounds(10, 70, 100, 20)});
  SetWindowPos(before, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  HWND edit = ButtonEditField(field_);
  EXPECT_EQ(GetNextDlgTabItem(host_.Handle(), before, FALSE), edit);
  EXPECT_EQ(GetNextDlgTabItem(host_.Handle(), edit, FALSE), after);
  EXPECT_EQ(GetNextDlgTabItem(host_.Handle(), after, TRUE), edit);
  // The focus given to the field goes to its text.
  SetFocus(field_);
  EXPECT_EQ(GetFocus(), edit);

  RECT client, text, first, second;
  GetClientRect(field_, &client);
  GetWindowRect(edit, &text);
  GetWindowRect(ButtonEditButton(field_, 0), &first);
  GetWindowRect(ButtonEditButton(field_, 1), &second);
  MapWindowPoints(field_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(second.right, client.right);
  EXPECT_EQ(first.right, second.left);
  EXPECT_LE(text.right, first.left);
  EXPECT_GT(text.right - text.left, 200);
  EXPECT_EQ(first.bottom - first.top, client.bottom - client.top);
  // The text is as high as the font and stays inside the field.
  EXPECT_GE(text.top, client.top);
  EXPECT_LE(text.bottom, client.bottom);
  EXPECT_EQ(SendMessageA(field_, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
}

TEST_F(ButtonEditTest, ADisabledFieldTakesNoInputAndReportsNoClick) {
  EnableWindow(field_, FALSE);
  EXPECT_FALSE(IsWindowEnabled(ButtonEditField(field_)));
  EXPECT_FALSE(IsWindowEnabled(ButtonEditButton(field_, 0)));
  test::ClickAt(ButtonEditButton(field_, 0));
  test::PumpUntil([] { return false; });
  EXPECT_TRUE(Only(host_.TakeCommands(), {ButtonEditClick(0)}).empty());
  EnableWindow(field_, TRUE);
  SendMessageA(ButtonEditButton(field_, 0), BM_CLICK, 0, 0);
  EXPECT_EQ(Only(host_.TakeCommands(), {ButtonEditClick(0)}), (std::vector<TCommand>{{FieldId, ButtonEditClick(0), field_}}));
}

}  // namespace
}  // namespace ns
