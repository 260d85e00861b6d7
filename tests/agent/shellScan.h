// Checks the command lines the agent ran on the simulated device for outside
// text that a shell would interpret. The tests feed tainted text (a command
// parameter, a registry section, a directory name) that starts with
// kTaintBegin, ends with kTaintEnd and holds, between them, the characters a
// shell acts on. Quoted as it must be, it reaches its program as one
// argument: one word of the line, every character of it taken literally.
#pragma once

#include <string>
#include <vector>

namespace e2e {

extern const char kTaintBegin[];
extern const char kTaintEnd[];
// The file that tainted text tries to create, in the shell's working
// directory, should a shell ever run it. Tainted text holds no slash, so that
// it also stands for one file or section name.
extern const char kInjectedName[];

// kTaintBegin, then middle, then kTaintEnd. The default middle tries every
// way into a shell: a closing quote, a command separator, command
// substitution both ways, a pipe, a redirection, a glob, a blank.
std::string tainted(const std::string &middle);
std::string tainted();
// Tainted text that can stand in a URL path: no blank, quote mark,
// backquote, pipe or redirection, since the URL would not be valid.
std::string taintedUrlText();

// What is unsafe in line: every place where tainted text is not one word
// taken literally from kTaintBegin to kTaintEnd, in the line itself or in a
// line it hands to a nested shell ("su -c LINE", "sh -c LINE"). Empty when
// the line is safe or holds no tainted text.
std::vector<std::string> unsafeTaint(const std::string &line);

}  // namespace e2e
