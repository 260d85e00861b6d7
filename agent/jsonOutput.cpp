#include "agent/jsonOutput.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "agent/commandOutcome.h"
#include "agent/eepromLayer.h"
#include "agent/eepromValues.h"
#include "agent/waitStatus.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

using json = nlohmann::ordered_json;

json shownText(const std::optional<std::string> &text) {
    return text ? json(ixo::hideUrlPasswords(*text)) : json(nullptr);
}

json shownText(const char *text) {
    return text != nullptr ? json(ixo::hideUrlPasswords(text)) : json(nullptr);
}

template <typename Entry>
json entryList(const Entry *first, FieldView view) {
    json list = json::array();
    for (const Entry *entry = first; entry != nullptr; entry = entry->next) {
        list.push_back(view(reinterpret_cast<const char *>(entry)));
    }
    return list;
}

// The status and texts of the command's result document.
void addResponseFields(json &out, const CommandOutcome &outcome) {
    const ResponseLayout *layout = responseLayout(outcome.command);
    if (layout == nullptr || !outcome.response) {
        return;
    }
    ResponseFields fields = responseFields(*outcome.response);
    std::optional<std::string> statusText = responseField(fields, layout->statusElement);
    std::optional<int> status = statusText ? parseInteger(*statusText) : std::nullopt;
    WaitStatus meaning = status ? decodeWaitStatus(*status) : WaitStatus{};
    out[layout->statusElement] = status ? json(*status) : json(nullptr);
    out["exitStatus"] = meaning.exitStatus ? json(*meaning.exitStatus) : json(nullptr);
    out["signal"] = meaning.signal ? json(*meaning.signal) : json(nullptr);
    for (const char *element : layout->textElements) {
        out[element] = shownText(responseField(fields, element));
    }
}

}  // namespace

json outcomeJson(const CommandOutcome &outcome) {
    json out = json::object();
    out["command"] = outcome.command;
    out["result"] = outcome.result;
    out["errorClass"] = shownText(outcome.errorClass);
    out["message"] = shownText(outcome.message);
    json reasons = json::array();
    for (const std::string &reason : outcome.reasons) {
        reasons.push_back(ixo::hideUrlPasswords(reason));
    }
    out["reasons"] = std::move(reasons);
    out["response"] = shownText(outcome.response);
    addResponseFields(out, outcome);
    return out;
}

json networkInterfaceJson(const std::string &section, const NetworkInterface &net,
                          FieldView view) {
    json out = json::object();
    out["section"] = section;
    out["mac"] = view(net.mac);
    out["ipAssignmentType"] = net.ipAssignmentType;
    out["address"] = view(net.address);
    out["netmask"] = view(net.netmask);
    out["gateway"] = view(net.gateway);
    out["interfaceType"] = net.interfaceType;
    out["dhcpServer"] = view(net.dhcpServer);
    out["dhcpEnabled"] = net.dhcpEnabled;
    out["active"] = net.active;
    out["onboard"] = net.onboard;
    out["isPrimary"] = net.isPrimary;
    out["speedSetting"] = net.speedSetting;
    out["linkSpeed"] = net.linkSpeed;
    out["duplexSetting"] = net.duplexSetting;
    out["linkDuplex"] = net.linkDuplex;
    out["dnsServers"] = entryList(net.dnsServers, view);
    out["dnsSuffixes"] = entryList(net.dnsSuffixes, view);
    out["winsServers"] = entryList(net.winsServers, view);
    return out;
}

json writeableMediumJson(const WriteableMediaEntry &medium, FieldView view) {
    json out = json::object();
    out["deviceName"] = view(medium.deviceName);
    out["ideChannel"] = medium.ideChannel;
    out["ideDrive"] = medium.ideDrive;
    out["partitionNumber"] = medium.partitionNumber;
    out["bootIndicator"] = medium.bootIndicator;
    out["partitionType"] = medium.partitionType;
    out["startSector"] = medium.startSector;
    out["sectorCount"] = medium.sectorCount;
    return out;
}

json eepromValueJson(const EepromValue &value) {
    json out = json::object();
    out["value"] = value.stored ? json(ixo::hideUrlPasswords(value.text)) : json(nullptr);
    out["stored"] = value.stored;
    if (value.checksum) {
        out["valid"] = value.validity == Validity::None ? json(nullptr)
                                                        : json(value.validity == Validity::Valid);
    }
    return out;
}

json eepromValuesJson(const std::vector<EepromValue> &values) {
    json out = json::object();
    for (const EepromValue &value : values) {
        out[value.key] = eepromValueJson(value);
    }
    return out;
}

json controllerJson(const Controller &controller) {
    json out = json::object();
    out["family"] = controller.family != nullptr ? json(controller.family->name) : json(nullptr);
    out["name"] = controller.name;
    out["ioBase"] = controller.ioBase;
    return out;
}

json pendingJson(const char *command, const char *response) {
    return json{{"command", shownText(command)}, {"response", shownText(response)}};
}

json resumeJson(const char *resumed, json outcome, const char *keptOutcome) {
    return json{{"resumed", resumed != nullptr ? json(resumed) : json(nullptr)},
                {"outcome", std::move(outcome)},
                {"keptOutcome", shownText(keptOutcome)}};
}

std::string jsonText(const json &value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace agent
