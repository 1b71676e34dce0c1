#pragma once
// Type libraries compiled by widl at build time (tests/CMakeLists.txt): the
// sample library and the real IDL files, for 32 and 64 bits.

#include <gtest/gtest.h>

#include <string>

#include "deploy/TypeLibFile.h"

namespace qortest {

inline std::string TlbPath(const std::string& name) {
#ifdef QOR_TEST_TLB_DIR
    return std::string(QOR_TEST_TLB_DIR) + "/" + name + ".tlb";
#else
    return {};
#endif
}

// The library, or a skip when widl was not there to build it.
#define QOR_LOAD_TLB(var, name)                                                            \
    if (qortest::TlbPath(name).empty()) GTEST_SKIP() << "widl missing: no type libraries"; \
    const auto var = qor::deploy::ReadTypeLib(qor::deploy::ReadFileBytes(qortest::TlbPath(name)))

}  // namespace qortest
