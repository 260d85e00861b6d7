// The command suites: command records built as the agent builds them, the
// handlers' outputs, and a simulated device per test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/host.h"
#include "ixo/commands.h"
#include "ixo/guards.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace commandtest {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Lines = std::vector<std::string>;
using Parameters = std::vector<std::pair<std::string, std::string>>;
using Text = std::optional<std::string>;

// Logged when a command ends a lockout that was never begun.
const char notLockedOut[] = "User not currently locked out";

// What a handler handed back; an output it left null is nullopt.
struct Outcome {
    Outcome(int result = 0, Text errorClass = {}, Text message = {}, Text response = {})
        : result(result), errorClass(errorClass), message(message), response(response) {}
    bool operator==(const Outcome &o) const {
        return std::tie(result, errorClass, message, response) ==
               std::tie(o.result, o.errorClass, o.message, o.response);
    }
    int result;
    Text errorClass, message, response;
};

inline std::ostream &operator<<(std::ostream &out, const Outcome &outcome) {
    auto text = [](const Text &value) { return value ? "\"" + *value + "\"" : "null"; };
    return out << "{" << outcome.result << ", " << text(outcome.errorClass) << ", "
               << text(outcome.message) << ", " << text(outcome.response) << "}";
}

// Runs the handler and frees its outputs as the agent does.
inline Outcome runHandler(CommandHandlerFn handler, IxoCommand *command) {
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    int result = handler(command, &response, &errorClass, &message);
    auto text = [](const char *value) { return value != nullptr ? Text(value) : std::nullopt; };
    Outcome outcome(result, text(errorClass), text(message));
    if (response != nullptr) {
        outcome.response = agent::charBufferString(response);
    }
    std::free(errorClass);
    std::free(message);
    freeAllCharBuffers(response);
    return outcome;
}

inline CommandHandlerFn handlerFor(const std::string &name) {
    PlatformCommandHandler *entry = getPlatformCommandHandlers();
    while (entry->handler != nullptr && name != entry->name) {
        ++entry;
    }
    return entry->handler;
}

// The command as the agent parses it from a command file; parametersXml is
// the inside of <parameters>.
inline agent::CommandPtr commandFromXml(const std::string &name, const std::string &parametersXml) {
    std::string error;
    agent::CommandPtr command = agent::parseCommand(
        "<command name=\"" + name + "\"><parameters>" + parametersXml + "</parameters></command>",
        "test.xml", &error);
    EXPECT_TRUE(command) << error;
    return command;
}

// The same from (parameter, text) pairs.
inline agent::CommandPtr makeCommand(const std::string &name, const Parameters &parameters) {
    std::string xml;
    for (const auto &parameter : parameters) {
        xml += "<" + parameter.first + ">" + support::xmlText(parameter.second) + "</" +
               parameter.first + ">";
    }
    return commandFromXml(name, xml);
}

// Runs the table's handler for the command's name.
inline Outcome runCommand(const std::string &name, const agent::CommandPtr &command) {
    CommandHandlerFn handler = handlerFor(name);
    EXPECT_NE(handler, nullptr) << name;
    return command && handler != nullptr ? runHandler(handler, command.get()) : Outcome{};
}
inline Outcome runXml(const std::string &name, const std::string &parametersXml) {
    return runCommand(name, commandFromXml(name, parametersXml));
}
inline Outcome run(const std::string &name, const Parameters &parameters) {
    return runCommand(name, makeCommand(name, parameters));
}

// A simulated device per test; the runner is put back and a lockout left up
// is ended afterwards.
class HandlerTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        ixoSetCommandRunner(sim::recordingRunner);
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        support::SimDeviceTest::TearDown();
    }
    bool exists(const std::string &devicePath) const { return support::exists(hostPath(devicePath)); }
    std::string read(const std::string &devicePath) const {
        return support::readFile(hostPath(devicePath));
    }
    void write(const std::string &devicePath, const std::string &text = "x") const {
        support::writeFile(hostPath(devicePath), text);
    }
};

}  // namespace commandtest
