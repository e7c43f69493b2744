// Lumora_P's logo animation on its picture box Display: the text is drawn once,
// every pixel of it that is not black becomes a text cell of the heat grid, and
// the frame loop spreads the heat, pumps the window events and puts the colour
// buffer on the screen, frame after frame, with no pacing.
#include "saver/dialog/lumora_p.h"
#include "saver/runtime/application.h"
#include "saver/runtime/clock_random.h"
#include "saver/runtime/color.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane {

void Lumora_P::getbits() {
  int imageWidth = 0, imageHeight = 0;
  vb::ResumeNext(
      [&] {
        imageWidth = Display.ImageWidth();
        imageHeight = Display.ImageHeight();
      },
      // Fresh, zero-filled buffers the size of the image.
      [&] { Recreate(imageWidth, imageHeight); },
      // The buffer then holds the surface's present image, bottom row first.
      [&] { Display.GetBits(pixels.data(), width(), height()); });
}

void Lumora_P::setbits() {
  // The buffer goes onto the image at its own size, which is the image's size:
  // a transfer never reads past the buffer.
  vb::ResumeNext([&] { Display.SetBits(pixels.data(), width(), height()); }, [&] { Display.Refresh(); });
}

void Lumora_P::drawlogo() {
  vb::ResumeNext(
      [&] { Display.SetBackColor(vb::kBlack); },  // clears the image
      [&] { Display.SetCurrentX((picW - Display.TextWidth(kLogoText)) / 2); },
      [&] { Display.SetCurrentY((picH - Display.TextHeight(kLogoText)) / 2); },
      [&] { Display.Print(kLogoText); },
      [&] { getbits(); },
      [&] { textLevel = kTextLevel; },
      [&] {
        // Every pixel that is not pure black, the smoothed edges of the letters
        // included, becomes a fixed heat source. Events are pumped after each
        // row so the dialog answers while this runs.
        Observe(Phase::SamplingStarts);
        for (int y = 0; y < picH; ++y) {
          for (int x = 0; x < picW; ++x)
            if (Display.GetPixel(x, y) != vb::kBlack) MarkText(x, y);
          vb::DoEvents();
          Observe(Phase::RowSampled);
        }
        Observe(Phase::SamplingEnds);
      },
      [&] { animating = vb::True; },
      [&] { runme2(); });
}

void Lumora_P::runme2() {
  while (animating != vb::False) {
    vb::ResumeNext(
        [&] { vb::Randomize(vb::SecondsSinceMidnight()); },
        [&] { UpdatePass(random_); },
        [&] { vb::DoEvents(); },
        [&] { setbits(); });
    Observe(Phase::FrameDone);
  }
}

}  // namespace veltrane
