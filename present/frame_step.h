// The frame step: the next video frame into the offscreen surface, the overlay text over
// it in the cycle's next colour, and the movie rectangle stretched onto the window.
#pragma once

// Returns at once when a stream or surface field is null. A stream that is not running
// clears `active`; the end of the movie (or any other failed update) also stops the stream
// and asks the loop to end. A failed GetDC or Blt shows its box and runs teardown.
void RenderFrame();
