// The event bindings of the four windows: every control event the application handles, in
// one table per window.
#pragma once

namespace kivo {

class Kivo;
class AnimationWindow;
class FeedbackWindow;
class WebPlayerWindow;

void bindMainWindow(Kivo& kivo);
void bindAnimationWindow(Kivo& kivo, AnimationWindow& window);
void bindFeedbackWindow(Kivo& kivo, FeedbackWindow& window);
void bindWebPlayerWindow(Kivo& kivo, WebPlayerWindow& window);

}  // namespace kivo
