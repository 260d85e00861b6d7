// The agent's registry store: the C primitives the library calls (reg_open ...
// reg_close_action, declared in include/ixo/agent.h) and C++ helpers for
// main.cpp and the tests. File format: host/registry/registryFormat.h.
//
// Files are device paths, resolved under the agent's device root. A symbolic
// link at that path (owned by root or by this user) is followed when the
// handle is opened, so writes go to the file it names. reg_open succeeds for a
// file that does not exist yet when its directory exists; the first write
// creates it with mode 0644. A file that exists but is not a valid registry
// makes reg_open fail; it is left untouched and the log says
// "<device path>:<line>: <reason>".
//
// Reading: every operation looks at the file again (inode, size, modification
// time) and re-reads it when it changed, so handles on one file, and other
// processes, see each other's writes. reg_get copies at most 1000 characters
// and a NUL; a value longer than that (written by hand) fails the call
// instead. On any failure the buffer holds an empty string. Results: 0 found
// or default copied, 1 failure.
//
// Writing: reg_set and reg_del change the file atomically under an exclusive
// advisory lock, kept in a folder that only the agent's user can enter
// ("/home/root/.registry-locks" under the device root; test mode's copies have
// ".registry-locks" beside them). A writer waits at most registryLockWait()
// for it, then fails. The file is re-read under the lock, the whole new
// content goes to ".<name>.tmpXXXXXX" in the same directory,
// which gets the old file's mode and owner, is synced and renamed over the old
// file, and the directory is synced. A killed writer leaves the old file or the
// new one; its stray temporary file is removed by the next write. Every other
// line of the file stays byte for byte as it was. A write that changes nothing
// writes nothing. Results: 0 done (and on disk), -1 refused or failed, with the
// reason logged; a refused write leaves the file untouched.
//
// reg_del(handle, name) removes every section of that name: its header and
// all lines up to the next section, comments and blank lines included.
// Removing a section that is not there succeeds and writes nothing.
//
// Handles are positive and never reused; 0, negative, unknown and closed
// handles fail every call. Closing: every write is on disk when reg_set or
// reg_del returns, so no close has anything left to save.
//   reg_close, reg_close_no_action: release the handle.
//   reg_close_action: releases the handle, then runs the device's
//     registry-change hook, "/etc/registry.d/changed", with the registry's
//     device path as its one argument, when that file exists under the device
//     root and is executable. A failing hook is logged; the close still
//     succeeds.
#pragma once

#include <chrono>
#include <string>

namespace agent {

// Runs the hook's command line, returning what system(3) would. The line is
// the hook's device path and the registry's device path, each single-quoted.
// nullptr (the default) means system(3) on the real device; on a simulated
// device the hook is then not run (it would be the host's), so a runner that
// runs lines inside the device must be set there.
using HookRunner = int (*)(const char *commandLine);
void setHookRunner(HookRunner runner);

// Registry test mode works on copies of the registries on this machine,
// under $HOME/.v6_test_dir: registry paths inside that host directory are
// opened as they are, not under the device root. "" (the default) turns
// this off.
void setHostRegistryDirectory(const std::string &directory);

// How long a registry write waits for another writer's lock (10 s unless
// set) before it fails.
void setRegistryLockWait(std::chrono::milliseconds wait);
std::chrono::milliseconds registryLockWait();

// What the file of an open registry handle holds at section and key: the
// registry primitives read an absent key as its default, and a command line
// must tell "absent" from "empty".
enum class RegistryEntry { Found, NoFile, NoSection, NoKey };
// False (the reason logged) when the handle is not open or its file cannot
// be read.
bool lookUpRegistryEntry(int handle, const std::string &section, const std::string &key,
                         RegistryEntry *entry);

// One-shot access for main.cpp and the tests, with the rules of the C
// primitives. False with a reason in error (when given) on failure; registryGet
// also fails when the key is absent.
bool registryGet(const std::string &file, const std::string &section, const std::string &key,
                 std::string *value, std::string *error);
bool registrySet(const std::string &file, const std::string &section, const std::string &key,
                 const std::string &value, std::string *error);
bool registryDeleteSection(const std::string &file, const std::string &section, std::string *error);

}  // namespace agent
