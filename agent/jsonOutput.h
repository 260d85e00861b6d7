// ixoAgent's machine-readable output: the JSON values of what its commands
// report (a command's outcome, a network interface, what is kept across a
// reboot, the inventory's parts, the EEPROM's asset values), built with
// nlohmann::ordered_json so that the fields keep the order of the text and
// XML output, and the text they are printed as.
// Every text a command or the device wrote is shown as the text output shows
// it: passwords in URLs hidden.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

#include "agent/indentedDocument.h"
#include "ixo/platform_data.h"

namespace agent {

struct CommandOutcome;
struct Controller;
struct EepromValue;

// {"command", "result", "errorClass", "message", "reasons", "response"}, and
// for a result document that holds a wait status its value under the
// document's own name ("commandExitCode", "seconds") with "exitStatus" and
// "signal", and its text elements ("stdOut", "stdErr"). Absent texts are
// null.
nlohmann::ordered_json outcomeJson(const CommandOutcome &outcome);

// One interface with the fields of the network document: numbers as
// numbers, the DNS servers, DNS suffixes and WINS servers as arrays. view
// shows the record's text fields.
nlohmann::ordered_json networkInterfaceJson(const std::string &section,
                                            const NetworkInterface &net,
                                            FieldView view = fieldText);

// One writeable medium with the fields of its <medium> element: numbers as
// numbers. view shows the device name.
nlohmann::ordered_json writeableMediumJson(const WriteableMediaEntry &medium, FieldView view);

// One asset value of the EEPROM: {"value", "stored"}, and for a checksum
// "valid". A value the controller family does not store is null, and so is
// its validity: the library's fill is no value of the device's.
nlohmann::ordered_json eepromValueJson(const EepromValue &value);
// The values under their keys, in the order given.
nlohmann::ordered_json eepromValuesJson(const std::vector<EepromValue> &values);
// {"family", "name", "ioBase"}; family null when the agent knows none.
nlohmann::ordered_json controllerJson(const Controller &controller);

// {"command", "response"}: the command and the outcome kept across a reboot,
// each null when none is kept.
nlohmann::ordered_json pendingJson(const char *command, const char *response);

// What "resume" did: {"resumed", "outcome", "keptOutcome"}. resumed is
// "outcome" (the outcome kept across the reboot reported; keptOutcome is that
// document as it was kept, outcome its fields or null when it cannot be
// read), "command" (the interrupted command run again, outcome its outcome)
// or null (nothing was kept).
nlohmann::ordered_json resumeJson(const char *resumed, nlohmann::ordered_json outcome,
                                  const char *keptOutcome);

// The value as ixoAgent prints it: indented by two, ended by a newline.
// Bytes that are not UTF-8 show as U+FFFD.
std::string jsonText(const nlohmann::ordered_json &value);

}  // namespace agent
