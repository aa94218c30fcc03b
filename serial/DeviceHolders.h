#pragma once

#include <string>
#include <vector>

// The processes, among those this user may look at, that have `device` (a
// canonical path) open: read from /proc/PID/fd. Other users' processes stay
// hidden unless the caller is root.
std::vector<int> processesHolding(const std::string &device);
