#pragma once
// The showcase scenario that `qoricon-sim demo` plays, compiled in from
// tests/scenarios/showcase.scn.

namespace qor::sim {

const char* ShowcaseScenario();

}  // namespace qor::sim
