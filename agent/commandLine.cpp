// ixoAgent's command line, parsed by CLI11: options are accepted before and
// after the subcommand, "--" ends them, every subcommand answers --help, and
// a wrong command line is refused with one line and exit status 2 before
// anything is done.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <sstream>
#include <string>

#include "agent/cliCommands.h"

namespace agent {

namespace {

const char kSubcommandFooter[] =
    "The global options (see 'ixoAgent --help') may stand before or after the\n"
    "command; '--' ends the options, so that a value may begin with '-'.";

// Usage first, then what the command does, its arguments, options and
// subcommands.
class HelpFormat : public CLI::Formatter {
public:
    HelpFormat() {
        label("Usage", "usage");
        label("SUBCOMMAND", "COMMAND");
        label("SUBCOMMANDS", "COMMANDS");
        label("Positionals", "Arguments");
        label("REQUIRED", "");
        column_width(32);
    }

    // In a list of commands, each says what it is in its first line.
    std::string make_subcommand(const CLI::App *sub) const override {
        std::ostringstream out;
        const std::string &description = sub->get_description();
        CLI::detail::format_help(out, sub->get_display_name(true),
                                 description.substr(0, description.find('\n')), column_width_);
        return out.str();
    }

    std::string make_help(const CLI::App *app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) {
            return make_expanded(app);
        }
        std::ostringstream out;
        out << make_usage(app, name) << '\n'
            << make_description(app) << make_positionals(app) << make_groups(app, mode)
            << make_subcommands(app, mode) << '\n'
            << make_footer(app);
        return out.str();
    }
};

// "ixoAgent registry set": the subcommands the parse reached.
std::string reachedCommand(const CLI::App &root) {
    std::string name = root.get_name();
    for (const CLI::App *app = &root; !app->get_subcommands().empty();) {
        app = app->get_subcommands().front();
        name += " " + app->get_name();
    }
    return name;
}

std::string oneLine(std::string text) {
    for (char &c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

CommandLine::CommandLine()
    : root_(std::make_unique<CLI::App>(
          "Runs management commands and the device services of libIxoPlatformOs, on a\n"
          "simulated thin client unless --real-device is given.",
          "ixoAgent")) {
    root_->formatter(std::make_shared<HelpFormat>());
    root_->set_help_flag("-h,--help", "show this text and exit");
    // The global options are taken wherever they stand.
    root_->fallthrough();
    root_->require_subcommand(0, 1);
    root_->footer(
        "Exit status: 0 when the command succeeded, 1 when it failed, 2 when it could not\n"
        "be run (a wrong command line, a command file or device that is not usable).\n"
        "'ixoAgent COMMAND --help' describes each command.");
}

CommandLine::~CommandLine() = default;

CLI::App *CommandLine::add(CLI::App &parent, const std::string &name,
                           const std::string &description, Needs needs, CliAction action) {
    CLI::App *command = parent.add_subcommand(name, description);
    command->group("Commands");
    command->footer(kSubcommandFooter);
    commands_[command] = Command{needs, std::move(action)};
    return command;
}

CLI::App *CommandLine::addGroup(CLI::App &parent, const std::string &name,
                                const std::string &description) {
    CLI::App *group = parent.add_subcommand(name, description);
    group->group("Commands");
    group->footer(kSubcommandFooter);
    group->require_subcommand(1);
    return group;
}

CommandLine::Outcome CommandLine::parse(int argc, char **argv) {
    try {
        root_->parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        std::fputs(root_->help().c_str(), stdout);
        return Outcome::Done;
    } catch (const CLI::ParseError &error) {
        std::string text = oneLine(error.what());
        // A global option's own help is the top one.
        std::string option = text.substr(0, text.find(':'));
        bool global = root_->get_option_no_throw(option) != nullptr;
        cliFailure(text + " (see '" + (global ? root_->get_name() : reachedCommand(*root_)) +
                   " --help')");
        return Outcome::Refused;
    }
    return Outcome::Run;
}

const CommandLine::Command *CommandLine::chosen() const {
    for (const CLI::App *app = root_.get(); !app->get_subcommands().empty();) {
        app = app->get_subcommands().front();
        auto found = commands_.find(app);
        if (found != commands_.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

}  // namespace agent
