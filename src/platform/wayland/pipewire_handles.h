#pragma once

#include <pipewire/pipewire.h>

#include <memory>

namespace vantorel {

// Owners of PipeWire's objects. A thread loop must be stopped before the objects it serves go;
// the owners of those objects are destroyed before the loop's.
template <auto destroy>
struct PipeWireDeleter {
    template <typename T>
    void operator()(T* object) const {
        destroy(object);
    }
};

using PipeWireThreadLoopPtr =
    std::unique_ptr<pw_thread_loop, PipeWireDeleter<&pw_thread_loop_destroy>>;
using PipeWireContextPtr = std::unique_ptr<pw_context, PipeWireDeleter<&pw_context_destroy>>;
using PipeWireCorePtr = std::unique_ptr<pw_core, PipeWireDeleter<&pw_core_disconnect>>;
using PipeWireStreamPtr = std::unique_ptr<pw_stream, PipeWireDeleter<&pw_stream_destroy>>;

inline void destroyRegistry(pw_registry* registry) {
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
}
using PipeWireRegistryPtr = std::unique_ptr<pw_registry, PipeWireDeleter<&destroyRegistry>>;

}  // namespace vantorel
