#pragma once
#include <string>
#include <utility>

// What a command says back: accepted, or refused with the text and caption the window shows
// for it. A refused command has changed nothing.
struct CommandResult {
    bool ok = true;
    std::string text;
    std::string caption;

    static CommandResult Refused(std::string text, std::string caption = "") {
        return {false, std::move(text), std::move(caption)};
    }
};
