// From the start of the program to the ready main window.
#pragma once

#include <string>
#include <vector>

#include "program.h"

namespace kivo {

class Kivo;

// The main window's created event: one copy only, the layered shape, the themed style, the
// volume, the welcome, the first playlist and the start-up sound, in this order.
void startUp(Kivo& kivo);

// Whether another process of the user `ownUid` runs a program file of the same name as ours;
// `ownName` counts this process too, so two equal names mean another copy.
bool anotherCopyRuns(const std::vector<runtime::ProcessEntry>& processes,
                     const std::string& ownName, int ownUid);

// When another copy of the user's runs and answers, hands it the files of the command line
// and ends the program at once, silently. Otherwise this copy is the one later copies find.
void checkSingleInstance(Kivo& kivo);

// One look for every window of the program, present and future, with a font that has the
// Chinese characters.
void applyThemedStyle();

// Connects the volume slider to the speakers' master volume.
void setUpVolume(Kivo& kivo);

}  // namespace kivo
