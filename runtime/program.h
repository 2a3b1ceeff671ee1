// The running program: where its file is, the processes beside it, and how it ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kivo::runtime {

// The folder that holds the program file, without a trailing separator.
std::string runDirectory();
// The bare file name of the program file.
std::string programFileName();

struct ProcessEntry {
    int pid = 0;
    std::string exeFileName;  // bare file name, no folder
    int uid = -1;             // the user the process runs as; -1 when unknown
};
// Every running process the system lists, in its order; empty when the list cannot be read.
std::vector<ProcessEntry> processList();

// Work that must run before the program ends, such as removing the held player. Hooks run in
// reverse order of registration.
void addEndProgramHook(std::function<void()> hook);

// Runs the clean-up (the hooks, then the sound clips are stopped) and ends the process at once
// with exit code 0. Nothing is saved.
[[noreturn]] void endProgram();

// Tests replace how the process ends (the default is _exit); the replacement must not return.
void setProcessTerminator(std::function<void(int)> terminate);

// The primary display, in pixels.
int screenWidth();
int screenHeight();

}  // namespace kivo::runtime
