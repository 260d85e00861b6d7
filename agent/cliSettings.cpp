// "settings" and "registry": the agent's settings and any registry value,
// read and written through the library's settings store. A value that is
// not there is reported as such, never printed as an empty one.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <memory>

#include "agent/cliCommands.h"
#include "host/registry/registry.h"

namespace agent {

namespace {

const char kTemporaryRegistry[] = "/tmp/system.conf";
const char kSettingsSection[] = "IxoSettings";
const char kLumSection[] = "lumsettings";

struct ValueArguments {
    std::string file;
    std::string section;
    std::string key;
    std::string value;
    bool create = false;
};

// 0 when the file holds the key, else the exit status, with the reason on
// standard error. The file is opened through the library, so that its test
// mode maps it as it maps every other open.
int checkPresent(const PlatformLibrary &library, const std::string &file,
                 const std::string &section, const std::string &key) {
    int handle = library.openRegistry(file.c_str());
    if (handle == 0) {
        return commandFailure("cannot open registry " + file + " (see the log)");
    }
    RegistryEntry entry = RegistryEntry::Found;
    bool known = lookUpRegistryEntry(handle, section, key, &entry);
    library.closeRegistry(handle);
    if (!known) {
        return commandFailure("cannot read registry " + file + " (see the log)");
    }
    switch (entry) {
    case RegistryEntry::Found:
        return 0;
    case RegistryEntry::NoFile:
        return commandFailure(file + ": no such file");
    case RegistryEntry::NoSection:
        return commandFailure(file + ": no such section [" + section + "]");
    case RegistryEntry::NoKey:
        break;
    }
    return commandFailure(file + ": no such key '" + key + "' in section [" + section + "]");
}

int printValue(int result, const char *value, const std::string &what) {
    if (result != 0) {
        return commandFailure("cannot read " + what + " (see the log)");
    }
    std::printf("%s\n", value);
    return 0;
}

int getSetting(const CliContext &context, const char *section, const std::string &name) {
    const PlatformLibrary &library = *context.library;
    int status = checkPresent(library, kTemporaryRegistry, section, name);
    if (status != 0) {
        return status;
    }
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    bool lum = std::strcmp(section, kLumSection) == 0;
    int result = lum ? library.lumSetting(name.c_str(), value)
                     : library.getSetting(name.c_str(), value);
    return printValue(result, value, std::string(lum ? "lum setting '" : "setting '") + name + "'");
}

int setSetting(const CliContext &context, const std::string &name, const std::string &wanted) {
    const PlatformLibrary &library = *context.library;
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    library.setSetting(name.c_str(), wanted.c_str());
    // The library reports no failed write: read the value back to know.
    if (library.getSetting(name.c_str(), value) != 0 || wanted != value) {
        return commandFailure("setting '" + name + "' was not stored (see the log)");
    }
    return 0;
}

int getRegistryValue(const CliContext &context, const ValueArguments &arguments) {
    const PlatformLibrary &library = *context.library;
    int status = checkPresent(library, arguments.file, arguments.section, arguments.key);
    if (status != 0) {
        return status;
    }
    int handle = library.openRegistry(arguments.file.c_str());
    if (handle == 0) {
        return commandFailure("cannot open registry " + arguments.file + " (see the log)");
    }
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    int result = library.registryGet(handle, value, arguments.section.c_str(),
                                     arguments.key.c_str(), "", sizeof value);
    library.closeRegistry(handle);
    return printValue(result, value, arguments.section + "/" + arguments.key);
}

int setRegistryValue(const CliContext &context, const ValueArguments &arguments) {
    const PlatformLibrary &library = *context.library;
    const std::string &file = arguments.file;
    int handle = library.openRegistry(file.c_str());
    if (handle == 0) {
        return commandFailure("cannot open registry " + file + " (see the log)");
    }
    // A typing error in the name must not leave a new registry behind.
    RegistryEntry entry = RegistryEntry::Found;
    if (!arguments.create &&
        (!lookUpRegistryEntry(handle, arguments.section, arguments.key, &entry) ||
         entry == RegistryEntry::NoFile)) {
        library.closeRegistry(handle);
        return commandFailure(entry == RegistryEntry::NoFile
                                  ? file + ": no such file (--create makes it)"
                                  : "cannot read registry " + file + " (see the log)");
    }
    int result = library.registrySet(handle, arguments.section.c_str(), arguments.key.c_str(),
                                     arguments.value.c_str());
    // A change made on the agent's word runs the device's registry-change hook.
    library.closeRegistryWithAction(handle);
    if (result != 0) {
        return commandFailure(arguments.section + "/" + arguments.key +
                              " was not stored (see the log)");
    }
    return 0;
}

void defineSettingsGroup(CommandLine &commandLine) {
    CLI::App *settings = commandLine.addGroup(
        commandLine.root(), "settings",
        "read or write the agent's settings\n"
        "(section \"IxoSettings\" of /tmp/system.conf, and \"lumsettings\"),\n"
        "through the library's settings functions");
    auto arguments = std::make_shared<ValueArguments>();
    CLI::App *get = commandLine.add(
        *settings, "get",
        "print a setting\n"
        "of \"IxoSettings\"; one that is not there fails (exit status 1), an\n"
        "empty one prints an empty line",
        Needs::Library, [arguments](const CliContext &context) {
            return getSetting(context, kSettingsSection, arguments->key);
        });
    get->add_option("NAME", arguments->key, "the setting's name")->required()->type_name("");
    CLI::App *set = commandLine.add(*settings, "set", "store a setting", Needs::Library,
                                    [arguments](const CliContext &context) {
                                        return setSetting(context, arguments->key,
                                                          arguments->value);
                                    });
    set->add_option("NAME", arguments->key, "the setting's name")->required()->type_name("");
    set->add_option("VALUE", arguments->value, "its value (after '--' when it begins with '-')")
        ->required()
        ->type_name("");
    CLI::App *lum = commandLine.add(
        *settings, "lum",
        "print a setting of \"lumsettings\"\n"
        "one that is not there fails (exit status 1)",
        Needs::Library,
        [arguments](const CliContext &context) {
            return getSetting(context, kLumSection, arguments->key);
        });
    lum->add_option("NAME", arguments->key, "the setting's name")->required()->type_name("");
}

void defineRegistryGroup(CommandLine &commandLine) {
    CLI::App *registry = commandLine.addGroup(
        commandLine.root(), "registry",
        "read or write any registry value\n"
        "by the registry file's device path, through the library's registry\n"
        "layer");
    auto arguments = std::make_shared<ValueArguments>();
    auto place = [&arguments](CLI::App *command) {
        command->add_option("FILE", arguments->file, "the registry file's device path")
            ->required()
            ->type_name("");
        command->add_option("SECTION", arguments->section, "the section")
            ->required()
            ->type_name("");
        command->add_option("KEY", arguments->key, "the key")->required()->type_name("");
    };
    place(commandLine.add(*registry, "get",
                          "print a value\n"
                          "a file, section or key that is not there fails (exit status 1),\n"
                          "an empty value prints an empty line",
                          Needs::Library, [arguments](const CliContext &context) {
                              return getRegistryValue(context, *arguments);
                          }));
    CLI::App *set = commandLine.add(
        *registry, "set",
        "store a value\n"
        "the file is closed with p_CloseAction, so the device's registry-change\n"
        "hook runs. A file that is not there is refused unless --create.",
        Needs::Library,
        [arguments](const CliContext &context) { return setRegistryValue(context, *arguments); });
    place(set);
    set->add_option("VALUE", arguments->value, "the value (after '--' when it begins with '-')")
        ->required()
        ->type_name("");
    set->add_flag("--create", arguments->create, "make the file when it is not there");
}

}  // namespace

void defineSettings(CommandLine &commandLine) {
    defineSettingsGroup(commandLine);
    defineRegistryGroup(commandLine);
}

}  // namespace agent
