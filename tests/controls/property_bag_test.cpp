// The property bag: names without regard to case, defaults, and the conversions a
// value goes through when a control assigns it.
#include <gtest/gtest.h>

#include "saver/runtime/property_bag.h"

namespace veltrane::vb {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST(CommandPropertyBag, NamesCompareWithoutRegardToCase) {
  PropertyBag bag;
  bag.Set("caption", QStringLiteral("OK"));
  EXPECT_EQ(bag.ReadProperty("Caption", "Command1").toString(), "OK");
  EXPECT_EQ(bag.ReadProperty("CAPTION").toString(), "OK");
  EXPECT_EQ(bag.ReadProperty("Enabled", true).toBool(), true) << "absent: the default";
  bag.Set("CAPTION", QStringLiteral("Go"));
  EXPECT_EQ(bag.Count(), 1);
  EXPECT_EQ(bag.Names(), QStringList{"caption"});
  EXPECT_EQ(bag.ReadProperty("Caption").toString(), "Go");
}

TEST(CommandPropertyBag, AValueEqualToItsDefaultIsNotStoredAndDropsAnOlderOne) {
  PropertyBag bag;
  bag.WriteProperty("FirstRun", QVariant::fromValue<uchar>(1), QStringLiteral("1"));
  bag.WriteProperty("Caption", QStringLiteral("Command"), QStringLiteral("Command"));
  bag.WriteProperty("Enabled", true, true);
  bag.WriteProperty("Visible", QVariant::fromValue<qint16>(1), QStringLiteral("1"));
  EXPECT_EQ(bag.Count(), 0);

  bag.WriteProperty("Visible", QVariant::fromValue<qint16>(0), QStringLiteral("1"));
  bag.WriteProperty("Caption", QStringLiteral("command"), QStringLiteral("Command"));  // text is exact
  EXPECT_EQ(bag.Names(), (QStringList{"Visible", "Caption"}));
  bag.WriteProperty("visible", QVariant::fromValue<qint16>(1), QStringLiteral("1"));
  EXPECT_FALSE(bag.Contains("Visible"));
  EXPECT_EQ(bag.ReadProperty("Visible", QStringLiteral("1")).toString(), "1");
}

TEST(CommandPropertyBag, FontsCompareByEveryAttribute) {
  FontSpec a;
  a.Name = "IPAPGothic";
  FontSpec b = a;
  b.Name = "ipapgothic";
  EXPECT_TRUE(SameFont(a, b));
  b.Size = 12;
  EXPECT_FALSE(SameFont(a, b));
  PropertyBag bag;
  bag.WriteProperty("Font", FontValue(a), FontValue(a));
  EXPECT_FALSE(bag.Contains("Font"));
  bag.WriteProperty("Font", FontValue(b), FontValue(a));
  ASSERT_TRUE(IsFont(bag.ReadProperty("Font")));
  EXPECT_EQ(ToFont(bag.ReadProperty("Font")).Size, 12);
  bag.WriteProperty("Font", FontValue(b));  // no default: always stored
  EXPECT_TRUE(bag.Contains("Font"));
}

TEST(CommandPropertyBag, NumbersFromTextAndOtherTypes) {
  EXPECT_EQ(VarToByte(QStringLiteral("1")), 1);
  EXPECT_EQ(VarToByte(QStringLiteral(" 255 ")), 255);
  EXPECT_EQ(VarToByte(2.5), 2);
  EXPECT_EQ(VarToByte(3.5), 4);
  EXPECT_EQ(VarToByte(QVariant()), 0);
  EXPECT_EQ(VarToInteger(QStringLiteral("&HFFFF")), -1);
  EXPECT_EQ(VarToInteger(QStringLiteral("&hff00")), -256);
  EXPECT_EQ(VarToLong(QStringLiteral("&HFFFFFF")), 0xFFFFFF);
  EXPECT_EQ(VarToLong(QStringLiteral("&O17")), 15);
  EXPECT_EQ(VarToLong(QStringLiteral("-1.5e2")), -150);
  EXPECT_EQ(VarToInteger(true), -1);
  EXPECT_EQ(VarToLong(QVariant::fromValue<qint16>(-3)), -3);
}

TEST(CommandPropertyBag, ValuesThatCannotBeConvertedRaiseTheirErrors) {
  EXPECT_EQ(ErrorOf([] { VarToByte(300); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToByte(QStringLiteral("300")); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToByte(-1); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToByte(true); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToInteger(QStringLiteral("70000")); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToLong(QStringLiteral("&H123456789")); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { VarToBoolean(QStringLiteral("maybe")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToBoolean(QStringLiteral("")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToByte(QStringLiteral("1x")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToByte(QStringLiteral("0x10")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToLong(QStringLiteral("inf")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToLong(QStringLiteral("&H")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { VarToLong(FontValue(FontSpec())); }), kErrTypeMismatch);
}

TEST(CommandPropertyBag, BooleansAndText) {
  EXPECT_EQ(VarToBoolean(QStringLiteral("true")), True);
  EXPECT_EQ(VarToBoolean(QStringLiteral(" False ")), False);
  EXPECT_EQ(VarToBoolean(QStringLiteral("-1")), True);
  EXPECT_EQ(VarToBoolean(QStringLiteral("0")), False);
  EXPECT_EQ(VarToBoolean(2), True);
  EXPECT_EQ(VarToBoolean(QVariant()), False);
  EXPECT_EQ(VarToText(true), "True");
  EXPECT_EQ(VarToText(1931), "1931");
  EXPECT_EQ(VarToText(1.5), "1.5");
  FontSpec font;
  font.Name = "ＭＳ Ｐゴシック";
  EXPECT_EQ(VarToText(FontValue(font)), QString::fromUtf8("ＭＳ Ｐゴシック")) << "a font's text is its face name";
}

}  // namespace
}  // namespace veltrane::vb
