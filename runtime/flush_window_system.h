// Sends what the program asked of the window system to the display now.
#pragma once

namespace kivo::runtime {

// Flushes the X connection without handling any events (QGuiApplication::sync() handles them,
// which re-enters whatever handler called it). Does nothing on other platforms.
void flushWindowSystem();

}  // namespace kivo::runtime
