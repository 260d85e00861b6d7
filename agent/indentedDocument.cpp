#include "agent/indentedDocument.h"

#include <cstring>

namespace agent {

std::string fieldText(const char *field) {
    return std::string(field, strnlen(field, IXO_TEXT_FIELD_SIZE));
}

void IndentedDocument::raw(const std::string &text) {
    ok = ok && addDataToCharBuffer(buffer.get(), text.data(), static_cast<int>(text.size())) == 0;
}

void IndentedDocument::text(int depth, const char *name, const std::string &value) {
    CharBufferPtr content(createCharBuffer());
    raw(std::string(2 * depth, ' '));
    ok = ok && content &&
         addDataToCharBuffer(content.get(), value.data(), static_cast<int>(value.size())) == 0 &&
         addCharBufferElement(buffer.get(), name, content.get()) == 0;
    raw("\n");
}

void IndentedDocument::number(int depth, const char *name, uint32_t value) {
    raw(std::string(2 * depth, ' '));
    ok = ok && addIntegerElement(buffer.get(), name, static_cast<int>(value)) == 0;
    raw("\n");
}

void IndentedDocument::open(int depth, const char *name) {
    raw(std::string(2 * depth, ' '));
    ok = ok && addOpeningTag(buffer.get(), name) == 0;
    raw("\n");
}

void IndentedDocument::close(int depth, const char *name) {
    raw(std::string(2 * depth, ' '));
    ok = ok && addClosingTag(buffer.get(), name) == 0;
    raw("\n");
}

void addInterfaceElement(IndentedDocument &document, int depth, const std::string &section,
                         const NetworkInterface &net, FieldView view) {
    int inner = depth + 1;
    document.open(depth, "networkInterface");
    document.text(inner, "section", section);
    document.text(inner, "mac", view(net.mac));
    document.number(inner, "ipAssignmentType", net.ipAssignmentType);
    document.text(inner, "address", view(net.address));
    document.text(inner, "netmask", view(net.netmask));
    document.text(inner, "gateway", view(net.gateway));
    document.number(inner, "interfaceType", net.interfaceType);
    document.text(inner, "dhcpServer", view(net.dhcpServer));
    document.number(inner, "dhcpEnabled", net.dhcpEnabled);
    document.number(inner, "active", net.active);
    document.number(inner, "onboard", net.onboard);
    document.number(inner, "isPrimary", net.isPrimary);
    document.number(inner, "speedSetting", net.speedSetting);
    document.number(inner, "linkSpeed", net.linkSpeed);
    document.number(inner, "duplexSetting", net.duplexSetting);
    document.number(inner, "linkDuplex", net.linkDuplex);
    document.list(inner, "dnsServers", "dnsServer", net.dnsServers, view);
    document.list(inner, "dnsSuffixes", "dnsSuffix", net.dnsSuffixes, view);
    document.list(inner, "winsServers", "winsServer", net.winsServers, view);
    document.close(depth, "networkInterface");
}

}  // namespace agent
