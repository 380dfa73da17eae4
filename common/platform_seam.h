// The seam between a piece of code and the system calls it makes. The code reaches the system
// only through PlatformSeam<Platform>::Current(): the real Platform, whose virtual functions call
// the system, unless a Scoped stand-in has been put in place. Tests stand in for what the real
// system cannot be made to produce.
#pragma once

#include <utility>

template <typename Platform> class PlatformSeam {
  public:
    // The real platform, or the stand-in of the innermost Scoped object.
    static Platform& Current() { return *current_; }

    // Puts a stand-in platform in place for the lifetime of the object.
    class Scoped {
      public:
        explicit Scoped(Platform& standIn) : previous_(std::exchange(current_, &standIn)) {}
        ~Scoped() { current_ = previous_; }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

      private:
        Platform* previous_;
    };

  private:
    static inline Platform real_;
    static inline Platform* current_ = &real_;
};
