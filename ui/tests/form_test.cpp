#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/form.h"
#include "win32/handles.h"

namespace {

// A form with one control and one menu item of each kind that routes commands, and one control that
// routes none.
class TCommandsForm : public TForm {
 public:
  TCommandsForm() {
    CreateForm("Commands", {WS_POPUP, 0, 200, 100, false});
    OkButton = AddControl(Handle(), "BUTTON", "OK", BS_PUSHBUTTON, {.Width = 40, .Height = 20},
                          &TCommandsForm::OkButtonClick, IDOK);
    OtherButton = AddControl(Handle(), "BUTTON", "Other", BS_PUSHBUTTON,
                             {.Left = 50, .Width = 40, .Height = 20}, &TCommandsForm::OtherButtonClick);
    CheckBox =
        AddControl(Handle(), "BUTTON", "Box", BS_AUTOCHECKBOX, {.Left = 100, .Width = 40, .Height = 20});
    Menu.Reset(CreatePopupMenu());
    AddMenuItem(Menu.Get(), "Item", &TCommandsForm::ItemClick);
  }

  HWND OkButton = nullptr;
  HWND OtherButton = nullptr;
  HWND CheckBox = nullptr;
  TMenu Menu;
  std::vector<std::string> Runs;

  void OkButtonClick() { Runs.emplace_back("ok"); }
  void OtherButtonClick() { Runs.emplace_back("other"); }
  void ItemClick() { Runs.emplace_back("item"); }
};

class FormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application.Initialize(GetModuleHandleA(nullptr)); }
  TCommandsForm form_;
};

TEST_F(FormTest, EachClickRunsItsOwnHandlerOnceAndOnlyWhileItsControlIsEnabled) {
  const int other = GetDlgCtrlID(form_.OtherButton);
  const int item = static_cast<int>(GetMenuItemID(form_.Menu.Get(), 0));
  const struct {
    const char* Name;
    int Id;
    WORD Code;
    bool OkEnabled;
    std::vector<std::string> Runs;
  } cases[] = {
      {"Enter or the OK button", IDOK, BN_CLICKED, true, {"ok"}},
      {"Enter while OK is disabled", IDOK, BN_CLICKED, false, {}},
      {"another button", other, BN_CLICKED, true, {"other"}},
      {"another notification", other, STN_DBLCLK, true, {}},
      {"the menu item", item, 0, false, {"item"}},
      {"a control without a handler", GetDlgCtrlID(form_.CheckBox), BN_CLICKED, true, {}},
  };
  for (const auto& c : cases) {
    form_.Runs.clear();
    EnableWindow(form_.OkButton, c.OkEnabled);
    SendMessageA(form_.Handle(), WM_COMMAND, MAKEWPARAM(c.Id, c.Code), 0);
    EXPECT_EQ(form_.Runs, c.Runs) << c.Name;
  }
}

}  // namespace
