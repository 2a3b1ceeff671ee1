#include "companion_message.h"

#include "kivo.h"

namespace kivo {

void showCompanionMessage(Kivo& kivo, std::string_view text) {
    MainWindow& window = kivo.mainWindow();
    window.tipBalloon->popUp(window.left() + 445, window.top() + 10, text, -1);
}

}  // namespace kivo
