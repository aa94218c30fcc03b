#include "PermissionAdvice.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string userName(uid_t uid)
{
    if (const passwd *entry = getpwuid(uid))
        return entry->pw_name;
    return std::to_string(uid);
}

std::string groupName(gid_t gid)
{
    if (const group *entry = getgrgid(gid))
        return entry->gr_name;
    return std::to_string(gid);
}

bool processHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int filled = getgroups(count, groups.data());
    return filled > 0 && std::find(groups.begin(), groups.begin() + filled, gid) != groups.end();
}

// Membership as the group database lists it, which a new login would get.
bool userListedInGroup(uid_t uid, gid_t gid)
{
    const passwd *entry = getpwuid(uid);
    if (!entry)
        return false;
    const std::string name = entry->pw_name;
    const gid_t primary = entry->pw_gid;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(name.c_str(), primary, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(name.c_str(), primary, groups.data(), &count) < 0)
            return false;
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

std::string modeText(unsigned mode)
{
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", mode & 07777);
    return octal;
}

// The name udev knows a device by: its path below /dev.
std::string kernelName(const std::string &path)
{
    constexpr std::string_view devices = "/dev/";
    if (path.compare(0, devices.size(), devices) == 0)
        return path.substr(devices.size());
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

DeviceAccess inspectDeviceAccess(const std::string &path)
{
    DeviceAccess access;
    access.path = path;
    struct stat status
    { };
    if (::stat(path.c_str(), &status) != 0)
        return access;
    access.known = true;
    access.owner = userName(status.st_uid);
    access.group = groupName(status.st_gid);
    access.mode = status.st_mode & 07777;
    access.ownerIsUser = status.st_uid == geteuid();
    access.groupIsRoot = status.st_gid == 0;
    access.groupActive = processHasGroup(status.st_gid);
    access.groupListed = userListedInGroup(geteuid(), status.st_gid);
    return access;
}

std::string permissionAdvice(const DeviceAccess &access)
{
    if (!access.known) {
        return "A folder on the way to " + access.path
            + " may not be entered. Ask the administrator to open the path to it.";
    }
    std::string text = access.path + " belongs to user " + access.owner + " and group "
        + access.group + " with mode " + modeText(access.mode) + ".\n\n";
    const bool groupMayUseIt = (access.mode & 060) == 060 && !access.groupIsRoot;
    if (access.ownerIsUser && (access.mode & 0600) != 0600) {
        text += "It is yours but not readable and writable: chmod u+rw " + access.path;
    } else if (groupMayUseIt && access.groupActive) {
        text += "You are in group " + access.group
            + " and still may not use it: an access control list or a security module "
              "refuses it. Ask the administrator.";
    } else if (groupMayUseIt && access.groupListed) {
        text += "You are in group " + access.group
            + ", but not in this login session: log out and in again.";
    } else if (groupMayUseIt) {
        text += "Add your user to group " + access.group + " (sudo adduser $USER " + access.group
            + "), then log out and in again.";
    } else if (access.path.starts_with("/dev/pts/")) {
        // udev has no say over pseudo-terminals: the program that makes one
        // owns it and sets its mode.
        text += "A pseudo-terminal belongs to the user whose program made it, and no udev rule "
                "changes that. Run this program as "
            + access.owner + ", or have the program that made it open it to you (chmod o+rw "
            + access.path + " as " + access.owner + ").";
    } else {
        text += "No group you could join may read and write it. Ask the administrator for a "
                "udev rule that gives it to one, for example in "
                "/etc/udev/rules.d/60-adtest.rules:\n    KERNEL==\""
            + kernelName(access.path)
            + "\", GROUP=\"dialout\", MODE=\"0660\"\nthen add your user to that group (sudo "
              "adduser $USER dialout) and log in again.";
    }
    return text;
}
