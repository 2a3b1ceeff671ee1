// kivo-play's command line; see arguments.h.
#include "arguments.h"

#include <cerrno>
#include <cstdlib>

namespace kivo {
namespace {

bool parseInt(const char* text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

PlayCommand parsePlayArguments(int argc, const char* const* argv, PlayOptions* options,
                               std::string* problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") return PlayCommand::Help;
        if (arg == "--version") return PlayCommand::Version;
        const bool takesValue = arg == "--repeat" || arg == "--start" || arg == "--device";
        if (takesValue && !hasValue) {
            *problem = arg + " needs a value";
            return PlayCommand::Wrong;
        }
        if (arg == "-q" || arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--repeat") {
            if (!parseInt(argv[++i], &options->repeat) || options->repeat < 0) {
                *problem = "--repeat takes a count of 0 or more";
                return PlayCommand::Wrong;
            }
        } else if (arg == "--start") {
            if (!parseInt(argv[++i], &options->startPercent) || options->startPercent < 0 ||
                options->startPercent > 100) {
                *problem = "--start takes a percentage from 0 to 100";
                return PlayCommand::Wrong;
            }
        } else if (arg == "--device") {
            options->device = argv[++i];
        } else if (arg == "--") {
            for (++i; i < argc; ++i) options->files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            *problem = "unknown option " + arg;
            return PlayCommand::Wrong;
        } else {
            options->files.push_back(arg);
        }
    }
    return options->files.empty() ? PlayCommand::Wrong : PlayCommand::Play;
}

}  // namespace kivo
