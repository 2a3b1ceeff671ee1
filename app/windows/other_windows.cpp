#include "other_windows.h"

#include "skin.h"

namespace kivo {

AnimationWindow::AnimationWindow(QWidget* owner)
    : TemplateWindow(animationWindowTemplate(), owner),
      animationPicture(controls_.get<runtime::PicBox>("animationPicture")),
      jokeTimer(controls_.get<runtime::Timer>("jokeTimer")),
      animationBalloon(controls_.get<runtime::QTip>("animationBalloon")) {}

FeedbackWindow::FeedbackWindow(QWidget* owner)
    : TemplateWindow(feedbackWindowTemplate(), owner),
      feedbackPicture(controls_.get<runtime::PicBox>("feedbackPicture")),
      feedbackFrame(controls_.get<runtime::ShapeBox>("feedbackFrame")),
      spaceButton(controls_.get<runtime::SuperBtn>("spaceButton")),
      sinaWeiboButton(controls_.get<runtime::SuperBtn>("sinaWeiboButton")),
      tencentWeiboButton(controls_.get<runtime::SuperBtn>("tencentWeiboButton")),
      aboutButton(controls_.get<runtime::SuperBtn>("aboutButton")),
      moreButton(controls_.get<runtime::SuperBtn>("moreButton")),
      feedbackCancelButton(controls_.get<runtime::SuperBtn>("feedbackCancelButton")),
      feedbackBalloon(controls_.get<runtime::QTip>("feedbackBalloon")) {
    feedbackFrame->setBorderColour(kSkinBorder);
    feedbackFrame->setFillColour(kSkinPanelFill);
}

WebPlayerWindow::WebPlayerWindow(QWidget* owner)
    : TemplateWindow(webPlayerWindowTemplate(), owner),
      webFrame(controls_.get<runtime::ShapeBox>("webFrame")),
      webView(controls_.get<runtime::HtmlViewer>("webView")),
      webMinimizeButton(controls_.get<runtime::SuperBtn>("webMinimizeButton")),
      webCloseButton(controls_.get<runtime::SuperBtn>("webCloseButton")),
      webPicButton(controls_.get<runtime::PicBtn>("webPicButton")) {
    webFrame->setBorderColour(kSkinBorder);
    webFrame->setFillColour(kSkinPanelFill);
}

}  // namespace kivo
