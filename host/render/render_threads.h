// How many threads a render uses. By default every core the host reports; benchmarks and tests pin it.
#pragma once
#include <functional>
#include <thread>

namespace zorhost {

// How a render starts each of its helper threads; tests replace it to make a start fail part way.
// Null: back to std::thread.
using RenderThreadStarter = std::function<std::thread(std::function<void()>)>;
void set_render_thread_starter(RenderThreadStarter starter);

// 0 (the default) means every core.
void set_render_thread_count(int count);
int render_thread_count();

}  // namespace zorhost
