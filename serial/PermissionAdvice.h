#pragma once

#include <string>

// Who may use a device and how the current user stands to it: what it takes
// to explain a refused open and to advise what would help.
struct DeviceAccess
{
    std::string path;
    std::string owner; // user name, or the number when it has no name
    std::string group;
    unsigned mode = 0; // permission bits, such as 0660
    bool ownerIsUser = false;
    bool groupIsRoot = false;
    bool groupActive = false; // this process already has the device's group
    bool groupListed = false; // the user is a member, but not in this login session
    bool known = false; // false when the device could not be looked at
};

// Looks the device up and the user's groups.
DeviceAccess inspectDeviceAccess(const std::string &path);

// What the owner, group and mode are, and what would let the user in:
// chmod for their own device, joining the device's group when the group may
// read and write it, a udev rule when no group the user could join may.
std::string permissionAdvice(const DeviceAccess &access);
