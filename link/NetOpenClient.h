#pragma once

#include <string>

// The helper that opens the adapter socket for programs without CAP_NET_RAW.

// Where quorvantix-netopen is looked for: beside the running executable, then
// in the installed helper folder. Empty when neither holds one.
std::string NetOpenHelperPath();

// Starts the helper (its fixed path only, empty environment) with one end of
// a socketpair as descriptor 3 and takes the socket it sends back. Returns the
// descriptor, or -1: reason then holds the helper's own sentence, or stays
// empty when no helper could be run.
int OpenAdapterSocketThroughHelper(const std::string& name, std::string& reason);
