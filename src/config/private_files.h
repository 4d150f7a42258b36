#pragma once

#include <filesystem>
#include <string>

// What the program keeps in its data folder is its owner's alone: the settings hold every site's
// password, the logs and records name the sites. New folders are 0700 and new files 0600, whatever
// the umask; existing ones lose the rights of group and others an older version (or someone else)
// gave them, and keep the owner's as they are (a folder or file the user made read-only stays so);
// every writer of the data folder goes through these.
namespace oz::config {

// Creates the folder and its missing parents, each 0700 whatever the umask; an existing folder is
// taken as it is (a file saved to a folder the user chose).
bool makePrivateFolder(const std::filesystem::path& dir, std::string& error);

// Creates the folder and its missing parents (each 0700), or checks an existing one: it must be a
// folder owned by this user, and rights of group or others are taken away (`tightened` tells when). A
// folder of another user, where others could plant files or read ours, is refused.
bool makeOwnFolder(const std::filesystem::path& dir, std::string& error, bool* tightened = nullptr);

// Makes the file ready to be opened for writing by a stream: created 0600 when missing, without the
// rights of group and others when it exists. A symbolic link, a file of another user or anything but a plain
// file is refused, so the stream that opens the path next writes to our own file and nowhere else. Returns 0,
// or the errno-style reason (ELOOP for a link, EPERM for another user's file).
int preparePrivateFile(const std::filesystem::path& file);

// Takes the rights of group and others from the data folder's own entries (the settings file,
// inibin/, 日志/, 文章地址/, 更新失败记录/, the login record, the schedule file), and from the
// files of each folder that had to be narrowed. Links and entries of other users are left alone. Returns how
// many entries were narrowed.
int tightenDataFolderEntries(const std::filesystem::path& dir);

}  // namespace oz::config
