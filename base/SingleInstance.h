#pragma once

#include <string>

// The system-wide single-instance guard: an exclusive flock on
// <dir>/Norva_Quorvantix.lock, where dir is $XDG_RUNTIME_DIR (else a folder
// /tmp/quorvantix-<user name> made 0700 on first use). The folder must be the
// user's own (not a link, owned by the user, writable by no one else) and the
// lock a regular file owned by the user; anything else leaves the guard
// Unavailable, never a hang.
// Once taken, the lock is held until the process ends; the kernel releases it
// however the process ends.

// The folder of the lock file: $XDG_RUNTIME_DIR when set, non-empty and the
// user's own, else /tmp/quorvantix-<user name> (the user id when the name is
// unknown).
std::string SingleInstanceLockDirectory();

enum class InstanceGuard {
    First,       // the lock is ours for the life of the process
    AlreadyRuns, // another process holds it: end start-up silently
    Unavailable, // no lock file of the user's own could be opened; start-up goes on unguarded
};

// Takes the guard. Calling it again in a process that holds the guard of that
// folder answers First without opening anything new. lockDirectory empty = the default folder.
InstanceGuard AcquireSingleInstance(const std::string& lockDirectory = {});
