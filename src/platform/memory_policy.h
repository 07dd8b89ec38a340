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
// - No transparent huge pages, until a recording of large pictures asks for them (below). x264
//   asks for them for its large buffers, and khugepaged then fills whole 2 MB pages behind
//   buffers that are used only in part: a few MB more every few minutes. CPU per frame was the
//   same without them.
void settleMemoryUse();

// Sets the huge-page rule above for a recording of `width` x `height` pictures, before its
// encoder opens; the rule is the process's, and one recording runs at a time. From 2560x1440
// up, huge pages are allowed: the encoder's first frames there touch hundreds of MB of fresh
// memory, and faulting it in 4 KB at a time held the encoder up by a tenth of a second or more
// (4K at 30 fps on 2 cores; worse in a virtual machine, whose host maps each page too). That is
// longer than the writer's queue lasts, and the recording lost its first frames. The memory
// they add is a small share of such a recording's.
void settleMemoryFor(int width, int height);

}  // namespace vantorel
