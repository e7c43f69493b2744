// The button's properties, their side effects on the look, and reading and
// writing them through the property bag (no display).
#include <vector>

#include <gtest/gtest.h>

#include "recording_host.h"
#include "saver/controls/command_logic.h"
#include "saver/runtime/property_bag.h"

namespace veltrane {
namespace {

using testing::Paint;
using testing::RecordingHost;

vb::FontSpec DialogFont() {
  vb::FontSpec f;
  f.Name = "ＭＳ Ｐゴシック";
  f.Size = 9.75;
  f.Weight = 400;
  f.Charset = vb::kCharsetShiftJis;
  return f;
}

// The dialog's stored OK button, keys in lower case as the stored form holds them.
vb::PropertyBag DialogBag() {
  vb::PropertyBag bag;
  bag.Set("_extentx", 1931);
  bag.Set("_extenty", 661);
  bag.Set("caption", QStringLiteral("OK"));
  bag.Set("font", vb::FontValue(DialogFont()));
  return bag;
}

TEST(CommandProperties, TheDialogsStoredButtonLoadsEnabledWithABlackCaptionAndItsFace) {
  RecordingHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(DialogBag());
  EXPECT_EQ(button.enabled, vb::True);
  EXPECT_EQ(button.Caption(), "OK");
  EXPECT_EQ(host.captionText, "OK");
  EXPECT_EQ(button.firstRun, 1);
  EXPECT_EQ(button.captionColour(), vb::kBlack);
  EXPECT_EQ(host.captionColour, vb::kBlack);
  EXPECT_EQ(host.backdrop, 1);
  EXPECT_EQ(host.captionEnabled, true);
  EXPECT_EQ(host.paints, (std::vector<Paint>{{Look::Normal, false}}));
  EXPECT_EQ(button.Font().Name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(button.Font().Size, 9.75);
  EXPECT_EQ(button.Font().Charset, vb::kCharsetShiftJis);
}

TEST(CommandProperties, ANewInstanceHasTheDesignDefaults) {
  RecordingHost host;
  CommandLogic button(host);
  EXPECT_EQ(button.Caption(), "Command");
  EXPECT_EQ(button.Font().Name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(button.Font().Size, 9.75);
  EXPECT_EQ(button.Font().Weight, 400);
  EXPECT_EQ(button.Font().Charset, vb::kCharsetShiftJis);
  EXPECT_EQ(button.enabled, vb::False);
  EXPECT_EQ(button.firstRun, 0);
}

TEST(CommandProperties, RoundTripThroughTheBag) {
  RecordingHost host;
  host.ambient = DialogFont();
  CommandLogic a(host);
  a.UserControl_ReadProperties(vb::PropertyBag());
  a.SetCaption("Apply");
  a.SetEnabled(vb::False);
  vb::FontSpec font = DialogFont();
  font.Name = "DejaVu Sans";
  a.SetFont(font);
  a.SetVisible(0);
  a.SetFontColour(vb::RGB(10, 20, 30));
  vb::PropertyBag bag;
  a.UserControl_WriteProperties(bag);

  RecordingHost host2;
  host2.ambient = DialogFont();
  CommandLogic b(host2);
  b.UserControl_ReadProperties(bag);
  EXPECT_EQ(b.Caption(), "Apply");
  EXPECT_EQ(b.enabled, vb::False);
  EXPECT_EQ(b.Font().Name, "DejaVu Sans");
  EXPECT_EQ(b.backdropStyle(), 0);
  EXPECT_EQ(b.captionColour(), vb::RGB(10, 20, 30));
  EXPECT_EQ(b.firstRun, 1);
  EXPECT_TRUE(host2.paints.empty()) << "a button stored disabled is not painted on load";
}

TEST(CommandProperties, OnlyValuesOtherThanTheirDefaultsAreStored) {
  RecordingHost host;
  host.ambient = DialogFont();
  CommandLogic button(host);
  button.UserControl_ReadProperties(DialogBag());
  vb::PropertyBag bag;
  button.UserControl_WriteProperties(bag);
  EXPECT_EQ(bag.Names(), QStringList{"Caption"}) << "the font equals the container's, the rest their defaults";
  EXPECT_EQ(host.paints.back(), (Paint{Look::Normal, false})) << "saving repaints Normal";
}

TEST(CommandProperties, ACaptionOfCommandComesBackAsCommand1) {
  RecordingHost host;
  CommandLogic a(host);
  a.UserControl_ReadProperties(vb::PropertyBag());
  for (const char* caption : {"Command", "OK", "Command1", ""}) {
    SCOPED_TRACE(caption);
    a.SetCaption(caption);
    vb::PropertyBag bag;
    a.UserControl_WriteProperties(bag);
    RecordingHost h;
    CommandLogic b(h);
    b.UserControl_ReadProperties(bag);
    EXPECT_EQ(b.Caption(), QString(caption) == "Command" ? QString("Command1") : QString(caption));
  }
}

TEST(CommandProperties, OnlyTheStoredFontsFaceNameIsRead) {
  RecordingHost host;
  CommandLogic button(host);
  vb::FontSpec stored;
  stored.Name = "DejaVu Sans";
  stored.Size = 20;
  stored.Weight = 700;
  stored.Italic = true;
  stored.Charset = vb::kCharsetWestern;
  vb::PropertyBag bag;
  bag.Set("Font", vb::FontValue(stored));
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(button.Font().Name, "DejaVu Sans");
  EXPECT_EQ(button.Font().Size, 9.75);
  EXPECT_EQ(button.Font().Weight, 400);
  EXPECT_FALSE(button.Font().Italic);
  EXPECT_EQ(button.Font().Charset, vb::kCharsetShiftJis);
  EXPECT_EQ(host.captionFont.Name, "DejaVu Sans");
  EXPECT_EQ(host.captionFont.Size, 9.75);
}

TEST(CommandProperties, AMissingFontTakesTheContainersFaceOrKeepsItsOwnWithoutAContainer) {
  RecordingHost host;
  CommandLogic withoutContainer(host);
  withoutContainer.UserControl_ReadProperties(vb::PropertyBag());
  EXPECT_EQ(withoutContainer.Font().Name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(withoutContainer.enabled, vb::True) << "the other steps still ran";

  RecordingHost h2;
  vb::FontSpec ambient;
  ambient.Name = "DejaVu Sans";
  ambient.Size = 14;
  h2.ambient = ambient;
  CommandLogic withContainer(h2);
  withContainer.UserControl_ReadProperties(vb::PropertyBag());
  EXPECT_EQ(withContainer.Font().Name, "DejaVu Sans");
  EXPECT_EQ(withContainer.Font().Size, 9.75);
}

TEST(CommandProperties, ValuesThatCannotBeConvertedAreSkipped) {
  RecordingHost host;
  CommandLogic button(host);
  vb::PropertyBag bag;
  bag.Set("FirstRun", 300);
  bag.Set("Enabled", QStringLiteral("maybe"));
  bag.Set("FontColour", QStringLiteral("red"));
  bag.Set("Visible", 2);
  bag.Set("Caption", QStringLiteral("Go"));
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(button.firstRun, 0);
  EXPECT_EQ(button.enabled, vb::False);
  EXPECT_EQ(button.captionColour(), vb::kBlack);
  EXPECT_EQ(button.backdropStyle(), 1);
  EXPECT_EQ(button.Caption(), "Go") << "good values next to bad ones are still read";
  EXPECT_TRUE(host.paints.empty()) << "still disabled, so nothing is painted";

  // The same on a button that already holds other values.
  button.enabled = vb::True;
  button.firstRun = 1;
  button.SetFontColour(vb::RGB(1, 2, 3));
  vb::PropertyBag worse;
  worse.Set("FirstRun", -1);
  worse.Set("Enabled", QStringLiteral(""));
  worse.Set("FontColour", QStringLiteral("&H1000000"));  // beyond a plain colour
  worse.Set("Visible", QStringLiteral("70000"));
  button.UserControl_ReadProperties(worse);
  EXPECT_EQ(button.firstRun, 1);
  EXPECT_EQ(button.enabled, vb::True);
  EXPECT_EQ(button.captionColour(), vb::RGB(1, 2, 3));
  EXPECT_EQ(button.backdropStyle(), 1);
}

TEST(CommandProperties, FirstReadOfEnabledSetsANewInstanceUp) {
  RecordingHost host;
  CommandLogic button(host);
  EXPECT_EQ(button.Enabled(), vb::True);
  EXPECT_EQ(button.firstRun, 1);
  EXPECT_EQ(host.paints, (std::vector<Paint>{{Look::Normal, false}}));
  button.SetEnabled(vb::False);
  EXPECT_EQ(button.Enabled(), vb::False) << "only the first read sets it up";
  EXPECT_EQ(host.paints.back().look, Look::Disable);
  EXPECT_EQ(host.captionEnabled, false);
}

TEST(CommandProperties, SettingFontColourBeforeTheFirstSetUpDoesNotLast) {
  RecordingHost host;
  CommandLogic button(host);
  button.SetEnabled(vb::True);  // enabled, but firstRun still 0
  button.SetFontColour(vb::RGB(200, 0, 0));
  EXPECT_EQ(button.captionColour(), vb::kBlack);
  EXPECT_EQ(host.captionColour, vb::kBlack);
  button.firstRun = 1;
  button.SetFontColour(vb::RGB(200, 0, 0));
  EXPECT_EQ(button.captionColour(), vb::RGB(200, 0, 0));
  EXPECT_EQ(host.changed.back(), "FontColour");
}

TEST(CommandProperties, AnInvalidFontColourRepaintsAndNotesNoChange) {
  RecordingHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(vb::PropertyBag());
  button.SetFontColour(vb::RGB(1, 2, 3));
  host.paints.clear();
  host.changed.clear();
  button.SetFontColour(0x80000012u);
  EXPECT_EQ(button.captionColour(), vb::RGB(1, 2, 3));
  EXPECT_TRUE(host.changed.empty());
  EXPECT_EQ(host.paints, (std::vector<Paint>{{Look::Normal, false}}));
}

TEST(CommandProperties, ReadingFontColourOrVisibleRepaintsNormalWhateverTheState) {
  RecordingHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(vb::PropertyBag());
  button.Initialize();
  button.UserControl_MouseMove(0, 0, 0, 0);
  button.UserControl_GotFocus();  // FocusedHover, Pressed shown
  host.paints.clear();
  EXPECT_EQ(button.FontColour(), vb::kBlack);
  EXPECT_EQ(button.Visible(), 255);
  EXPECT_EQ(button.State, kFocusedHover) << "the look and the state disagree until the next transition";
  EXPECT_EQ(host.paints, (std::vector<Paint>{{Look::Normal, true}, {Look::Normal, true}}));
}

TEST(CommandProperties, VisibleZeroHidesTheFaceAndAnyOtherValueShowsIt) {
  RecordingHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(vb::PropertyBag());
  host.paints.clear();
  button.SetVisible(0);
  EXPECT_EQ(host.backdrop, 0);
  EXPECT_EQ(button.Visible(), 0);
  EXPECT_TRUE(host.paints.empty()) << "hiding and reading a hidden face repaint nothing";
  button.SetVisible(7);
  EXPECT_EQ(host.backdrop, 1);
  EXPECT_EQ(button.Visible(), 255);
  EXPECT_EQ(host.paints.size(), 2u);
  EXPECT_EQ(host.changed, (std::vector<QString>{"Visible", "Visible"}));

  RecordingHost h2;
  CommandLogic stored(h2);
  vb::PropertyBag bag;
  bag.Set("Visible", 0);
  stored.UserControl_ReadProperties(bag);
  EXPECT_EQ(h2.backdrop, 0);
  EXPECT_EQ(stored.Visible(), 0);
}

TEST(CommandProperties, ResetLookThatCannotPaintStillBlackensTheCaption) {
  RecordingHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(vb::PropertyBag());
  button.SetFontColour(vb::RGB(0, 0, 200));
  host.drawFails = true;
  button.ResetLook();
  EXPECT_EQ(button.captionColour(), vb::kBlack);
}

}  // namespace
}  // namespace veltrane
