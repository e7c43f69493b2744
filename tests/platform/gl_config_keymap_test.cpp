#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "platform/gl_config.h"
#include "platform/x11/keymap.h"

namespace veltrane::platform {
namespace {

GlConfigTraits Config(int r, int g, int b, int a, int depth, bool doubleBuffer = true) {
    GlConfigTraits t;
    t.redBits = r;
    t.greenBits = g;
    t.blueBits = b;
    t.alphaBits = a;
    t.depthBits = depth;
    t.rgba = t.drawsToWindow = t.hasVisual = t.visualDepthIsScreenDepth = true;
    t.doubleBuffer = doubleBuffer;
    return t;
}

PixelFormatRequest Request16() {
    PixelFormatRequest r;
    r.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    r.cColorBits = 16;
    r.cDepthBits = 16;
    return r;
}

TEST(ChooseGlConfig, TakesTheClosestColourAndDepthBits) {
    // A 24-bit screen offers no 16-bit colour: the closest is 24 bits, without alpha.
    std::vector<GlConfigTraits> deep{Config(8, 8, 8, 8, 24), Config(8, 8, 8, 0, 24), Config(8, 8, 8, 0, 16),
                                     Config(10, 10, 10, 2, 16)};
    EXPECT_EQ(ChooseGlConfig(deep, Request16()), 2);
    // Where 5-6-5 exists it wins, with 16 depth bits over 24 and 24 over none.
    std::vector<GlConfigTraits> shallow{Config(8, 8, 8, 0, 16), Config(5, 6, 5, 0, 0), Config(5, 6, 5, 0, 24),
                                        Config(5, 6, 5, 0, 16)};
    EXPECT_EQ(ChooseGlConfig(shallow, Request16()), 3);
    shallow.pop_back();
    EXPECT_EQ(ChooseGlConfig(shallow, Request16()), 2);
}

TEST(ChooseGlConfig, NeverTakesWhatCannotServeTheRequest) {
    GlConfigTraits single = Config(5, 6, 5, 0, 16, false);
    GlConfigTraits noWindow = Config(5, 6, 5, 0, 16);
    noWindow.drawsToWindow = false;
    GlConfigTraits colourIndex = Config(5, 6, 5, 0, 16);
    colourIndex.rgba = false;
    GlConfigTraits noVisual = Config(5, 6, 5, 0, 16);
    noVisual.hasVisual = false;
    GlConfigTraits slow = Config(5, 6, 5, 0, 16);
    slow.slow = true;
    std::vector<GlConfigTraits> configs{single, noWindow, colourIndex, noVisual};
    EXPECT_EQ(ChooseGlConfig(configs, Request16()), -1);
    EXPECT_EQ(ChooseGlConfig({}, Request16()), -1);
    configs.push_back(slow);
    configs.push_back(Config(8, 8, 8, 0, 24));
    // A software-slow configuration only when nothing else is left.
    EXPECT_EQ(ChooseGlConfig(configs, Request16()), 5);
    configs.pop_back();
    EXPECT_EQ(ChooseGlConfig(configs, Request16()), 4);
}

TEST(VirtualKeyFromKeySym, GivesTheCodesTheKeyTableIsIndexedBy) {
    EXPECT_EQ(VirtualKeyFromKeySym(XK_Escape), 0x1B);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_a), 'A');
    EXPECT_EQ(VirtualKeyFromKeySym(XK_Z), 'Z');
    EXPECT_EQ(VirtualKeyFromKeySym(XK_7), '7');
    EXPECT_EQ(VirtualKeyFromKeySym(XK_F1), 0x70);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_F12), 0x7B);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_KP_5), 0x65);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_Return), 0x0D);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_space), 0x20);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_Shift_R), 0x10);
    EXPECT_EQ(VirtualKeyFromKeySym(XK_Left), 0x25);
    // Keys without a code of their own share 0xFF; none of them is Escape.
    EXPECT_EQ(VirtualKeyFromKeySym(XK_EuroSign), 0xFF);
    EXPECT_EQ(VirtualKeyFromKeySym(NoSymbol), 0xFF);
}

}  // namespace
}  // namespace veltrane::platform
