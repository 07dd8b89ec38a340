#pragma once

namespace vantorel {

// How this process takes memory from the C library and the kernel. Called once at start-up,
// before any thread. A recording runs for hours at a steady rate; this keeps its resident memory
// where the first minute leaves it (measured with bench/capture's long run at 1920x1080, 60 fps,
// with sound and moments of load on the machine):
// - Blocks of 256 KB or more get mappings of their own, unmapped when freed. Left to itself,
//   glibc raises that threshold to the largest block freed so far (one of x264's frames), after
//   which the muxer's fragments and the encoders' packets come from per-thread heaps that keep
//   what is freed: 17 MB of free heap after two minutes, against under 1 MB with this.
// - No transparent huge pages. x264 asks for them for its large buffers, and khugepaged then
//   fills whole 2 MB pages behind buffers that are used only in part: a few MB more every few
//   minutes. CPU per frame was the same without them.
void settleMemoryUse();

}  // namespace vantorel
