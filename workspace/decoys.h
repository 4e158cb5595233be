// Decoy images: folders beside the run folder holding hidden files of random bytes, named like the secure image.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstdint>

#include "common/message_pump.h"

namespace vandrel {

// Makes folderCount folders in the workspace base folder, each with filesPerFolder decoy images of
// minKiB to maxKiB KiB of random bytes. Never fails visibly: a decoy that cannot be made is skipped,
// one that cannot be filled is deleted.
void CreateDecoyImages(unsigned folderCount, unsigned filesPerFolder, uint32_t minKiB, uint32_t maxKiB,
                       MessagePump& pump = NoPump());

// Writes kib KiB of random bytes at the file pointer (not flushed: a decoy is never read back); true when
// all were written.
// kib * 1024 must fit in 32 bits.
bool FillFileWithRandom(HANDLE file, uint32_t kib);

// A random value between a and b inclusive, bounds in either order; the lower bound when the random
// source fails.
uint32_t RandomInRange(uint32_t a, uint32_t b);

// Replaces the random source (BCryptGenRandom with the system-preferred generator) and returns the
// previous one; lets a test make the source fail.
using RandomSource = NTSTATUS (*)(PUCHAR buffer, ULONG size);
RandomSource SetRandomSource(RandomSource source);

}  // namespace vandrel
