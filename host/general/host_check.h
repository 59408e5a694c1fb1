// The host's check of its own state, which a module asks for at points of its choosing (the crash
// checker around every load, render and save). It must stay cheap: it runs many times per scene.
#pragma once
#include <string>
#include <vector>

namespace zorhost {

// One sentence per problem found; empty when everything is in order. Looks at the memory tracker's
// bookkeeping (counters agree with the blocks held, no free of a block that was not live since the
// previous check) and whether the calling thread holds the host's global lock, which nothing a module
// checks around (loading, rendering, saving) may do: every dialog waits for that lock.
std::vector<std::string> check_host_state();

}  // namespace zorhost
