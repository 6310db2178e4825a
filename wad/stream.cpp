// SPDX-License-Identifier: GPL-2.0-or-later
// Checked stream primitives: every seek, read and write either succeeds in
// full or ends the run with a message saying where it stopped.
#include "wad/stream.h"

#include "console/services.h"

// The copy buffer never grows past this, however much memory is free.
constexpr int32_t MaxCopyBuffer = 128000;
// Memory left to the rest of the system while copying.
constexpr int32_t CopyReserve = 1000;

// The files a run has open at once: the input and the output.
struct NamedStream {
  FILE* stream;
  const char* path;
};
static NamedStream StreamNames[2];

void NameStream(FILE* stream, const char* path) {
  NamedStream* slot = nullptr;
  for (NamedStream& name : StreamNames) {
    if (name.stream == stream) slot = &name;
  }
  for (NamedStream& name : StreamNames) {
    if (slot == nullptr && name.stream == nullptr) slot = &name;
  }
  if (slot == nullptr) slot = &StreamNames[1];
  *slot = path != nullptr ? NamedStream{stream, path} : NamedStream{nullptr, nullptr};
}

// Names the file behind a stream for the seek message.
static const char* PathOfStream(FILE* stream) {
  for (const NamedStream& name : StreamNames) {
    if (stream != nullptr && name.stream == stream) return name.path;
  }
  return "stream";
}

void SeekTo(FILE* stream, int32_t position) {
  if (std::fseek(stream, position, SEEK_SET) != 0)
    FatalError("%s error seeking at %ld", PathOfStream(stream), static_cast<long>(position));
}

void CheckTransfer(const char* operation, FILE* stream, int16_t items, int32_t size) {
  if (items == 1) return;
  FatalError(" %s %d left for %ld bytes dataloc=%ld", operation, items, static_cast<long>(size),
             std::ftell(stream));
}

// An empty block needs no write (and fwrite would report 0 blocks for it).
void WriteBlock(FILE* stream, const void* data, int32_t size) {
  if (size <= 0) return;
  size_t items = std::fwrite(data, static_cast<size_t>(size), 1, stream);
  CheckTransfer("write", stream, static_cast<int16_t>(items), size);
}

void CopyBytes(FILE* destination, FILE* source, int32_t length) {
  int32_t bufferSize = AvailableMemory() - CopyReserve;
  if (bufferSize > MaxCopyBuffer) bufferSize = MaxCopyBuffer;
  if (bufferSize < 1) bufferSize = 1;
  uint8_t* buffer = static_cast<uint8_t*>(AllocOrDie(bufferSize));
  while (length > 0) {
    int32_t chunk = length < bufferSize ? length : bufferSize;
    // A failed transfer ends the run in CheckTransfer; the buffer is given
    // back first, so that a fatal error leaves nothing held.
    size_t items = std::fread(buffer, static_cast<size_t>(chunk), 1, source);
    if (items != 1) FreeBlock(buffer);
    CheckTransfer("read", source, static_cast<int16_t>(items), chunk);
    items = std::fwrite(buffer, static_cast<size_t>(chunk), 1, destination);
    if (items != 1) FreeBlock(buffer);
    CheckTransfer("write", destination, static_cast<int16_t>(items), chunk);
    length -= chunk;
  }
  FreeBlock(buffer);
}
