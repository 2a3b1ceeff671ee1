// The companion animation window, the help window and the web music window. Every control is
// a member named by its handle.
#pragma once

#include "html_viewer.h"
#include "pic_box.h"
#include "q_tip.h"
#include "shape_box.h"
#include "super_btn.h"
#include "template_window.h"
#include "tick_timer.h"

namespace kivo {

class AnimationWindow : public TemplateWindow {
    Q_OBJECT
public:
    explicit AnimationWindow(QWidget* owner);

    runtime::PicBox* const animationPicture;
    runtime::Timer* const jokeTimer;
    runtime::QTip* const animationBalloon;
};

class FeedbackWindow : public TemplateWindow {
    Q_OBJECT
public:
    explicit FeedbackWindow(QWidget* owner);

    runtime::PicBox* const feedbackPicture;
    runtime::ShapeBox* const feedbackFrame;
    runtime::SuperBtn* const spaceButton;
    runtime::SuperBtn* const sinaWeiboButton;
    runtime::SuperBtn* const tencentWeiboButton;
    runtime::SuperBtn* const aboutButton;
    runtime::SuperBtn* const moreButton;
    runtime::SuperBtn* const feedbackCancelButton;
    runtime::QTip* const feedbackBalloon;
};

class WebPlayerWindow : public TemplateWindow {
    Q_OBJECT
public:
    explicit WebPlayerWindow(QWidget* owner);

    runtime::ShapeBox* const webFrame;
    runtime::HtmlViewer* const webView;
    runtime::SuperBtn* const webMinimizeButton;
    runtime::SuperBtn* const webCloseButton;
    runtime::PicBtn* const webPicButton;
};

}  // namespace kivo
