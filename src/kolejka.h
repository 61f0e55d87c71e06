// The sample window: the samples on screen, oldest first, with one read cursor.
#pragma once

#include <list>

// A bounded double-ended queue of samples. A push at one end drops a sample at the other end
// once the window holds more than capacity samples. Readers call reset_iter, then k_get once
// per sample, front to back.
class kolejka {
  public:
    explicit kolejka(int capacity);
    kolejka(const kolejka&) = delete;
    kolejka& operator=(const kolejka&) = delete;

    void push_back(double sample);
    void push_front(double sample);
    void reset_iter();
    // The sample under the cursor, then moves the cursor one sample toward the back.
    // 0.0 when the cursor stands past the back or its sample was dropped by a push.
    double k_get();

  private:
    std::list<double> items;
    std::list<double>::iterator iter;
    int capacity;
};
