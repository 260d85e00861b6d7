// Building command records and calling handlers in the command suites.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "agent/ixoagent.h"
#include "ixo/commands.h"
#include <gtest/gtest.h>

namespace commandtest {

// Text as it stands in a command file.
inline std::string xmlText(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// A command record from (parameter, text) pairs, as the agent builds it from
// a command file.
inline agent::CommandPtr makeCommand(const std::string &name,
                                     const std::vector<std::pair<std::string, std::string>> &parameters) {
    std::string xml = "<command name=\"" + name + "\"><parameters>";
    for (const auto &parameter : parameters) {
        xml += "<" + parameter.first + ">" + xmlText(parameter.second) + "</" + parameter.first + ">";
    }
    xml += "</parameters></command>";
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "test.xml", &error);
    if (!command) {
        ADD_FAILURE() << error;
    }
    return command;
}

// What a handler handed back; frees the outputs as the agent does.
struct Outcome {
    int result = 0;
    std::string errorClass;
    std::string message;
    bool hasErrorClass = false;
    bool hasMessage = false;
    std::string response;
    bool hasResponse = false;
};

inline Outcome runHandler(CommandHandlerFn handler, IxoCommand *command) {
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    Outcome outcome;
    outcome.result = handler(command, &response, &errorClass, &message);
    outcome.hasErrorClass = errorClass != nullptr;
    outcome.hasMessage = message != nullptr;
    outcome.hasResponse = response != nullptr;
    outcome.errorClass = errorClass != nullptr ? errorClass : "";
    outcome.message = message != nullptr ? message : "";
    outcome.response = agent::charBufferString(response);
    std::free(errorClass);
    std::free(message);
    freeAllCharBuffers(response);
    return outcome;
}

inline CommandHandlerFn handlerFor(const std::string &name) {
    for (PlatformCommandHandler *entry = getPlatformCommandHandlers(); entry->handler != nullptr;
         ++entry) {
        if (name == entry->name) {
            return entry->handler;
        }
    }
    return nullptr;
}

}  // namespace commandtest
