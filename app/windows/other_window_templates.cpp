#include "window_template.h"

namespace kivo {

namespace {

using K = ControlKind;

constexpr ControlTemplate kAnimationControls[] = {
    {"animationPicture", "动画图片框", K::PicBox, "", 1, 18, 103, 110},
    {"jokeTimer", "时钟2", K::Timer, ""},
    {"animationBalloon", "气球提示框1", K::QTip, ""},
    // The template's second clock has no handler and is never started.
    {"", "时钟1", K::Timer, ""},
};

constexpr ControlTemplate kFeedbackControls[] = {
    {"feedbackPicture", "图片框2", K::PicBox, "", 1, 3, 48, 48},
    {"feedbackFrame", "外形框1", K::ShapeBox, "", 22, 25, 249, 96},
    {"spaceButton", "空间按钮", K::SuperBtn, "feedbackFrame", 24, 13, 57, 57},
    {"sinaWeiboButton", "新浪微博按钮", K::SuperBtn, "feedbackFrame", 98, 13, 57, 57},
    {"tencentWeiboButton", "腾讯微博按钮", K::SuperBtn, "feedbackFrame", 172, 13, 57, 57},
    {"aboutButton", "关于按钮", K::SuperBtn, "feedbackFrame", 31, 70, 48, 22, "关于 ？", "关于"},
    {"moreButton", "更多按钮", K::SuperBtn, "feedbackFrame", 92, 70, 68, 22, "更多＞＞",
     "更多功能"},
    {"feedbackCancelButton", "取消按钮", K::SuperBtn, "feedbackFrame", 174, 70, 48, 22, "取消 ╳",
     "取消 "},
    {"feedbackBalloon", "气球提示框1", K::QTip, ""},
};

constexpr ControlTemplate kWebPlayerControls[] = {
    {"webFrame", "外形框1", K::ShapeBox, "", 24, 30, 800, 560},
    {"webView", "超文本浏览框1", K::HtmlViewer, "webFrame", 15, 15, 770, 530},
    {"webMinimizeButton", "最小化按钮", K::SuperBtn, "", 768, 4, 20, 20, "一", "最小化"},
    {"webCloseButton", "关闭按钮", K::SuperBtn, "", 800, 4, 20, 20, "╳", "关闭"},
    {"webPicButton", "图形按钮1", K::PicBtn, "", 0, 0, 50, 50},
};

constexpr WindowTemplate kAnimationWindow{"animationWindow",  50, 50, 116, 142, 0xFFFFFF,
                                          kAnimationControls, {}};
constexpr WindowTemplate kFeedbackWindow{"feedbackWindow",  50, 50, 290, 143, 0xFFFFFF,
                                         kFeedbackControls, {}};
constexpr WindowTemplate kWebPlayerWindow{"webPlayerWindow",  50, 50, 830, 595, 0xECECEC,
                                          kWebPlayerControls, {}};

}  // namespace

const WindowTemplate& animationWindowTemplate() {
    return kAnimationWindow;
}
const WindowTemplate& feedbackWindowTemplate() {
    return kFeedbackWindow;
}
const WindowTemplate& webPlayerWindowTemplate() {
    return kWebPlayerWindow;
}

}  // namespace kivo
