#include "animation_show.h"

#include <QPointer>
#include <cstdio>

#include "kivo.h"
#include "other_windows.h"
#include "program.h"
#include "pumping_wait.h"
#include "random_range.h"
#include "skin.h"

namespace kivo {

const JokeStep kJokeSteps[15] = {
    {"人生如梦，我总失眠；\r\n\r\n人生如戏，我总笑场；\r\n\r\n人生如歌，我总跑调。", 1, 3000},
    {"摇啊摇，摇到奈何桥", 2, 3000},
    {"别回头，哥恋的只是你的背影。.", 3, 3000},
    {"别惹我，否则我会让你死得很有节奏感。.", 4, 3000},
    {"你脑袋别晃荡好吗。全是水咣当咣当的。", 5, 3000},
    {"呜呜呜~~~~求掌声！！！", 6, 3000},
    {"有心娶妻，无心恋爱.....", 7, 3000},
    {"如果这都不算爱，那我宁愿卖白菜。啦啦啦.....", 8, 3000},
    {"瞅你那五官长的 那叫个艺术 都赶上恐怖片er了\r\n\r\n用你的2B铅笔来描绘你的人生。", 9, 3000},
    {"滚！！连个掌声都没有！！\r\n\r\n没音乐细胞的脓包.....", 10, 2000},
    {"要不是打不过你，早就跟你翻脸了。", 0, 3000},
    {"不要盯姐看，姐以为你犯贱\r\n\r\n。不要跟姐狂，姐告诉你老娘。\r\n\r\n别跟姐装英雄，姐知道你很"
     "怂。",
     11, 4000},
    {"老娘变天鹅的时候，你还是个蛋呢", 0, 3000},
    {"哈哈~~我跳，我跳，跳，跳，跳.....", 12, 3000},
    {"我爸刚弄死他(啊~)\r\n\r\n                 刚弄死他！~喔~喔~喔~喔~喔.....", 13, 5000},
};

namespace {

constexpr int kFirstTickMs = 5000;
constexpr int kBesideMainDx = 8;
constexpr int kBesideMainDy = 170;

// The figure's balloon points at the middle of its head.
void sayLine(AnimationWindow& window, std::string_view line) {
    const runtime::PicBox& picture = *window.animationPicture;
    window.animationBalloon->popUp(window.left() + picture.width() / 2, window.top() + picture.y(),
                                   line, -1);
}

bool animationOn(Kivo& kivo) {
    return kivo.mainWindow().animationButton->caption() == kAnimationOnCaption;
}

QByteArray dancePicture(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "dance%02d.gif", number);
    return skinPicture(name);
}

}  // namespace

void animationWindowCreated(Kivo& kivo, AnimationWindow& window) {
    window.makeLayered();
    // Until the first joke moves it, the figure stands beside the main window, below the
    // companion's balloon, rather than over the main window's corner.
    const MainWindow& main = kivo.mainWindow();
    window.move(main.left() + main.width() + kBesideMainDx, main.top() + kBesideMainDy);
    // Kivo speaks from above its head, so the balloon never hides the dance.
    window.animationBalloon->setPrefersAbove(true);
    window.jokeTimer->setIntervalMs(kFirstTickMs);
    sayLine(window, kJokeSteps[14].line);
}

void playJokeSequence(Kivo& kivo, AnimationWindow& window) {
    window.jokeTimer->setIntervalMs(0);
    // The window may go while we wait (the program ending); nothing is touched then.
    QPointer<AnimationWindow> alive(&window);
    while (animationOn(kivo)) {
        for (const JokeStep& step : kJokeSteps) {
            const int top = runtime::randomInRange(20, runtime::screenHeight() - 50);
            const int left = runtime::randomInRange(20, runtime::screenWidth() - 30);
            window.move(left, top);
            if (step.picture != 0) {
                window.animationPicture->setPicture(dancePicture(step.picture));
            }
            sayLine(window, step.line);
            runtime::pumpingWait(step.delayMs);
            if (alive.isNull()) return;
            if (!animationOn(kivo)) break;
        }
    }
    kivo.animationWindow().unload();
}

}  // namespace kivo
