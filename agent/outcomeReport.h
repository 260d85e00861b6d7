// A command's outcome as "ixoAgent run" prints it: one "label: value" line
// each, the reasons of a failure without a message, the result document, and
// what a raw wait status in it means.
#pragma once

#include <cstdio>
#include <string>

#include "agent/commandOutcome.h"

namespace agent {

void printOutcomeText(const CommandOutcome &outcome, FILE *out);

// "commandExitCode: 768 (exit status 3)" for a result document that holds a
// wait status, "" for any other.
std::string waitStatusLine(const CommandOutcome &outcome);

}  // namespace agent
