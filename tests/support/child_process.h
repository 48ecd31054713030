#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kalinda::test {

// Starts a server program (args[0], found on PATH) as a child that goes down with the test
// program however that ends; its output goes to `logFile`.
pid_t startChild(const std::vector<std::string>& args, const std::string& logFile);
// True once the child has ended (it is reaped).
bool childExited(pid_t pid);
// Asks the child to end, waits for it and sets `pid` to 0.
void stopChild(pid_t& pid);

} // namespace kalinda::test
