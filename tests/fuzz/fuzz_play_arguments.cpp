// Feeds arbitrary command lines to kivo-play's reader (the bytes split at NUL bytes into
// arguments). The arguments given after "--" all come back as files, unchanged and in order;
// every file taken is an argument given; the counts accepted are ones the player can use; and
// what was read, said again in full with "--" before the files, reads the same: no path is
// altered, dropped or taken for an option.
#include <cstdint>
#include <string>
#include <vector>

#include "arguments.h"

namespace {

bool sameOptions(const kivo::PlayOptions& a, const kivo::PlayOptions& b) {
    return a.repeat == b.repeat && a.startPercent == b.startPercent && a.quiet == b.quiet &&
           a.device == b.device && a.files == b.files;
}

kivo::PlayCommand parse(const std::vector<std::string>& arguments, kivo::PlayOptions* options,
                        std::string* problem) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return kivo::parsePlayArguments(int(arguments.size()), argv.data(), options, problem);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments{"kivo-play"};
    std::string piece;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(piece);
            piece.clear();
        } else {
            piece += char(data[i]);
        }
    }
    if (!piece.empty()) arguments.push_back(piece);

    // Everything after "--" is a file, whatever it looks like.
    const std::vector<std::string> given(arguments.begin() + 1, arguments.end());
    std::vector<std::string> named{"kivo-play", "--"};
    named.insert(named.end(), given.begin(), given.end());
    kivo::PlayOptions plain;
    std::string problem;
    const kivo::PlayCommand expected =
        given.empty() ? kivo::PlayCommand::Wrong : kivo::PlayCommand::Play;
    if (parse(named, &plain, &problem) != expected || plain.files != given) __builtin_trap();

    kivo::PlayOptions options;
    const kivo::PlayCommand command = parse(arguments, &options, &problem);
    if (command == kivo::PlayCommand::Wrong && problem.empty() && !options.files.empty()) {
        __builtin_trap();  // refused without a word
    }
    if (command != kivo::PlayCommand::Play) return 0;
    if (options.files.empty() || options.repeat < 0 || options.startPercent < 0 ||
        options.startPercent > 100) {
        __builtin_trap();
    }
    size_t next = 1;  // the files are a subsequence of the arguments
    for (const std::string& file : options.files) {
        while (next < arguments.size() && arguments[next] != file) ++next;
        if (next == arguments.size()) __builtin_trap();
        ++next;
    }

    std::vector<std::string> again{"kivo-play",
                                   "--repeat",
                                   std::to_string(options.repeat),
                                   "--start",
                                   std::to_string(options.startPercent),
                                   "--device",
                                   options.device};
    if (options.quiet) again.push_back("-q");
    again.push_back("--");
    again.insert(again.end(), options.files.begin(), options.files.end());
    kivo::PlayOptions reread;
    if (parse(again, &reread, &problem) != kivo::PlayCommand::Play ||
        !sameOptions(options, reread)) {
        __builtin_trap();
    }
    return 0;
}
