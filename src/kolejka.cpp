// The sample window: the samples on screen, oldest first, with one read cursor.
#include "kolejka.h"

kolejka::kolejka(int capacity) : items(), iter(items.begin()), capacity(capacity) {}

void kolejka::push_back(double sample) {
    items.push_back(sample);
    if (static_cast<long>(items.size()) > capacity) {
        // A cursor on the dropped sample would dangle: park it past the back instead.
        if (iter == items.begin()) iter = items.end();
        items.pop_front();
    }
}

void kolejka::push_front(double sample) {
    items.push_front(sample);
    if (static_cast<long>(items.size()) > capacity) {
        if (iter == std::prev(items.end())) iter = items.end();
        items.pop_back();
    }
}

void kolejka::reset_iter() {
    iter = items.begin();
}

double kolejka::k_get() {
    if (iter == items.end()) return 0.0;
    return *iter++;
}
