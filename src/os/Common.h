// What the systems of the platform layer share, written once: each system's
// files give only the system calls.  Internal to src/os.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/Errors.h"
#include "os/File.h"

namespace jw::os::detail {

// The path in double quotes, for messages (each system spells its paths its
// own way).
std::string QuotedPath(const std::filesystem::path& p);

// Refuses a read or write of `length` bytes at `offset` that would reach
// past `maxOffset`, the largest offset the system takes.  `what` names the
// step in the message: "Read at" or "Write at".
void CheckRange(const char* what, std::uint64_t offset, std::size_t length, std::uint64_t maxOffset,
                const std::filesystem::path& path);

// Fails when the source of a copy changed its length while it was copied:
// `before` when the copy began, `after` now.
void CheckCopiedLength(std::uint64_t before, std::uint64_t after);

// Runs `copy`, the system's copy of one file into its new target.  On any
// failure `drop` removes the unfinished target first; an Error is reported
// as "<both>: <why>" with its kind, anything else passes unchanged.
template <class Copy, class Drop>
CopyResult GuardedCopy(const std::string& both, Copy&& copy, Drop&& drop) {
    try {
        return copy();
    } catch (const Error& e) {
        drop();
        Fail(e.kind(), both + ": " + e.what());
    } catch (...) {
        drop();
        throw;
    }
}

// The guards of RemoveOnInterrupt form a list, newest first, that the
// system's interrupt handler walks.  `Held` is what keeps the handler off
// the list while it changes: the guarded signals blocked, or the handler's
// lock held.

// Puts `e` first in the list; the caller holds off the handler.
template <class Entry>
void PushEntry(Entry*& head, Entry* e) noexcept {
    e->next = head;
    if (head) head->prev = e;
    head = e;
}

// Takes `e` (if any) off the list with the handler held off, frees it and
// clears `e`.
template <class Held, class Entry>
void DropEntry(Entry*& head, Entry*& e) noexcept {
    if (!e) return;
    {
        const Held held;
        if (e->prev) e->prev->next = e->next;
        else head = e->next;
        if (e->next) e->next->prev = e->prev;
    }
    delete e;
    e = nullptr;
}

}  // namespace jw::os::detail
