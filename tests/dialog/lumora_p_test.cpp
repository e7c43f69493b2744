// The dialog's form without a display (Qt's offscreen platform): its controls as
// designed, the control array, the button walk of setbuttons and the zoom point.
#include "saver/dialog/lumora_p.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QLabel>

#include "saver/controls/command.h"
#include "saver/runtime/fonts.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane {
namespace {

class LumoraPTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Offscreen only: nothing here may reach the desktop the tests were started from.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    static int argc = 3;
    static char arg0[] = "lumora_p_test", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static QApplication app(argc, argv);
    vb::RegisterFontSubstitutions();
  }
};

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const vb::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST_F(LumoraPTest, ControlsStandWhereTheFormPlacesThem) {
  Lumora_P form;
  EXPECT_EQ(form.Caption(), "<Veltrane>");
  EXPECT_DOUBLE_EQ(form.ScaleWidth(), 7440);
  EXPECT_DOUBLE_EQ(form.ScaleHeight(), 4620);

  // Display: 7020 x 3660 twips at 180, 180, measured in pixels, no border.
  EXPECT_EQ(form.Display.geometry(), QRect(12, 12, 468, 244));
  EXPECT_DOUBLE_EQ(form.Display.ScaleWidth(), 468);
  EXPECT_DOUBLE_EQ(form.Display.ScaleHeight(), 244);
  EXPECT_EQ(form.Display.ForeColor(), vb::kWhite);
  EXPECT_EQ(form.Display.Font().Name, "Verdana");
  EXPECT_EQ(form.Display.Font().Weight, 700);
  EXPECT_DOUBLE_EQ(form.Display.Font().Size, 20.25);

  EXPECT_EQ(&form.lbl(7), &form.lbl_7);
  EXPECT_EQ(ErrorOf([&] { form.lbl(0); }), 340);
  EXPECT_EQ(form.lbl(7).Caption(), "Designed by Drevik Ver.1.0.0");
  EXPECT_EQ(form.lbl(7).pos(), QPoint(12, 264));
  EXPECT_EQ(form.lbl(7).ForeColor(), vb::RGB(224, 224, 224));
  EXPECT_EQ(form.lbl(7).BackStyle(), vb::kBackTransparent);
  EXPECT_EQ(form.lbl_URL.Caption(), "http://www.example.com/drevik/");
  EXPECT_EQ(form.lbl_URL.pos(), QPoint(12, 276));
  EXPECT_TRUE(form.lbl_URL.Font().Underline);
  EXPECT_FALSE(form.lbl(7).Font().Underline);
  EXPECT_EQ(form.lbl_URL.cursor().hotSpot(), QPoint(12, 10));
  EXPECT_EQ(form.lbl_URL.cursor().pixmap().size(), QSize(32, 32));

  // Cmd_OK: loaded from its stored properties, enabled, captioned "OK".
  Command& ok = form.Cmd_OK.Button();
  EXPECT_EQ(ok.geometry(), QRect(408, 268, 73, 25));
  EXPECT_EQ(ok.Caption(), "OK");
  EXPECT_EQ(ok.Logic().enabled, vb::True);

  // The form's control order: Display, lbl(7), lbl_URL, Cmd_OK.
  ASSERT_EQ(form.Controls().size(), 4u);
  EXPECT_EQ(form.Controls()[0]->Name(), "Display");
  EXPECT_EQ(form.Controls()[1]->Name(), "lbl");
  EXPECT_EQ(form.Controls()[2]->Name(), "lbl_URL");
  EXPECT_EQ(form.Controls()[3]->Name(), "Cmd_OK");
}

TEST_F(LumoraPTest, SetbuttonsInitialisesOrEnablesEveryCommandAndNothingElse) {
  Lumora_P form;
  vb::PropertyBag stored;
  stored.Set("caption", QStringLiteral("Second"));
  CommandControl second(form, "Cmd_Second", stored);
  Command& ok = form.Cmd_OK.Button();
  ASSERT_EQ(ok.Logic().State, 0);
  ASSERT_EQ(second.Button().Logic().State, 0);

  Lumora_P::setbuttons(form, vb::False, vb::False);  // Enabled := False by name
  EXPECT_EQ(ok.Logic().enabled, vb::False);
  EXPECT_EQ(second.Button().Logic().enabled, vb::False);
  EXPECT_EQ(ok.Logic().State, 0);
  EXPECT_TRUE(form.lbl_URL.isEnabled());  // labels are no buttons
  EXPECT_TRUE(form.Display.isEnabled());

  Lumora_P::setbuttons(form, vb::False, vb::True);
  EXPECT_EQ(ok.Logic().enabled, vb::True);
  EXPECT_EQ(second.Button().Logic().enabled, vb::True);

  Lumora_P::setbuttons(form, vb::True, vb::False);  // Initialize by name; enable is not read
  EXPECT_EQ(ok.Logic().State, 1);
  EXPECT_EQ(second.Button().Logic().State, 1);
  EXPECT_EQ(ok.Logic().enabled, vb::True);
}

TEST(ZoomPoint, IsThePointerOrTheTopLeftCornerWhenItCannotBeRead) {
  EXPECT_EQ(ZoomPointFor(std::nullopt), (ZoomPoint{0, 0}));
  EXPECT_EQ(ZoomPointFor(platform::CursorPoint{640, 480}), (ZoomPoint{640, 480}));
  EXPECT_EQ(ZoomPointFor(platform::CursorPoint{-5, 0}), (ZoomPoint{-5, 0}));
  // Coordinates beyond 16 bits keep their low 16 bits.
  EXPECT_EQ(ZoomPointFor(platform::CursorPoint{65536 + 7, 32768}), (ZoomPoint{7, -32768}));
}

}  // namespace
}  // namespace veltrane
