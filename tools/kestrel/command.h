// The kestrel tool's commands: one table row per command, found by name.
#pragma once
#include <string>

struct ToolCommand {
  const char* name;     // first word after "kestrel"
  const char* summary;  // one line for "kestrel --help"
  int (*run)(int argc, char** argv);  // argv[0] is the command name; returns the exit status
};

// The table lives in commands.cpp; a new command adds one row there.
extern const ToolCommand kToolCommands[];
extern const int kToolCommandCount;

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the work ran but did not succeed (nothing decoded, say)
constexpr int kExitUsage = 2;    // bad input: arguments, files, devices

// Prints "kestrel: SUBJECT: REASON" on standard error and returns kExitUsage.
int Fail(const std::string& subject, const std::string& reason);
