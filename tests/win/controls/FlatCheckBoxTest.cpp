// The flat check boxes and radio buttons on a real window: their state
// through the button messages, clicks reported to the parent, the radio
// group and the Space key.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "HostWindow.h"
#include "controls/FlatCheckBox.h"

namespace ns {
namespace {

using test::TCommand;

enum { Id82 = 11, Id83, IdExclusively };

class FlatCheckBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    v82_ = CreateFlatCheckBox(host_.Handle(), Id82, "8.2", RECT{10, 10, 60, 27}, TCheckKind::FirstRadio);
    v83_ = CreateFlatCheckBox(host_.Handle(), Id83, "8.3", RECT{70, 10, 120, 27}, TCheckKind::NextRadio);
    exclusively_ = CreateFlatCheckBox(host_.Handle(), IdExclusively, "Монопольно", RECT{10, 40, 150, 57});
    test::PumpMessages();
  }

  test::THostWindow host_;
  HWND v82_ = nullptr;
  HWND v83_ = nullptr;
  HWND exclusively_ = nullptr;
};

TEST_F(FlatCheckBoxTest, CheckBoxAnswersTheButtonMessagesAndReportsClicks) {
  char caption[32] = {};
  GetWindowTextA(exclusively_, caption, sizeof caption);
  EXPECT_STREQ(caption, "Монопольно");
  EXPECT_FALSE(IsChecked(exclusively_));

  SetChecked(exclusively_, true);
  EXPECT_EQ(SendMessageA(exclusively_, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageA(exclusively_, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_FALSE(IsChecked(exclusively_));
  // Setting the state is not a click: nothing is reported.
  EXPECT_TRUE(host_.Commands().empty());

  SendMessageA(exclusively_, BM_CLICK, 0, 0);
  EXPECT_TRUE(IsChecked(exclusively_));
  // The user's own ways: the mouse, and Space on the focused box.
  test::ClickAt(exclusively_);
  ASSERT_TRUE(test::PumpUntil([&] { return host_.Commands().size() == 2; }));
  EXPECT_FALSE(IsChecked(exclusively_));
  SetFocus(exclusively_);
  test::PressKey(VK_SPACE);
  ASSERT_TRUE(test::PumpUntil([&] { return host_.Commands().size() == 3; }));
  EXPECT_TRUE(IsChecked(exclusively_));
  EXPECT_EQ(host_.TakeCommands(), (std::vector<TCommand>(3, {IdExclusively, BN_CLICKED, exclusively_})));
}

TEST_F(FlatCheckBoxTest, RadioButtonsOfOneGroupAreCheckedOneAtATime) {
  SetChecked(v82_, true);
  SendMessageA(v83_, BM_CLICK, 0, 0);
  EXPECT_TRUE(IsChecked(v83_));
  EXPECT_FALSE(IsChecked(v82_));
  // The check box after the group is not part of it.
  SetChecked(exclusively_, true);
  SendMessageA(v82_, BM_CLICK, 0, 0);
  EXPECT_TRUE(IsChecked(v82_));
  EXPECT_FALSE(IsChecked(v83_));
  EXPECT_TRUE(IsChecked(exclusively_));
  EXPECT_EQ(host_.TakeCommands(), (std::vector<TCommand>{{Id83, BN_CLICKED, v83_}, {Id82, BN_CLICKED, v82_}}));

  // Tab stops at the group once and then at the check box.
  EXPECT_EQ(GetNextDlgTabItem(host_.Handle(), v82_, FALSE), exclusively_);
}

}  // namespace
}  // namespace ns
