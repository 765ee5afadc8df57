#pragma once

#include <string>
#include <string_view>

// Creating and writing the program's own files (logs, sheets, device copies)
// in folders other local users may have reached first. A name is never
// followed as a symbolic link: a link planted where a file is expected makes
// the write fail (append) or is replaced by the new file (whole-file writes);
// its target is never touched. Files are created mode 0600, folders 0700.
// Any thread.

// Appends bytes to path, creating it 0600 when missing. False, writing
// nothing, when path is a link or not a regular file, or cannot be opened;
// false too when not every byte was written.
bool AppendToFile(const std::string& path, std::string_view bytes);

// Makes bytes the whole content of path: a new file (O_CREAT|O_EXCL, 0600) in
// the same folder is written and renamed over path, so readers see the old
// file or the new one, never a part. False leaves path as it was and no
// temporary file behind.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Makes the folder and any missing parent, each new one mode 0700. True when
// path is a folder (not a link to one) afterwards.
bool MakeFolders(const std::string& path);
