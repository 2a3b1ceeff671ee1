#include "companion_switches.h"

#include "companion_message.h"
#include "kivo.h"
#include "pumping_wait.h"

namespace kivo {

namespace {
// How long the farewell stays readable before the balloon turns invisible.
constexpr int kFarewellMs = 1000;
}  // namespace

void toggleMessages(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (window.tipsButton->caption() != kMessagesOnCaption) {
        window.tipsButton->setCaption(kMessagesOnCaption);
        window.tipsStatusLabel->setCaption("提示 √");
        window.tipBalloon->setTransparency(kMessagesOnTransparency);
        showCompanionMessage(kivo, "↖(^ω^)↗     哈哈哈哈~~~~\r\n\r\n我又可以为您服务了！oh~Yeah~");
    } else {
        window.tipsButton->setCaption(kMessagesOffCaption);
        window.tipsStatusLabel->setCaption("提示 ╳");
        showCompanionMessage(
            kivo, " 呜呜呜呜~~~555~~~....\r\n\r\n我无私为您服务！现在竟抛弃我！I 恨 you！");
        runtime::pumpingWait(kFarewellMs);
        // Switched on again during the wait: the greeting must stay visible.
        if (window.tipsButton->caption() == kMessagesOffCaption) {
            window.tipBalloon->setTransparency(kMessagesOffTransparency);
        }
    }
}

}  // namespace kivo
