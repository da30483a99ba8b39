// Folder descriptors and links, for the tests of the folders the loader works in.
#pragma once

#include <string>

namespace support {

// The SID of the user this process runs as, as text.
std::string CurrentUserSid();

// The protected descriptor that the loader's folders should carry for the current user,
// written out here independently of the loader's own code.
std::string ExpectedPrivateFolderSddl();

// Owner and DACL of path, as the file system gives them back, as SDDL ("" when unreadable).
std::string FolderSddl(const std::string& path);

// Creates a folder with the descriptor given as SDDL.
bool MakeFolderWithSddl(const std::string& path, const std::string& sddl);

// Makes link a symbolic link to the folder target (under Wine, a file too), one that
// GetFileAttributesA reports as a reparse point: the system's own where it can make one, else
// (under Wine, whose CreateSymbolicLinkA makes nothing and which cannot set reparse points) a Unix
// symbolic link. False when neither can be made.
bool MakeFolderLink(const std::string& link, const std::string& target);

// Removes such a link, never what it leads to.
bool RemoveFolderLink(const std::string& link);

}  // namespace support
