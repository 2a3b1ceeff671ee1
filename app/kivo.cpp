#include "kivo.h"

#include <utility>

#include "bindings.h"
#include "other_windows.h"
#include "program.h"
#include "single_instance.h"
#include "song_info.h"
#include "song_tooltips.h"

namespace kivo {

Kivo::Kivo(std::string programDir)
    : programDir_(std::move(programDir)),
      channel_(std::make_unique<InstanceChannel>()),
      songInfo_(std::make_unique<SongInfo>()),
      main_(std::make_unique<MainWindow>()),
      animation_([this] {
          auto* window = new AnimationWindow(nullptr);
          bindAnimationWindow(*this, *window);
          return window;
      }),
      feedback_([this] {
          auto* window = new FeedbackWindow(nullptr);
          bindFeedbackWindow(*this, *window);
          return window;
      }),
      webPlayer_([this] {
          auto* window = new WebPlayerWindow(nullptr);
          bindWebPlayerWindow(*this, *window);
          return window;
      }),
      endHookTarget_(std::make_shared<Kivo*>(this)) {
    bindMainWindow(*this);
    tooltips_ = std::make_unique<SongTooltips>(*this);
    // Ending the program removes the held player first, so the sound stops at once. The hook
    // outlives this object in the runtime's list, hence the shared target.
    runtime::addEndProgramHook([target = endHookTarget_] {
        if (*target != nullptr) (*target)->player().remove();
    });
}

Kivo::~Kivo() {
    *endHookTarget_ = nullptr;
    tooltips_.reset();
    animation_.unload();
    feedback_.unload();
    webPlayer_.unload();
}

void Kivo::start() {
    // Shown first, as every window is loaded: the balloons of the start-up belong to a window
    // that is on the screen.
    main_->show();
    emit main_->created();
}

}  // namespace kivo
