#pragma once

#include <thread>

// Threads whose owner has gone while they still finish (a page render given up runs to the renderer's
// next check, which on a scan can take most of a render). A window that closes hands its threads here
// and goes at once; they are joined on a thread of their own as they end, and the program waits for
// them only as it ends, before the PDF libraries go.
namespace RetiredThreads {

// Takes a thread that has been told to stop.
void adopt(std::thread thread);
// Waits until every thread adopted so far, and any adopted meanwhile, has ended.
void waitForAll();
// How many threads were adopted since the program started.
int adoptedForTesting();

} // namespace RetiredThreads
