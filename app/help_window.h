// The help window: an about box, a word on what is coming, three links and cancel.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;

// The pages the three link buttons open in the default browser.
inline constexpr std::string_view kSpacePage = "https://kivo.example.org/";
inline constexpr std::string_view kSinaWeiboPage = "https://weibo.example.org/kivo";
inline constexpr std::string_view kTencentWeiboPage = "https://t.example.org/kivo";

void openHelpWindow(Kivo& kivo);
void showAbout(Kivo& kivo);
void showMore(Kivo& kivo);
void openSpacePage(Kivo& kivo);
void openSinaWeiboPage(Kivo& kivo);
void openTencentWeiboPage(Kivo& kivo);
void cancelHelp(Kivo& kivo);

// The about box, as HTML for the help window's balloon.
std::string_view aboutText();

}  // namespace kivo
