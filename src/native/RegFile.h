#pragma once
// The registry editor's export format, read into the in-memory registry: how tests
// and the simulator set up a machine's settings from the same files an
// administrator would import.

#include <string>

namespace qor {

class MemoryRegistry;

// Applies a registry export ("Windows Registry Editor Version 5.00" or
// "REGEDIT4"): [key], [-key], "name"="text", @="text", "name"=dword:hex,
// "name"=hex:bytes (continued on the next lines after a trailing backslash),
// "name"=-, comments and blank lines. A line it cannot read throws QorError naming
// the line number; what came before stays applied.
void LoadRegFile(MemoryRegistry& registry, const std::string& text);

}  // namespace qor
