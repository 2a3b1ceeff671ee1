// The dancing companion: the animation window shows Kivo at random places on the screen with
// a joke line each, for as long as the animation switch is on.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;
class AnimationWindow;

struct JokeStep {
    std::string_view line;
    int picture;  // 1..13, or 0 to keep the picture of the step before
    int delayMs;  // how long the step stays before the next
};

// The fifteen steps of the joke sequence, in order.
extern const JokeStep kJokeSteps[15];

// The window's created event: layered, the sequence's timer set, and the last line shown.
void animationWindowCreated(Kivo& kivo, AnimationWindow& window);
// The timer's tick: plays the sequence again and again until the switch goes off, then
// closes the window. Runs once per opening of the window.
void playJokeSequence(Kivo& kivo, AnimationWindow& window);

}  // namespace kivo
