#pragma once

// COM on the calling thread for as long as the object lives: a single-threaded
// apartment, whose calls from other processes arrive through the thread's
// message loop. A thread that already has COM keeps it as it is.

namespace modem {

class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False when COM is not available on this thread at all.
    [[nodiscard]] bool ready() const { return m_ready; }

private:
    bool m_ready = false;
    bool m_owned = false;  // this object's initialisation, undone by it
};

}  // namespace modem
