// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AlignedBytes.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// The calling thread's ThreadRandom stream, made a window ahead on a thread
// of its own while the caller writes the last one: on a fast device, making
// the bytes on the writing thread showed as a third of a pass. The bytes are
// exactly those ThreadRandom::Fill would give, whatever the sizes asked for.
//
// One per run, owned and called by the wipe thread only. The thread starts
// with the first large request, so a run of small files never has one; it
// ends with this object, at most one window's making later.
class RandomAhead {
public:
    // Starts from the calling thread's present state.
    RandomAhead();
    // Ends the thread and leaves the calling thread's state where it would be
    // had the bytes handed out been drawn there.
    ~RandomAhead();
    RandomAhead(const RandomAhead&) = delete;
    RandomAhead& operator=(const RandomAhead&) = delete;

    // The next n bytes of the stream: in a window made ahead, or else made
    // now into `into` (room for n). Valid until the next call.
    const unsigned char* Next(size_t n, unsigned char* into);

    // A window's size: a whole write call of FileOverwriter.
    static constexpr size_t windowSize = 1 << 20;
    // Where a window starts: a request of windowSize bytes after others of
    // that size gets its bytes at such a boundary.
    static constexpr size_t windowAlignment = 4096;
    // Requests this large (a file of more than a few write calls) start the
    // thread and have the next window made; smaller ones cost less made in
    // line than handed across.
    static constexpr size_t aheadFrom = 64 << 10;

private:
    // A stretch of the stream, from stream offset start on.
    struct Window {
        enum class Stage { Free, Ordered, Ready };
        AlignedBytes bytes;
        uint64_t start = 0;
        size_t length = 0;
        uint32_t state = 0;  // the generator's state before its first byte
        Stage stage = Stage::Free;
    };

    void Start();
    void OnMakerThread();
    // The window holding [position, position + n), or null. Under the lock.
    Window* Holding(size_t n);

    // The taker's own: how far the stream has been handed out, and the state there.
    uint64_t position = 0;
    uint32_t state;
    bool started = false;

    std::mutex mutex;  // guards the windows' fields but their bytes, and quit
    // An Ordered window's bytes belong to the maker, a Ready one's to the taker.
    Window windows[2];
    bool quit = false;
    std::condition_variable changed;  // a window was ordered or made, or quit set
    std::thread maker;
};
