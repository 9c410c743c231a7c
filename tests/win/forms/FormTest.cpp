// The form base with real windows: modal runs, dialog keys, key preview and
// errors caught at the window procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "WindowTests.h"
#include "win/Control.h"
#include "win/Form.h"

namespace ns {
namespace {

using test::TBoxIcon;

// A form with one edit field and one button, recording what reaches it.
class TProbeForm : public TForm {
 public:
  TProbeForm(const char* caption, HWND owner) {
    CreateForm({.ClassName = "TProbeForm",
                .Caption = caption,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU,
                .Width = 200,
                .Height = 80,
                .Parent = owner});
    edit_ = CreateControl({.Parent = Handle(),
                           .ClassName = "EDIT",
                           .Style = WS_TABSTOP,
                           .ExStyle = WS_EX_CLIENTEDGE,
                           .Bounds = Bounds(8, 8, 180, 21)});
    button_ = CreateControl({.Parent = Handle(),
                             .ClassName = "BUTTON",
                             .Text = "Да",
                             .Style = WS_TABSTOP,
                             .Bounds = Bounds(8, 40, 75, 25),
                             .Id = ButtonId});
    ApplyFormFont(Handle());
  }

  static constexpr int ButtonId = 100;
  HWND edit_;
  HWND button_;
  bool previewEnter_ = false;
  int enterPreviewed_ = 0;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND && LOWORD(wParam) == ButtonId) throw std::runtime_error("Сбой обработчика");
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
      EndModal(IDCANCEL);
      return 0;
    }
    return TForm::WndProc(message, wParam, lParam);
  }
  bool KeyPreview(WPARAM key) override {
    if (key != VK_RETURN || !previewEnter_) return false;
    ++enterPreviewed_;
    return true;
  }
};

class Forms : public ::testing::Test {
 protected:
  TProbeForm owner{"Владелец", nullptr};
};

TEST_F(Forms, ModalRunDisablesTheOwnerUntilEscapeEndsIt) {
  TProbeForm dialog("Диалог", owner.Handle());
  ShowWindow(owner.Handle(), SW_SHOW);
  bool ownerDisabled = false;
  test::TWindowAction pressEscape(
      "TProbeForm",
      [&](HWND) {
        // The owner is visible too: wait for the dialog itself.
        while (!IsWindowVisible(dialog.Handle())) Sleep(10);
        ownerDisabled = !IsWindowEnabled(owner.Handle());
        test::PostKey(dialog.edit_, VK_ESCAPE);
      });
  EXPECT_EQ(dialog.ShowModal(owner.Handle()), IDCANCEL);
  EXPECT_TRUE(pressEscape.Ran());
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
  EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
}

TEST_F(Forms, ModalFormIsCentredOverItsOwner) {
  TProbeForm dialog("Диалог", owner.Handle());
  SetWindowPos(owner.Handle(), nullptr, 100, 120, 500, 300, SWP_NOZORDER);
  ShowWindow(owner.Handle(), SW_SHOW);
  RECT ownerRect{}, dialogRect{};
  test::TWindowAction close("TProbeForm", [&](HWND) {
    while (!IsWindowVisible(dialog.Handle())) Sleep(10);
    GetWindowRect(dialog.Handle(), &dialogRect);
    PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(dialog.ShowModal(owner.Handle()), IDCANCEL);  // the close box cancels
  ASSERT_TRUE(close.Ran());
  GetWindowRect(owner.Handle(), &ownerRect);
  EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 1);
  EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 1);
}

TEST_F(Forms, KeyPreviewSeesTheKeysOfTheControlsFirst) {
  ShowWindow(owner.Handle(), SW_SHOW);
  owner.previewEnter_ = true;
  test::PostKey(owner.edit_, VK_RETURN);
  test::PumpMessages(200);
  EXPECT_EQ(owner.enterPreviewed_, 1);
}

TEST_F(Forms, AnErrorInAHandlerIsShownTitledWithTheCaption) {
  ShowWindow(owner.Handle(), SW_SHOW);
  test::TBoxWatcher boxes(IDOK);
  test::Click(owner.button_);
  ASSERT_TRUE(test::PumpUntil([&] { return !boxes.Seen().empty(); }));
  auto seen = boxes.Seen();
  EXPECT_EQ(seen[0].Caption, "Владелец");
  EXPECT_EQ(seen[0].Text, "Сбой обработчика");
  EXPECT_EQ(seen[0].Icon, TBoxIcon::Error);
  EXPECT_TRUE(IsWindow(owner.Handle()));
}

}  // namespace
}  // namespace ns
