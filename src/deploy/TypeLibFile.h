#pragma once
// Type libraries read as files hold them, without oleaut32: the MSFT format that
// widl writes (.tlb), and the TYPELIB resources of a Windows module (.dll, .ocx)
// of either bitness. This lets the build derive installer tables and manifests on
// Linux from the very binaries it ships. Malformed input throws
// std::runtime_error saying what is wrong.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "deploy/TypeLibFacts.h"

namespace qor::deploy {

TypeLibFacts ReadTypeLib(std::span<const std::uint8_t> bytes);

// Every TYPELIB resource of the module, by resource number, lowest first.
std::vector<EmbeddedTypeLib> ReadEmbeddedTypeLibs(std::span<const std::uint8_t> module);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace qor::deploy
