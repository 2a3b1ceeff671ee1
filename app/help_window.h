// The help window: an about box, a word on what is coming, three links and cancel.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

class Kivo;

// The user guide that ships in the program's data folder, as a file address, optionally at one
// of its sections. "关于" opens it, and so do the three link buttons: Kivo has no web space or
// micro-blog of its own, so they lead to the guide and its feedback section.
std::string userGuidePage(std::string_view section = {});
inline constexpr std::string_view kFeedbackSection = "feedback";

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
