// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RandomAhead.h"

#include "engine/ThreadRandom.h"

#include <system_error>

RandomAhead::RandomAhead() : state(ThreadRandom::State())
{
}

RandomAhead::~RandomAhead()
{
    if (maker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        changed.notify_all();
        maker.join();
    }
    ThreadRandom::Seed(state);
}

void RandomAhead::Start()
{
    started = true;
    try {
        for (Window& window : windows)
            window.bytes = AlignedBytes(windowSize, windowAlignment);
        maker = std::thread(&RandomAhead::OnMakerThread, this);
    } catch (const std::exception&) {
        // No thread or no room for its windows: every byte is made in line.
    }
}

void RandomAhead::OnMakerThread()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        Window* ordered = nullptr;
        changed.wait(lock, [&] {
            for (Window& window : windows) {
                if (window.stage == Window::Stage::Ordered && (!ordered || window.start < ordered->start))
                    ordered = &window;
            }
            return quit || ordered;
        });
        if (quit)
            return;
        const uint32_t from = ordered->state;
        const size_t n = ordered->length;
        // Made without holding the lock: the taker leaves an ordered window's bytes alone.
        lock.unlock();
        ThreadRandom::Fill(from, ordered->bytes.get(), n);
        lock.lock();
        ordered->stage = Window::Stage::Ready;
        changed.notify_all();
    }
}

RandomAhead::Window* RandomAhead::Holding(size_t n)
{
    for (Window& window : windows) {
        if (window.stage != Window::Stage::Free && window.start <= position
            && position + n <= window.start + window.length)
            return &window;
    }
    return nullptr;
}

const unsigned char* RandomAhead::Next(size_t n, unsigned char* into)
{
    if (!started && n >= aheadFrom)
        Start();
    if (!maker.joinable()) {
        state = ThreadRandom::Fill(state, into, n);
        position += n;
        return into;
    }
    std::unique_lock<std::mutex> lock(mutex);
    // The bytes handed out last time are no longer in use: any window not
    // being made may serve or be ordered now.
    Window* holding = Holding(n);
    const unsigned char* bytes = into;
    if (holding) {
        changed.wait(lock, [&] { return holding->stage == Window::Stage::Ready; });
        bytes = holding->bytes.get() + (position - holding->start);
        state = ThreadRandom::Skip(state, n);
    } else {
        // Rare (a small request after a large one, or a window ordered for
        // a request that did not come): made here rather than waited for.
        lock.unlock();
        state = ThreadRandom::Fill(state, into, n);
        lock.lock();
    }
    position += n;
    if (n < aheadFrom)
        return bytes;
    for (Window& window : windows) {
        if (&window == holding || window.stage == Window::Stage::Ordered)
            continue;
        window.start = position;
        window.length = windowSize;
        window.state = state;
        window.stage = Window::Stage::Ordered;
        lock.unlock();
        changed.notify_all();
        break;
    }
    return bytes;
}
