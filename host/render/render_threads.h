// How many threads a render uses. By default every core the host reports; benchmarks and tests pin it.
#pragma once

namespace zorhost {

// 0 (the default) means every core.
void set_render_thread_count(int count);
int render_thread_count();

}  // namespace zorhost
