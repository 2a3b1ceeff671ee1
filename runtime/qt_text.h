// The application's texts are UTF-8 byte strings; Qt's are QStrings. The two conversions
// every control and the window layer use.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kivo::runtime {

inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline std::string fromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace kivo::runtime
