#include "playback/Sleeper.h"

#include <chrono>
#include <thread>

void ThreadSleeper::wait10ms() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
