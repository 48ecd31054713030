#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kalinda::test {

// Starts a server program (args[0], found on PATH) as a child that goes down with the test
// program however that ends; its output goes to `logFile`. With `runAs`, a child of root runs
// as that user (it is switched before the exec, so the server still follows its parent).
pid_t startChild(const std::vector<std::string>& args, const std::string& logFile,
                 const char* runAs = nullptr);
// True once the child has ended (it is reaped).
bool childExited(pid_t pid);
// Asks the child to end, waits for it and sets `pid` to 0.
void stopChild(pid_t& pid);

// A TCP port on 127.0.0.1 that nobody listens on right now.
int freePort();
// Runs a shell command line; returns its exit status.
int runShell(const std::string& command);

} // namespace kalinda::test
