// Elapsed time from the performance counter, the finest clock the system offers.
#pragma once

#include <windows.h>

class Stopwatch {
  public:
    Stopwatch() { Restart(); }
    void Restart() { ::QueryPerformanceCounter(&start_); }
    double Seconds() const {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    }

  private:
    LARGE_INTEGER start_;
};

template <typename Work> double TimeSeconds(Work&& work) {
    Stopwatch clock;
    work();
    return clock.Seconds();
}
